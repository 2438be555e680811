#include "tarnmoduleimpl.h"

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnmoduleimpl";

    // Constant-initialised, so the allocator and the error texts may ask for the module during the
    // dynamic initialisation of any translation unit, before or after the module object is built.
    Tarn::ModuleImpl* ProcessModule = nullptr;

    // Windows 7 and Windows Server 2008 R2 without a service pack.
    const DWORD MinimumMajorVersion = 6;
    const DWORD MinimumMinorVersion = 1;
    const WORD MinimumServicePackMajor = 0;
    const WORD MinimumServicePackMinor = 0;

    // Enough for nearly every path; longer ones make the buffer grow. No path is longer than the
    // last size, in characters with the terminator.
    const DWORD InitialPathCapacity = 1024;
    const DWORD LongestPath = 32768;
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

    bool ModuleImpl::VerifyOsVersion()
    {
        OSVERSIONINFOEXW minimum = {};
        minimum.dwOSVersionInfoSize = sizeof(minimum);
        minimum.dwMajorVersion = MinimumMajorVersion;
        minimum.dwMinorVersion = MinimumMinorVersion;
        minimum.wServicePackMajor = MinimumServicePackMajor;
        minimum.wServicePackMinor = MinimumServicePackMinor;

        DWORDLONG conditions = 0;
        conditions = ::VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
        conditions = ::VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
        conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
        conditions = ::VerSetConditionMask(conditions, VER_SERVICEPACKMINOR, VER_GREATER_EQUAL);

        // Every refusal counts as too old, whatever the reason the call gives.
        if (::VerifyVersionInfoW(&minimum,
                                 VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR,
                                 conditions))
        {
            return true;
        }
        TARN_TRACE(TraceLevel::Warning, L"Tarn::ModuleImpl::VerifyOsVersion",
                   L"OS too old. Minimum required OS version is 0x{0:D2}{1:D2}{2:D2}{3:D2}", MinimumMajorVersion,
                   MinimumMinorVersion, MinimumServicePackMajor, MinimumServicePackMinor);
        return false;
    }

    bool ModuleImpl::OnOutOfMemory()
    {
        return false;
    }

    void ModuleImpl::Initialize()
    {
        if (!VerifyOsVersion())
        {
            TARN_THROW_TRACED(L"Tarn::ModuleImpl::Initialize", L"Unsupported operating system",
                              SystemException(CO_E_WRONGOSFORAPP));
        }
    }

    void ModuleImpl::Uninitialize()
    {
    }

    ModuleImpl* ModuleImpl::GetModule() noexcept
    {
        return ProcessModule;
    }

    bool ModuleImpl::IsProcessElevated()
    {
        HANDLE token = nullptr;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        {
            TARN_THROW_WIN32(L"Tarn::ModuleImpl::IsProcessElevated", L"OpenProcessToken() failed, error code 0x{0:X8}",
                             ::GetLastError());
        }

        TOKEN_ELEVATION elevation = {};
        DWORD size = 0;
        const BOOL queried = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
        const DWORD error = ::GetLastError();
        ::CloseHandle(token);
        if (!queried)
        {
            TARN_THROW_WIN32(L"Tarn::ModuleImpl::IsProcessElevated",
                             L"GetTokenInformation() failed, error code 0x{0:X8}", error);
        }
        return elevation.TokenIsElevated != 0;
    }

    HINSTANCE ModuleImpl::GetResourceInstance() const noexcept
    {
        return m_resourceInstance != nullptr ? m_resourceInstance : m_moduleInstance;
    }

    String ModuleImpl::LoadResourceString(UINT resourceId) const
    {
        return String(resourceId, GetResourceInstance());
    }

    String ModuleImpl::GetModuleFileNameW() const
    {
        return GetModuleFileNameW(m_moduleInstance);
    }

    String ModuleImpl::GetModuleFileNameW(HMODULE module)
    {
        // A path cut short by the buffer would name a file that does not exist (and be registered
        // as the server's path), so the buffer grows until the whole path fits.
        String path;
        for (DWORD capacity = InitialPathCapacity; ; capacity *= 2)
        {
            path.Reserve(capacity);
            const DWORD length = ::GetModuleFileNameW(module, path.GetBuffer(), capacity);
            if (length == 0)
            {
                TARN_THROW_WIN32(L"Tarn::ModuleImpl::GetModuleFileNameW",
                                 L"GetModuleFileName() failed, GetLastError() returns 0x{0:X}", ::GetLastError());
            }
            if (length < capacity || capacity >= LongestPath)
            {
                return path;
            }
        }
    }
}
