#pragma once

#include <windows.h>

#include "tarnstring.h"

namespace Tarn
{
    // What kind of module the module object stands for.
    enum class ModuleType : INT32
    {
        Dll = 0,
        Executable = 1,
    };

    // The object for the executable module that contains the library: one per process, reachable
    // through GetModule. It knows the module's instance handles and file, loads its string
    // resources, tells whether the process is elevated, refuses Windows versions before 6.1 at
    // start-up and decides whether a failed allocation is retried.
    class ModuleImpl
    {
    public:
        ModuleImpl(const ModuleImpl&) = delete;
        ModuleImpl& operator=(const ModuleImpl&) = delete;
        // Clears both handles and the process singleton.
        virtual ~ModuleImpl();

        // The kind of module; each concrete module object answers for itself.
        virtual ModuleType GetModuleType() const = 0;
        // True on Windows 6.1 (Windows 7, Windows Server 2008 R2) or later; an older system is
        // traced at WARNING.
        virtual bool VerifyOsVersion();
        // Called by the allocator when an allocation failed; true asks it to try again.
        virtual bool OnOutOfMemory();
        // The start-up checks. SystemException CO_E_WRONGOSFORAPP on a Windows before 6.1.
        virtual void Initialize();
        // The counterpart of Initialize at shutdown; nothing to undo here.
        virtual void Uninitialize();

        // The process singleton, or null before construction and after destruction.
        static ModuleImpl* GetModule() noexcept;
        // Whether the process token is elevated. SystemException when the token cannot be read.
        static bool IsProcessElevated();

        // Null until the module handle is known.
        HINSTANCE GetModuleInstance() const noexcept { return m_moduleInstance; }
        // The resource instance if one was set, else the module instance.
        HINSTANCE GetResourceInstance() const noexcept;
        String LoadResourceString(UINT resourceId) const;
        // The full path of the module file, however long. SystemException when it cannot be read.
        String GetModuleFileNameW() const;
        // The same for any module of the process.
        static String GetModuleFileNameW(HMODULE module);

    protected:
        // Stores the instance in both fields and registers the object as the process singleton.
        explicit ModuleImpl(HINSTANCE instance) noexcept;

        HINSTANCE m_moduleInstance;
        HINSTANCE m_resourceInstance;
    };
}
