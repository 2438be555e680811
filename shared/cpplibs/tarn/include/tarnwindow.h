#pragma once

#include <windows.h>

#include "tarnborrowedhandle.h"
#include "tarnstring.h"

namespace Tarn
{
    // Maps a point or a rectangle (both corners) from the client coordinates of one window to those
    // of another; a null window stands for the screen. ArgumentException for a null point or
    // rectangle; a failed mapping is traced and thrown as SystemException.
    POINT MapWindowPoint(HWND from, HWND to, const POINT* point);
    RECT MapWindowRectangle(HWND from, HWND to, const RECT* rectangle);

    // A window handle with the window functions of user32 and uxtheme as operations. The wrapper never
    // owns the window: destroying the wrapper leaves the window alone. Operations that the platform
    // can report as failed throw SystemException; the others return the platform's answer as it is.
    // A wrapper is used on the thread that owns its window.
    class Window
    {
    public:
        // Holds no window.
        Window() noexcept : m_handle(nullptr) {}
        Window(const Window&) = delete;
        Window& operator=(const Window&) = delete;

        // From this window's client coordinates to the other window's (the screen when null).
        virtual RECT MapRectangle(HWND other, const RECT& rectangle) const;
        virtual RECT MapRectangle(HWND other, LONG left, LONG top, LONG right, LONG bottom) const;
        virtual POINT MapPoint(HWND other, const POINT& point) const;
        virtual POINT MapPoint(HWND other, LONG x, LONG y) const;

        virtual ~Window() = default;

        // Takes the handle without any check; the previous one is forgotten.
        virtual void Attach(HWND handle) noexcept;
        // Returns the handle and holds none from then on.
        virtual HWND Detach() noexcept;
        virtual bool IsAttached() const noexcept;
        virtual HWND GetHandle() const noexcept;

        // The dialog control id; a window without one (0) throws.
        virtual int GetControlID() const;
        // GetWindowLongPtrW, unchecked.
        virtual LONG_PTR GetWindowLongPtrW(int index) const;
        // Returns the previous value; 0 is a failure only when the platform left an error.
        virtual LONG_PTR SetWindowLongPtrW(int index, LONG_PTR value);
        virtual LONG_PTR GetStyle() const;
        virtual LONG_PTR SetStyle(LONG_PTR style);
        virtual LONG_PTR GetExtendedStyle() const;
        virtual LONG_PTR SetExtendedStyle(LONG_PTR style);
        virtual LONG_PTR GetWindowProcedure() const;
        // Null for a top-level window without an owner; unchecked.
        virtual HWND GetParent() const;

        // Window properties; a missing property reads null.
        virtual HANDLE GetProperty(const String& name) const;
        virtual void SetProperty(const String& name, HANDLE data);
        virtual HANDLE RemoveProperty(const String& name);

        virtual bool IsEnabled() const;
        // Returns EnableWindow's answer: true when the window was disabled before.
        virtual bool Enable(bool enable);
        virtual bool IsVisible() const;
        virtual void Show(bool show);
        virtual bool IsMinimized() const;
        // Nothing when the window is already in the asked state; false restores it.
        virtual void Minimize(bool minimize);
        virtual bool IsMaximized() const;
        virtual void Maximize(bool maximize);
        virtual bool HasFocus() const;
        // Returns the window that had the focus (null if none).
        virtual HWND SetFocus();
        // ShowWindow with the command; returns whether the window was visible before.
        virtual bool ShowWindow(int command);
        // Shows or hides one of the window's own scroll bars (SB_HORZ, SB_VERT or SB_BOTH).
        virtual void ShowScrollBar(int bar, bool show);

        // In screen coordinates.
        virtual RECT GetWindowRectangle() const;
        virtual RECT GetClientRectangle() const;
        // The window rectangle in the parent's client coordinates; InvalidOperationException for a
        // window without a parent.
        virtual RECT GetRectangleInParent() const;
        // Resizes without moving or activating the window.
        virtual void SetSize(int width, int height);
        virtual void SetSize(const SIZE& size);
        virtual int GetWidth() const;
        virtual void SetWidth(int width);
        virtual int GetHeight() const;
        virtual void SetHeight(int height);
        // Moves to the rectangle, in the parent's client coordinates (the screen for a top-level
        // window). ArgumentException for a null rectangle.
        virtual void MoveWindow(const RECT& rectangle, bool repaint);
        virtual void MoveWindow(const RECT* rectangle, bool repaint);
        virtual void MoveWindow(int x, int y, int width, int height, bool repaint);

        // The window text; an empty, non-null string when it has none.
        virtual String GetCaption() const;
        virtual void SetCaption(const String& caption);
        // The monitor nearest to the window.
        virtual Monitor GetMonitor() const;
        // The cursor position on the screen, or in this window's client coordinates.
        virtual POINT GetCursorPos(bool clientCoordinates) const;
        virtual GdiFont GetFont() const;
        virtual void SetFont(HFONT font, bool redraw);
        virtual void SetFont(const GdiFont& font, bool redraw);

        // Between the screen and this window's client coordinates; ArgumentException for a null pointer.
        virtual RECT ScreenToClient(const RECT& rectangle) const { return ScreenToClient(&rectangle); }
        virtual RECT ScreenToClient(const RECT* rectangle) const { return MapWindowRectangle(nullptr, m_handle, rectangle); }
        virtual POINT ScreenToClient(const POINT& point) const { return ScreenToClient(&point); }
        virtual POINT ScreenToClient(const POINT* point) const { return MapWindowPoint(nullptr, m_handle, point); }
        virtual POINT ScreenToClient(LONG x, LONG y) const { return ScreenToClient(POINT{x, y}); }
        virtual RECT ClientToScreen(const RECT& rectangle) const { return ClientToScreen(&rectangle); }
        virtual RECT ClientToScreen(const RECT* rectangle) const { return MapWindowRectangle(m_handle, nullptr, rectangle); }
        virtual POINT ClientToScreen(const POINT& point) const { return ClientToScreen(&point); }
        virtual POINT ClientToScreen(const POINT* point) const { return MapWindowPoint(m_handle, nullptr, point); }
        virtual POINT ClientToScreen(LONG x, LONG y) const { return ClientToScreen(POINT{x, y}); }

        // Invalidates the whole client area.
        virtual void Invalidate(bool erase);
        virtual void Update();
        // Destroys the window; the wrapper keeps the (now stale) handle.
        virtual void Destroy();
        // A timer that posts WM_TIMER to the window; returns its id.
        virtual UINT_PTR SetTimer(UINT_PTR id, UINT interval);
        virtual void KillTimer(UINT_PTR id);
        virtual bool Animate(DWORD flags, DWORD duration);
        // SendMessageW, unchecked.
        virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const;
        virtual void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const;
        // Applies the visual style of the sub-application name (null for the default).
        virtual void SetWindowTheme(const String& subApplicationName);
        virtual Theme GetTheme() const;

    private:
        HWND m_handle;
    };
}
