#include "tarnregistrykey.h"

#include <winternl.h>

#include "tarnautoptr.h"
#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"

// The one way to delete a key through a handle of its own, which is what deleting a link itself takes.
extern "C" NTSTATUS NTAPI NtDeleteKey(HANDLE key);

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnregistrykey";

    // Just what a recursive delete needs: open the key, list its children, delete it.
    const REGSAM DeleteTreeAccess = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;
}

namespace Tarn
{
    const RegistryKey RegistryKey::ClassesRoot(static_cast<LONG>(0x80000000), L"HKEY_CLASSES_ROOT");
    const RegistryKey RegistryKey::CurrentUser(static_cast<LONG>(0x80000001), L"HKEY_CURRENT_USER");
    const RegistryKey RegistryKey::LocalMachine(static_cast<LONG>(0x80000002), L"HKEY_LOCAL_MACHINE");
    const RegistryKey RegistryKey::Users(static_cast<LONG>(0x80000003), L"HKEY_USERS");
    const RegistryKey RegistryKey::PerformanceData(static_cast<LONG>(0x80000004), L"HKEY_PERFORMANCE_DATA");
    const RegistryKey RegistryKey::CurrentConfig(static_cast<LONG>(0x80000005), L"HKEY_CURRENT_CONFIG");

    RegistryKey::RegistryKey(HKEY handle, const String& path) noexcept
        : m_handle(reinterpret_cast<ULONG_PTR>(handle)), m_path(path)
    {
    }

    RegistryKey::~RegistryKey()
    {
        if (m_handle == 0 || IsPredefined())
        {
            return;
        }

        try
        {
            Close();
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(L"Tarn::RegistryKey::~RegistryKey", exception);
        }
    }

    // NOLINTNEXTLINE(cert-oop54-cpp): Assign leaves a key assigned to itself as it is
    RegistryKey& RegistryKey::operator=(const RegistryKey& other)
    {
        Assign(other);
        return *this;
    }

