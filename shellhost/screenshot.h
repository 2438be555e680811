#pragma once

// A picture of a window as the screen shows it, saved as PNG.

#include <windows.h>

#include <string>

namespace ShellHost
{
    // Copies the window's rectangle from the screen (so other windows on top of it would show too)
    // and writes it to the file. Throws Failure.
    void SaveScreenshot(HWND window, const std::wstring& pngPath);
}
