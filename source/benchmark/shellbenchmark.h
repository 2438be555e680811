#pragma once

// What the measurements in the shell's real Properties dialog share.

#include <windows.h>

#include <string>

#include "shellthread.h"

namespace DigestryBenchmark
{
    const DWORD OpenTimeoutMs = 30000;
    const DWORD CloseTimeoutMs = 60000;
    const wchar_t PageTitle[] = L"Digestry";

    // The cost of opening Properties, with digestry.dll registered and without, interleaved over
    // the pairs: the time from the request to the shell to the dialog shown, and the process's
    // private memory once the dialog has painted. shellThreadId is the thread that serves the
    // shell (the one that called DriveShell). Leaves the extension registered.
    void MeasureOpening(ShellHost::ShellThread& shell, DWORD shellThreadId, const std::wstring& path, int pairs);
}
