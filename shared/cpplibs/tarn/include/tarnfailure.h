#pragma once

#include <windows.h>

#include "tarnexception.h"
#include "tarntrace.h"

// A failed Windows call: traces the message at ERROR with the Win32 error as argument 0, then throws
// SystemException with FailedCallCode of it. Needs TraceSource in scope, like TARN_TRACE.
#define TARN_THROW_WIN32(function, message, error)                                               \
    do                                                                                          \
    {                                                                                           \
        const DWORD tarnFailedCallError = (error);                                              \
        TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message), tarnFailedCallError);      \
        throw ::Tarn::SystemException(::Tarn::FailedCallCode(tarnFailedCallError));           \
    } while (false)

// The same for a call on a named object (a file, a registry key): the name is argument 0 of the
// message and the Win32 error argument 1.
#define TARN_THROW_WIN32_FOR(function, message, name, error)                                     \
    do                                                                                          \
    {                                                                                           \
        const DWORD tarnFailedCallError = (error);                                              \
        TARN_TRACE(::Tarn::TraceLevel::Error, (function), (message), (name), tarnFailedCallError); \
        throw ::Tarn::SystemException(::Tarn::FailedCallCode(tarnFailedCallError));           \
    } while (false)
