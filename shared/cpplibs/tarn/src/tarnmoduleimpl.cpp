#include "tarnmoduleimpl.h"

namespace
{
    // Constant-initialised, so the allocator and the error texts may ask for the module during the
    // dynamic initialisation of any translation unit, before or after the module object is built.
    Tarn::ModuleImpl* ProcessModule = nullptr;
}

namespace Tarn
{
    ModuleImpl::ModuleImpl(HINSTANCE instance) noexcept
        : m_moduleInstance(instance), m_resourceInstance(instance)
    {
        ProcessModule = this;
    }

    ModuleImpl::~ModuleImpl()
    {
        if (ProcessModule == this)
        {
            ProcessModule = nullptr;
        }
        m_moduleInstance = nullptr;
        m_resourceInstance = nullptr;
    }

    ModuleImpl* ModuleImpl::GetModule() noexcept
    {
        return ProcessModule;
    }

    HINSTANCE ModuleImpl::GetResourceInstance() const noexcept
    {
        return m_resourceInstance != nullptr ? m_resourceInstance : m_moduleInstance;
    }

    String ModuleImpl::LoadResourceString(UINT resourceId) const
    {
        return String(resourceId, GetResourceInstance());
    }

    bool ModuleImpl::OnOutOfMemory()
    {
        return false;
    }
}
