#pragma once

#include <windows.h>

#include "tarnmoduleimpl.h"

namespace Tarn
{
    // The module object of a DLL. Built during static initialisation without a handle; the DLL's
    // entry point hands it the module handle at process attach, where the start-up checks decide
    // whether the load succeeds.
    class DllImpl : public ModuleImpl
    {
    public:
        ModuleType GetModuleType() const override;

        // Records the module handle and runs Initialize. False, after tracing the failure, when a
        // start-up check fails: the entry point then fails the load.
        virtual bool OnProcessAttach(HINSTANCE moduleInstance);
        // Runs Uninitialize (a failure is traced) and forgets the module handle.
        virtual void OnProcessDetach();
        virtual void OnThreadAttach();
        virtual void OnThreadDetach();

    protected:
        DllImpl() noexcept;
    };
}
