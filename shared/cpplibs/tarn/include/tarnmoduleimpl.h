#pragma once

#include <windows.h>

#include "tarnstring.h"

namespace Tarn
{
    // The object for the executable module that contains the library: one per process, reachable
    // through GetModule. It knows the module's instance handles, loads its string resources and
    // decides whether a failed allocation is retried.
    class ModuleImpl
    {
    public:
        ModuleImpl(const ModuleImpl&) = delete;
        ModuleImpl& operator=(const ModuleImpl&) = delete;
        virtual ~ModuleImpl();

        // The process singleton, or null before construction and after destruction.
        static ModuleImpl* GetModule() noexcept;

        HINSTANCE GetModuleInstance() const noexcept { return m_moduleInstance; }
        // The resource instance if one was set, else the module instance.
        HINSTANCE GetResourceInstance() const noexcept;
        String LoadResourceString(UINT resourceId) const;

        // Called by the allocator when an allocation failed; true asks it to try again.
        virtual bool OnOutOfMemory();

    protected:
        // Stores the instance in both fields and registers the object as the process singleton.
        explicit ModuleImpl(HINSTANCE instance) noexcept;

        HINSTANCE m_moduleInstance;
        HINSTANCE m_resourceInstance;
    };
}
