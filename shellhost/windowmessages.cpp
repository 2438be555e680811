#include "windowmessages.h"

#include <chrono>

#include "console.h"

namespace ShellHost
{
    namespace
    {
        const UINT AnswerTimeoutMs = 10000;
    }

    LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, AnswerTimeoutMs, &result))
        {
            throw Failure(L"the dialog's thread did not answer a window message within " +
                          std::to_wstring(AnswerTimeoutMs / 1000) + L" s");
        }
        return static_cast<LRESULT>(result);
    }

    std::wstring GetText(HWND window)
    {
        // One round trip for the usual short texts; a text that fills the buffer is asked for its length.
        std::wstring text(256, L'\0');
        for (;;)
        {
            const size_t copied = static_cast<size_t>(
                SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0])));
            if (copied + 1 < text.size())
            {
                text.resize(copied);
                return text;
            }
            text.assign(static_cast<size_t>(SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0)) + 2, L'\0');
        }
    }

    void PressKey(HWND window, UINT key)
    {
        const LPARAM scanCode = static_cast<LPARAM>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
        SendWithTimeout(window, WM_KEYDOWN, key, 1 | scanCode);
        SendWithTimeout(window, WM_KEYUP, key, 1 | scanCode | (LPARAM(1) << 30) | (LPARAM(1) << 31));
    }

    double Seconds()
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }
}
