#pragma once

// How a failed user32 or comctl32 call is turned into an exception.

#include <windows.h>

#include "tarnexception.h"

namespace Tarn
{
    // HRESULT_FROM_WIN32 of the error the call left, or E_FAIL when it left none: a combo box that
    // answers CB_ERR, or GetDlgCtrlID of a top-level window, sets no error, and a failure must never
    // be thrown with a code that reads as success.
    inline HRESULT WindowFailureCode(DWORD error) noexcept
    {
        return error == ERROR_SUCCESS ? E_FAIL : HResultFromWin32(error);
    }

    [[noreturn]] inline void ThrowLastWindowError()
    {
        throw SystemException(WindowFailureCode(::GetLastError()));
    }
}
