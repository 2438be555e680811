// Error descriptions: the dispatch from an error code to the system, ntdll.dll or library texts.

#include "tarnerrormessage.h"

#include "tarnexception.h"
#include "tarnformatter.h"
#include "tarnlocale.h"
#include "tarnmoduleimpl.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnerror";

    const wchar_t LookupFailedText[] = L"(An error occurred while formatting the error message)";

    // The lookups pass no arguments, so inserts ("%1") must be left as text: expanding them would
    // read arguments that were never supplied.
    const DWORD SystemMessageFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
        | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    const DWORD NtStatusMessageFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
        | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;

    // The bits of an HRESULT that choose where its text comes from.
    const UINT32 FailureBit = 0x80000000;
    const UINT32 CustomerBit = 0x20000000;
    // The facility with the two bits above it (NT status, reserved); the library's codes have
    // facility 1 and neither bit.
    const UINT32 FacilityAndMarks = 0x1FFF0000;
    const UINT32 LibraryFacility = 0x00010000;
    // The library's texts are string resources from this identifier on, one per code.
    const UINT LibraryMessageBase = 0xFF00;

    // Owns the text FormatMessageW allocates; frees it with LocalFree.
    class FormattedMessage
    {
    public:
        FormattedMessage() noexcept : m_text(nullptr) {}
        FormattedMessage(const FormattedMessage&) = delete;
        FormattedMessage& operator=(const FormattedMessage&) = delete;
        ~FormattedMessage() { ::LocalFree(m_text); }

        // Looks the message up; false leaves the error in GetLastError().
        bool Format(DWORD flags, HMODULE source, DWORD messageId) noexcept
        {
            return ::FormatMessageW(flags, source, messageId, 0, reinterpret_cast<PWSTR>(&m_text), 0, nullptr) != 0;
        }

        PCWSTR GetText() const noexcept { return m_text; }

    private:
        PWSTR m_text;
    };

    // Owns a module loaded with LoadLibraryW; frees it with FreeLibrary.
    class LoadedLibrary
    {
    public:
        explicit LoadedLibrary(PCWSTR fileName) noexcept : m_module(::LoadLibraryW(fileName)) {}
        LoadedLibrary(const LoadedLibrary&) = delete;
        LoadedLibrary& operator=(const LoadedLibrary&) = delete;
        ~LoadedLibrary()
        {
            if (m_module != nullptr)
            {
                ::FreeLibrary(m_module);
            }
        }

        HMODULE Get() const noexcept { return m_module; }

    private:
        HMODULE m_module;
    };
}

namespace Tarn
{
    String Exception::GetDescription() const
    {
        try
        {
            return GetErrorMessage(m_errorCode);
        }
        catch (const Exception&)
        {
            // Not through tracing: the trace line itself would need the description.
            ::OutputDebugStringW(L"ERROR! Exception::GetDescription() failed!\r\n");
            return String();
        }
    }

    String GetErrorMessage(HRESULT errorCode)
    {
        const UINT32 code = static_cast<UINT32>(errorCode);
        const bool isFailure = (code & FailureBit) != 0;
        const bool isCustomer = (code & CustomerBit) != 0;
        if (isFailure && isCustomer)
        {
            if ((code & FacilityAndMarks) == LibraryFacility)
            {
                return GetLibraryErrorMessage(errorCode);
            }
            return Formatter::Format(String(L"Customer error 0x{0:X}", true), code, Locale::Invariant);
        }
        if ((code & FACILITY_NT_BIT) != 0)
        {
            return GetNtStatusErrorMessage(errorCode);
        }
        return GetSystemErrorMessage(errorCode);
    }

    String GetLibraryErrorMessage(HRESULT errorCode)
    {
        const UINT32 code = static_cast<UINT32>(errorCode);
        String text;
        const ModuleImpl* module = ModuleImpl::GetModule();
        if (module != nullptr)
        {
            // A missing or unloadable resource is not an error: the generic text below stands in.
            try
            {
                text = module->LoadResourceString(LibraryMessageBase + HRESULT_CODE(code));
            }
            catch (const Exception&)
            {
            }
        }
        if (text.IsNullOrEmpty())
        {
            return Formatter::Format(String(L"Tarn error 0x{0:X}", true), code, Locale::Invariant);
        }
        return text;
    }

    String GetSystemErrorMessage(HRESULT errorCode)
    {
        FormattedMessage message;
        if (!message.Format(SystemMessageFlags, nullptr, static_cast<DWORD>(errorCode)))
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(TraceLevel::Error, L"Tarn::GetSystemErrorMessage", L"FormatMessage() failed, GetLastError() returns 0x{0:X}",
                       error);
            return String(LookupFailedText, true);
        }
        return String(message.GetText(), false);
    }

    String GetNtStatusErrorMessage(HRESULT errorCode)
    {
        const LoadedLibrary ntdll(L"NTDLL.DLL");
        if (ntdll.Get() == nullptr)
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(TraceLevel::Error, L"Tarn::GetNtStatusErrorMessage", L"Failed to load ntdll.dll, GetLastError() returns {0}",
                       error);
            return String(LookupFailedText, true);
        }

        String text;
        FormattedMessage message;
        const DWORD status = static_cast<DWORD>(errorCode) & ~static_cast<DWORD>(FACILITY_NT_BIT);
        if (message.Format(NtStatusMessageFlags, ntdll.Get(), status))
        {
            text = String(message.GetText(), false);
        }
        else
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(TraceLevel::Error, L"Tarn::GetNtStatusErrorMessage", L"FormatMessage() failed, GetLastError() returns {0}",
                       error);
            text = String(LookupFailedText, true);
        }
        return text.Replace(String(L"\r\n", true), String(L" ", true)).Trim(L' ');
    }
}
