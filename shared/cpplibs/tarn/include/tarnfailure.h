#pragma once

// How a failed Windows call becomes an exception, in one family for every call site: the traced
// forms trace the failure at ERROR and throw; the untraced one serves the calls whose failure is
// thrown without a line; the fresh-error forms serve the calls whose failure answer is also a
// valid one. The traced forms need TraceSource in scope, like TARN_TRACE.

#include <windows.h>

#include "tarnexception.h"
#include "tarntrace.h"

namespace Tarn
{
    // What every failed Windows call throws: SystemException with FailedCallCode of its error.
    [[noreturn]] inline void ThrowWin32Error(DWORD error)
    {
        throw SystemException(FailedCallCode(error));
    }

    // The untraced form: the error the failed call left in the thread's last-error value.
    [[noreturn]] inline void ThrowLastError()
    {
        ThrowWin32Error(::GetLastError());
    }
}

// Traces the message at ERROR with the Win32 error as argument 0, then throws.
#define TARN_THROW_WIN32(function, message, error)                                               \
    do                                                                                          \
    {                                                                                           \
        const DWORD tarnFailedCallError = (error);                                              \
        TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message), tarnFailedCallError);      \
        ::Tarn::ThrowWin32Error(tarnFailedCallError);                                           \
    } while (false)

// The same for a call on a named object (a file, a registry key, a window): the name is argument 0
// of the message and the Win32 error argument 1.
#define TARN_THROW_WIN32_FOR(function, message, name, error)                                     \
    do                                                                                          \
    {                                                                                           \
        const DWORD tarnFailedCallError = (error);                                              \
        TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message), (name), tarnFailedCallError); \
        ::Tarn::ThrowWin32Error(tarnFailedCallError);                                           \
    } while (false)

// A failed COM or shell call: traces the message at ERROR with the HRESULT as argument 0, then
// throws SystemException with it.
#define TARN_THROW_HRESULT(function, message, result)                                            \
    do                                                                                          \
    {                                                                                           \
        const HRESULT tarnFailedCallResult = (result);                                          \
        TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message), tarnFailedCallResult);     \
        throw ::Tarn::SystemException(tarnFailedCallResult);                                    \
    } while (false)

// A failure that is traced in words of its own, without arguments (a call whose failure carries no
// error, a state check that is traced): traces the message at ERROR, then throws the exception.
#define TARN_THROW_TRACED(function, message, exception)                                          \
    do                                                                                          \
    {                                                                                           \
        TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message));                           \
        throw(exception);                                                                       \
    } while (false)

// Runs a call with the thread's last-error value cleared first and yields its answer; afterwards
// GetLastError() holds the call's own error, or ERROR_SUCCESS where it set none. For calls that may
// fail without setting an error (a combo box's messages), so that no earlier call's error is blamed
// on them, and the ground of the fresh-error forms below.
#define TARN_FRESH_CALL(call) (::SetLastError(ERROR_SUCCESS), (call))

// The fresh-error forms, for a call whose failure answer is also a valid one (0 from
// GetWindowTextLengthW, CB_ERR from CB_GETITEMDATA): yield the call's answer, made with a fresh
// error; when the answer is `ambiguous`, only an error the call set itself makes it a failure,
// which is then traced and thrown as by TARN_THROW_WIN32 (_FOR), or thrown untraced.
#define TARN_CALL_WIN32_FRESH(call, ambiguous, function, message)                                \
    TARN_DETAIL_CALL_FRESH(call, ambiguous, TARN_THROW_WIN32((function), (message), tarnFreshError))
#define TARN_CALL_WIN32_FRESH_FOR(call, ambiguous, function, message, name)                      \
    TARN_DETAIL_CALL_FRESH(call, ambiguous, TARN_THROW_WIN32_FOR((function), (message), (name), tarnFreshError))
#define TARN_CALL_WIN32_FRESH_UNTRACED(call, ambiguous)                                          \
    TARN_DETAIL_CALL_FRESH(call, ambiguous, ::Tarn::ThrowWin32Error(tarnFreshError))

// The body the fresh-error forms share; `fail` sees the call's error as tarnFreshError.
#define TARN_DETAIL_CALL_FRESH(call, ambiguous, fail)                                            \
    [&]() {                                                                                     \
        const auto tarnAnswer = TARN_FRESH_CALL(call);                                          \
        if (tarnAnswer == (ambiguous))                                                          \
        {                                                                                       \
            const DWORD tarnFreshError = ::GetLastError();                                      \
            if (tarnFreshError != ERROR_SUCCESS)                                                \
            {                                                                                   \
                fail;                                                                           \
            }                                                                                   \
        }                                                                                       \
        return tarnAnswer;                                                                      \
    }()
