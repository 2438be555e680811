#pragma once

// How a failed user32 or comctl32 call is turned into an exception.

#include <windows.h>

#include "tarnexception.h"

namespace Tarn
{
    [[noreturn]] inline void ThrowLastWindowError()
    {
        throw SystemException(FailedCallCode(::GetLastError()));
    }
}
