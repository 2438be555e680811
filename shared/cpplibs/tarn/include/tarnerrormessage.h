#pragma once

#include <windows.h>

#include "tarnstring.h"

namespace Tarn
{
    // The text that describes an error code. Library codes (customer bit set, facility 1) come from
    // the module's string resources, other customer codes get a generic text, codes with bit 28 set
    // are looked up as NTSTATUS in ntdll.dll, everything else in the system message table.
    String GetErrorMessage(HRESULT errorCode);

    // The string resource 0xFF00 + (code & 0xFFFF) of the module, or "Tarn error 0x..." without it.
    String GetLibraryErrorMessage(HRESULT errorCode);

    // The system's message text for a Win32 or HRESULT code, exactly as the system returns it.
    String GetSystemErrorMessage(HRESULT errorCode);

    // ntdll.dll's message text for an NTSTATUS marked by bit 28, on one line and trimmed of spaces.
    String GetNtStatusErrorMessage(HRESULT errorCode);
}
