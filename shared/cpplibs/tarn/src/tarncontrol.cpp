#include "tarncontrol.h"

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarncontrol";

    // Literal-mode strings are constant-initialised: safe against concurrent first use.
    const Tarn::String EditClassName(L"Edit", true);
    const Tarn::String StaticClassName(L"STATIC", true);
    const Tarn::String SysLinkClassName(L"SysLink", true);
    const wchar_t TooltipClassName[] = L"tooltips_class32";
}

namespace Tarn
{
    HWND Control::Create(const String& className, HWND parent, int id, int x, int y, int width, int height,
                         const String& text, DWORD style, DWORD extendedStyle)
    {
        const PCWSTR function = L"Tarn::Control::Create";
        if (IsAttached())
        {
            TARN_THROW_TRACED(function, L"Cannot call Create() on an already created object", InvalidOperationException());
        }
        if (className.IsNull() || parent == nullptr)
        {
            throw ArgumentException();
        }
        if ((style & WS_CHILD) == 0 && className != TooltipClassName)
        {
            throw ArgumentException();
        }

        HWND handle = ::CreateWindowExW(extendedStyle, className.GetBuffer(), text.GetBuffer(), style, x, y, width, height,
                                        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        if (handle == nullptr)
        {
            TARN_THROW_WIN32(function, L"CreateWindowEx() failed, GetLastError() returns 0x{0:X}", ::GetLastError());
        }
        Attach(handle);
        return handle;
    }

    HWND EditControl::Create(HWND parent, int id, int x, int y, int width, int height, const String& text, DWORD style,
                             DWORD extendedStyle)
    {
        return Control::Create(EditClassName, parent, id, x, y, width, height, text, style, extendedStyle);
    }

    bool EditControl::IsModified() const
    {
        return SendMessage(EM_GETMODIFY, 0, 0) != 0;
    }

    bool EditControl::IsMultiline() const
    {
        return (GetStyle() & ES_MULTILINE) != 0;
    }

    String EditControl::GetText() const
    {
        return GetCaption();
    }

    void EditControl::SetText(const String& text)
    {
        SetCaption(text);
    }

    UINT EditControl::GetTextLimit() const
    {
        return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT, 0, 0));
    }

    void EditControl::SetTextLimit(UINT limit)
    {
        SendMessage(EM_SETLIMITTEXT, limit, 0);
    }

    bool EditControl::TextFits() const
    {
        const auto lineStart = [this](WPARAM line) { return static_cast<WPARAM>(SendMessage(EM_LINEINDEX, line, 0)); };
        WPARAM lines = static_cast<WPARAM>(SendMessage(EM_GETLINECOUNT, 0, 0));
        while (lines > 1 && SendMessage(EM_LINELENGTH, lineStart(lines - 1), 0) == 0)
        {
            --lines;
        }
        if (lines < 2)
        {
            return true;
        }
        // The tops of the first and the last line, wherever the control is scrolled, give the height
        // of a line and of the whole text.
        const auto lineTop = [this, &lineStart](WPARAM line) {
            return static_cast<LONG>(static_cast<short>(HIWORD(SendMessage(EM_POSFROMCHAR, lineStart(line), 0))));
        };
        const LONG lastLineOffset = lineTop(lines - 1) - lineTop(0);
        const LONG lineHeight = lastLineOffset / static_cast<LONG>(lines - 1);
        RECT format = {};
        SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        return lastLineOffset + lineHeight <= format.bottom - format.top;
    }

    HWND StaticControl::Create(HWND parent, int id, int x, int y, int width, int height, const String& text, DWORD style,
                               DWORD extendedStyle)
    {
        return Control::Create(StaticClassName, parent, id, x, y, width, height, text, style, extendedStyle);
    }

    HWND SysLinkControl::Create(HWND parent, int id, int x, int y, int width, int height, const String& text,
                                DWORD style, DWORD extendedStyle)
    {
        return Control::Create(SysLinkClassName, parent, id, x, y, width, height, text, style, extendedStyle);
    }
}