    RegistryKey RegistryKey::OpenSubkey(const String& name, REGSAM access) const
    {
        const String path = ComposePath(name);
        HKEY handle = nullptr;
        const LONG result = ::RegOpenKeyExW(GetHandle(), name.GetBuffer(), 0, access, &handle);
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32_FOR(L"Tarn::RegistryKey::OpenSubkey",
                                 L"RegOpenKeyEx() failed for key {0}, error code 0x{1:X}", path,
                                 static_cast<DWORD>(result));
        }
        return RegistryKey(handle, path);
    }

    RegistryKey RegistryKey::CreateSubkey(const String& name, REGSAM access) const
    {
        const String path = ComposePath(name);
        HKEY handle = nullptr;
        const LONG result = ::RegCreateKeyExW(GetHandle(), name.GetBuffer(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              access, nullptr, &handle, nullptr);
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32_FOR(L"Tarn::RegistryKey::CreateSubkey",
                                 L"RegCreateKeyEx() failed for key {0}, error code 0x{1:X}", path,
                                 static_cast<DWORD>(result));
        }
        return RegistryKey(handle, path);
    }

    void RegistryKey::SetStringValue(const String& name, const String& text, DWORD type) const
    {
        if (text.IsNull())
        {
            throw ArgumentException();
        }
        // The size in bytes, terminator included, must fit a DWORD.
        const UINT32 length = text.GetLength();
        if (length >= MAXDWORD / sizeof(WCHAR))
        {
            throw ArgumentException();
        }

        const DWORD size = (length + 1) * static_cast<DWORD>(sizeof(WCHAR));
        const LONG result = ::RegSetValueExW(GetHandle(), name.GetBuffer(), 0, type,
                                             reinterpret_cast<const BYTE*>(text.GetBuffer()), size);
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32(L"Tarn::RegistryKey::SetStringValue", L"RegSetValueEx() failed, error code 0x{0:X}",
                             static_cast<DWORD>(result));
        }
    }

    bool RegistryKey::DeleteSubkey(const String& name) const
    {
        if (name.IsNullOrEmpty())
        {
            throw ArgumentException();
        }
        return InternalDeleteSubkey(GetHandle(), name.GetBuffer(), true);
    }

    bool RegistryKey::DeleteValue(const String& subkey, const String& name) const
    {
        const LONG result = ::RegDeleteKeyValueW(GetHandle(), subkey.IsNullOrEmpty() ? nullptr : subkey.GetBuffer(),
                                                 name.IsNull() ? L"" : name.GetBuffer());
        if (result == ERROR_FILE_NOT_FOUND)
        {
            return false;
        }
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32_FOR(L"Tarn::RegistryKey::DeleteValue",
                                 L"RegDeleteKeyValue() failed for key {0}, error code 0x{1:X}",
                                 subkey.IsNullOrEmpty() ? m_path : ComposePath(subkey), static_cast<DWORD>(result));
        }
        return true;
    }

    void RegistryKey::Close()
    {
        if (IsPredefined())
        {
            throw InvalidOperationException();
        }
        if (m_handle == 0)
        {
            return;
        }

        const LONG result = ::RegCloseKey(GetHandle());
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32_FOR(L"Tarn::RegistryKey::Close",
                                 L"RegCloseKey() failed for key {0}, error code 0x{1:X}", m_path,
                                 static_cast<DWORD>(result));
        }
        m_handle = 0;
        m_path = String(L"", true);
    }

    void RegistryKey::Assign(const RegistryKey& other)
    {
        if (&other == this)
        {
            return;
        }

        if (!IsPredefined())
        {
            Close();
        }
        m_handle = 0;

        if (other.IsPredefined())
        {
            m_handle = other.m_handle;
        }
        else if (other.m_handle != 0)
        {
            const HANDLE process = ::GetCurrentProcess();
            HANDLE duplicate = nullptr;
            if (!::DuplicateHandle(process, other.GetHandle(), process, &duplicate, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
            {
                const DWORD error = ::GetLastError();
                m_path = String(L"", true);
                TARN_THROW_WIN32(L"Tarn::RegistryKey::Assign", L"DuplicateHandle() failed, error code 0x{0:X}", error);
            }
            m_handle = reinterpret_cast<ULONG_PTR>(duplicate);
        }
        m_path = other.m_path;
    }

    bool RegistryKey::InternalDeleteSubkey(HKEY parent, PCWSTR name, bool mayBeMissing)
    {
        const PCWSTR function = L"Tarn::RegistryKey::InternalDeleteSubkey";
        // A link is opened as the key it is, never as its target: the target is not part of the
        // tree, and may not exist at all.
        HKEY handle = nullptr;
        LONG result = ::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, DeleteTreeAccess, &handle);
        if (result == ERROR_FILE_NOT_FOUND && mayBeMissing)
        {
            return false;
        }
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32(function, L"RegOpenKeyEx() failed, error code 0x{0:X}", static_cast<DWORD>(result));
        }
        // Closes the key if anything below throws.
        RegistryKey key(handle, String());

        DWORD longestChildName = 0;
        result = ::RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, &longestChildName, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32(function, L"RegQueryInfoKey() failed, error code 0x{0:X}", static_cast<DWORD>(result));
        }

        // Room for the terminator and a spare unit; saturates rather than wrapping to a tiny buffer.
        const DWORD childNameCapacity = longestChildName > MAXDWORD - 2 ? MAXDWORD : longestChildName + 2;
        AutoArrayPtr<WCHAR> childName(new WCHAR[childNameCapacity]);

        // Each deleted child moves the next one to index 0. A child just listed must be removable:
        // one that is not would be listed again and again.
        for (;;)
        {
            DWORD childNameLength = childNameCapacity;
            result = ::RegEnumKeyExW(handle, 0, childName.Get(), &childNameLength, nullptr, nullptr, nullptr,
                                     nullptr);
            if (result != ERROR_SUCCESS)
            {
                break;
            }
            InternalDeleteSubkey(handle, childName.Get(), false);
        }
        if (result != ERROR_NO_MORE_ITEMS)
        {
            TARN_THROW_WIN32(function, L"RegEnumKeyEx() failed, error code 0x{0:X}", static_cast<DWORD>(result));
        }

        // Deleted through the handle opened above: deleting by name would follow a link to its
        // target and delete that instead.
        const NTSTATUS status = ::NtDeleteKey(handle);
        if (status < 0)
        {
            TARN_THROW_WIN32(function, L"NtDeleteKey() failed, error code 0x{0:X}", ::RtlNtStatusToDosError(status));
        }

        // Closed here rather than by the owner, so that a failure is reported and thrown.
        key.m_handle = 0;
        result = ::RegCloseKey(handle);
        if (result != ERROR_SUCCESS)
        {
            TARN_THROW_WIN32(function, L"RegCloseKey() failed, error code 0x{0:X}", static_cast<DWORD>(result));
        }
        return true;
    }

    String RegistryKey::ComposePath(const String& name) const
    {
        String path(m_path, String(L"\\", true));
        path.Append(name);
        return path;
    }
}
