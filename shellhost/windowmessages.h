#pragma once

// Talking to windows of the dialog's thread from the driving thread. A thread that does not answer
// within ten seconds counts as hung: the calls then throw Failure.

#include <windows.h>

#include <string>

namespace ShellHost
{
    // SendMessage with the time limit: the window's answer.
    LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The window's text, as the window itself answers it.
    std::wstring GetText(HWND window);
    // A key pressed and released while the window has the focus.
    void PressKey(HWND window, UINT key);
    // Monotonic seconds, for time limits and measurements.
    double Seconds();
}
