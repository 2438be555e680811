#pragma once

#include <windows.h>

#include "tarnstring.h"

namespace Tarn
{
    // The one failure mechanism of the library: every failure is thrown by value as one of these
    // classes and caught by reference as Exception. An exception carries only its HRESULT; the text
    // is produced on demand by GetDescription. The constructors are constexpr so that a static
    // instance (the preallocated MemoryException) is ready before any dynamic initialisation.
    class Exception
    {
    public:
        constexpr explicit Exception(HRESULT errorCode) noexcept : m_errorCode(errorCode) {}
        Exception(const Exception& other) noexcept = default;
        Exception& operator=(const Exception&) = delete;
        virtual ~Exception() = default;

        virtual HRESULT GetErrorCode() const { return m_errorCode; }
        // The text GetErrorMessage gives for the code. Never throws: when the text cannot be built,
        // a note goes to the debugger output and the result is a null string.
        virtual String GetDescription() const;

    private:
        const HRESULT m_errorCode;
    };

    // A Windows, COM or CNG call failed; the code is the call's own.
    class SystemException : public Exception
    {
    public:
        constexpr explicit SystemException(HRESULT errorCode) noexcept : Exception(errorCode) {}
    };

    // Memory could not be allocated (E_OUTOFMEMORY).
    class MemoryException : public SystemException
    {
    public:
        constexpr MemoryException() noexcept : SystemException(E_OUTOFMEMORY) {}
    };

    // An argument is null, empty, out of range or otherwise unacceptable (E_INVALIDARG).
    class ArgumentException : public Exception
    {
    public:
        constexpr ArgumentException() noexcept : Exception(E_INVALIDARG) {}
    };

    // The object is not in a state that allows the call.
    class InvalidOperationException : public Exception
    {
    public:
        static constexpr HRESULT Code = static_cast<HRESULT>(0x80004021);
        constexpr InvalidOperationException() noexcept : Exception(Code) {}
    };

    // The operation is not provided by this object (E_NOTIMPL).
    class NotImplementedException : public Exception
    {
    public:
        constexpr NotImplementedException() noexcept : Exception(E_NOTIMPL) {}
    };

    // A key already present was added to a map.
    class DuplicateKeyException : public Exception
    {
    public:
        static constexpr HRESULT Code = static_cast<HRESULT>(0xA0010007);
        constexpr DuplicateKeyException() noexcept : Exception(Code) {}
    };

    // A format string or a value could not be formatted.
    class FormatException : public Exception
    {
    public:
        static constexpr HRESULT Code = static_cast<HRESULT>(0xA0010001);
        constexpr FormatException() noexcept : Exception(Code) {}
    };

    // A text could not be parsed.
    class ParseException : public Exception
    {
    public:
        static constexpr HRESULT Code = static_cast<HRESULT>(0xA0010000);
        constexpr ParseException() noexcept : Exception(Code) {}
    };

    // HRESULT_FROM_WIN32: a value of 0 or less is taken unchanged, any other becomes its low
    // 16 bits in the Win32 facility with the failure bit set.
    constexpr HRESULT HResultFromWin32(DWORD error) noexcept
    {
        return static_cast<HRESULT>(error) <= 0
            ? static_cast<HRESULT>(error)
            : static_cast<HRESULT>((error & 0x0000FFFF) | 0x80070000);
    }

    // The code a failed Win32 call is thrown with: HRESULT_FROM_WIN32 of the error it left, or
    // E_FAIL when it left none (a combo box answering CB_ERR, GetDlgCtrlID of a top-level window),
    // so that a failure never travels with a code that reads as success.
    constexpr HRESULT FailedCallCode(DWORD error) noexcept
    {
        return error == ERROR_SUCCESS ? E_FAIL : HResultFromWin32(error);
    }

    // The code a failed CNG call is thrown with: the NTSTATUS marked by bit 28.
    constexpr HRESULT HResultFromNtStatus(LONG status) noexcept
    {
        return static_cast<HRESULT>(static_cast<ULONG>(status) | FACILITY_NT_BIT);
    }
}
