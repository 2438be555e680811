#pragma once

#include <windows.h>

#include "tarnstring.h"
#include "tarnwindow.h"

namespace Tarn
{
    // A child window of a given class: either created here or attached to one that a dialog made.
    class Control : public Window
    {
    public:
        // Creates the child window (no instance, no creation data) and holds its handle.
        // InvalidOperationException when a window is held already (the handle is kept);
        // ArgumentException for a null class name or parent, or a style without WS_CHILD (a tooltip,
        // class "tooltips_class32", is the one window allowed without it); a failed creation is
        // traced and thrown as SystemException.
        virtual HWND Create(const String& className, HWND parent, int id, int x, int y, int width, int height,
                            const String& text, DWORD style, DWORD extendedStyle);
    };

    // An edit box ("Edit").
    class EditControl : public Control
    {
    public:
        using Control::Create;
        virtual HWND Create(HWND parent, int id, int x, int y, int width, int height, const String& text, DWORD style,
                            DWORD extendedStyle);

        // Whether the user changed the text since it was last set.
        virtual bool IsModified() const;
        virtual bool IsMultiline() const;
        virtual String GetText() const;
        virtual void SetText(const String& text);
        // Most units the user may type.
        virtual UINT GetTextLimit() const;
        virtual void SetTextLimit(UINT limit);
        // Whether a multiline control shows every line of its wrapped text when scrolled to the top;
        // blank lines at the end hide nothing and count for nothing.
        virtual bool TextFits() const;
    };

    // A static text or label ("STATIC").
    class StaticControl : public Control
    {
    public:
        using Control::Create;
        virtual HWND Create(HWND parent, int id, int x, int y, int width, int height, const String& text, DWORD style,
                            DWORD extendedStyle);
    };

    // A text with link elements ("SysLink"); needs Common Controls 6.0.
    class SysLinkControl : public Control
    {
    public:
        using Control::Create;
        virtual HWND Create(HWND parent, int id, int x, int y, int width, int height, const String& text, DWORD style,
                            DWORD extendedStyle);
    };
}
