#pragma once

#include <windows.h>

#include "tarnstring.h"

namespace Tarn
{
    // Owns one open registry key and knows its full path ("HKEY_CLASSES_ROOT\CLSID"), so that every
    // failure trace names the key concerned. A failed registry call is traced at ERROR and thrown as
    // SystemException(HRESULT_FROM_WIN32). The predefined root keys are never closed or duplicated.
    // A key object is used by one thread at a time.
    class RegistryKey
    {
    public:
        // The predefined roots. Constant-initialised, so they may be used from any static
        // initialiser, and never closed; they are read-only for the life of the process.
        static const RegistryKey ClassesRoot;
        static const RegistryKey CurrentUser;
        static const RegistryKey LocalMachine;
        static const RegistryKey Users;
        static const RegistryKey PerformanceData;
        static const RegistryKey CurrentConfig;

        // Holds no key.
        constexpr RegistryKey() noexcept : m_handle(0), m_path(L"", true) {}
        // Takes ownership of the handle, unless it is a predefined root.
        RegistryKey(HKEY handle, const String& path) noexcept;
        // Not copy-constructible: a second owner needs a handle of its own, which assignment makes.
        RegistryKey(const RegistryKey&) = delete;
        // Closes a held key other than a root; a failure is traced, not thrown.
        virtual ~RegistryKey();

        // Makes this object refer to the other's key through a handle of its own (see Assign).
        RegistryKey& operator=(const RegistryKey& other);

        // The existing subkey, opened with the access mask.
        RegistryKey OpenSubkey(const String& name, REGSAM access) const;
        // The subkey, created (non-volatile) if missing, opened with the access mask.
        RegistryKey CreateSubkey(const String& name, REGSAM access) const;
        // Writes a string value of the type (REG_SZ, REG_EXPAND_SZ), terminator included. An empty
        // or null name writes the default value. ArgumentException for a null text.
        void SetStringValue(const String& name, const String& text, DWORD type) const;
        // Deletes the subkey with all its descendants, children first. Returns false, without a
        // trace, when it does not exist. Links are deleted as keys of their own, never followed.
        // ArgumentException for a null or empty name, which would name this key itself.
        bool DeleteSubkey(const String& name) const;
        // Deletes the named value (an empty name: the default value) of the subkey, or of this key
        // when the subkey's name is empty. Returns false, without a trace, when the subkey or the
        // value does not exist.
        bool DeleteValue(const String& subkey, const String& name) const;

        // Nothing when no key is held. InvalidOperationException for a predefined root. When
        // RegCloseKey fails the key stays held.
        void Close();
        // Closes this object's own key, then refers to the other's: a root's handle is shared, any
        // other key is duplicated, so each object closes its own handle. Nothing for itself.
        void Assign(const RegistryKey& other);

        // Null when no key is held. The object keeps ownership.
        HKEY GetHandle() const noexcept { return reinterpret_cast<HKEY>(m_handle); }
        // Empty when no key is held.
        const String& GetPath() const noexcept { return m_path; }
        bool IsPredefined() const noexcept { return IsPredefinedHandle(m_handle); }

    private:
        // The roots' handles are small negative integers; as integers they can be stored in a
        // constant expression, as pointers they cannot. HKEY_CLASSES_ROOT is the first of them,
        // HKEY_CURRENT_CONFIG the last.
        static constexpr LONG FirstPredefinedRoot = static_cast<LONG>(0x80000000);
        static constexpr LONG LastPredefinedRoot = static_cast<LONG>(0x80000005);

        constexpr RegistryKey(LONG predefinedRoot, PCWSTR name) noexcept
            : m_handle(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(predefinedRoot))), m_path(name, true)
        {
        }

        static constexpr bool IsPredefinedHandle(ULONG_PTR handle) noexcept
        {
            return handle >= static_cast<ULONG_PTR>(static_cast<LONG_PTR>(FirstPredefinedRoot)) &&
                   handle <= static_cast<ULONG_PTR>(static_cast<LONG_PTR>(LastPredefinedRoot));
        }

        // False when the key is missing and may be; a child that was just listed may not.
        static bool InternalDeleteSubkey(HKEY parent, PCWSTR name, bool mayBeMissing);
        String ComposePath(const String& name) const;

        ULONG_PTR m_handle;     // an HKEY; 0 when no key is held
        String m_path;
    };
}
