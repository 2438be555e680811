#include "tarndllimpl.h"

#include "tarnexception.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarndllimpl";
}

namespace Tarn
{
    DllImpl::DllImpl() noexcept
        : ModuleImpl(nullptr)
    {
    }

    ModuleType DllImpl::GetModuleType() const
    {
        return ModuleType::Dll;
    }

    bool DllImpl::OnProcessAttach(HINSTANCE moduleInstance)
    {
        // The resource instance stays null, so resources come from the DLL itself.
        m_moduleInstance = moduleInstance;
        try
        {
            Initialize();
            return true;
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(L"Tarn::DllImpl::OnProcessAttach", exception);
            return false;
        }
    }

    void DllImpl::OnProcessDetach()
    {
        try
        {
            Uninitialize();
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(L"Tarn::DllImpl::OnProcessDetach", exception);
        }
        m_moduleInstance = nullptr;
    }

    void DllImpl::OnThreadAttach()
    {
    }

    void DllImpl::OnThreadDetach()
    {
    }
}
