#include "tarnwindow.h"

#include <uxtheme.h>

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnwindow";

    // The mapping behind MapWindowPoint and MapWindowRectangle; a failure is traced in the name of
    // the one that was called.
    void MapPoints(PCWSTR function, HWND from, HWND to, POINT* points, UINT count)
    {
        // 0 is also the answer when the two origins coincide.
        TARN_CALL_WIN32_FRESH(::MapWindowPoints(from, to, points, count), 0, function,
                              L"MapWindowPoints() failed, error code {0}");
    }
}

namespace Tarn
{
    POINT MapWindowPoint(HWND from, HWND to, const POINT* point)
    {
        if (point == nullptr)
        {
            throw ArgumentException();
        }
        POINT mapped = *point;
        MapPoints(L"Tarn::MapWindowPoint", from, to, &mapped, 1);
        return mapped;
    }

    RECT MapWindowRectangle(HWND from, HWND to, const RECT* rectangle)
    {
        if (rectangle == nullptr)
        {
            throw ArgumentException();
        }
        RECT mapped = *rectangle;
        MapPoints(L"Tarn::MapWindowRectangle", from, to, reinterpret_cast<POINT*>(&mapped), 2);
        return mapped;
    }

    RECT Window::MapRectangle(HWND other, const RECT& rectangle) const
    {
        return MapWindowRectangle(m_handle, other, &rectangle);
    }

    RECT Window::MapRectangle(HWND other, LONG left, LONG top, LONG right, LONG bottom) const
    {
        return MapRectangle(other, RECT{left, top, right, bottom});
    }

    POINT Window::MapPoint(HWND other, const POINT& point) const
    {
        return MapWindowPoint(m_handle, other, &point);
    }

    POINT Window::MapPoint(HWND other, LONG x, LONG y) const
    {
        return MapPoint(other, POINT{x, y});
    }

    void Window::Attach(HWND handle) noexcept
    {
        m_handle = handle;
    }

    HWND Window::Detach() noexcept
    {
        HWND handle = m_handle;
        m_handle = nullptr;
        return handle;
    }

    bool Window::IsAttached() const noexcept
    {
        return m_handle != nullptr;
    }

    HWND Window::GetHandle() const noexcept
    {
        return m_handle;
    }

    int Window::GetControlID() const
    {
        const int id = ::GetDlgCtrlID(m_handle);
        if (id == 0)
        {
            TARN_THROW_WIN32(L"Tarn::Window::GetControlID", L"GetDlgCtrlID() failed. Error code: 0x{0:X}",
                             ::GetLastError());
        }
        return id;
    }

    LONG_PTR Window::GetWindowLongPtrW(int index) const
    {
        return ::GetWindowLongPtrW(m_handle, index);
    }

    LONG_PTR Window::SetWindowLongPtrW(int index, LONG_PTR value)
    {
        // A previous value of 0 is a success.
        return TARN_CALL_WIN32_FRESH(::SetWindowLongPtrW(m_handle, index, value), 0,
                                     L"Tarn::Window::SetWindowLongPtrW", L"SetWindowLongPtr() failed, error code 0x{0:X8}");
    }

    LONG_PTR Window::GetStyle() const
    {
        return GetWindowLongPtrW(GWL_STYLE);
    }

    LONG_PTR Window::SetStyle(LONG_PTR style)
    {
        return SetWindowLongPtrW(GWL_STYLE, style);
    }

    LONG_PTR Window::GetExtendedStyle() const
    {
        return GetWindowLongPtrW(GWL_EXSTYLE);
    }

    LONG_PTR Window::SetExtendedStyle(LONG_PTR style)
    {
        return SetWindowLongPtrW(GWL_EXSTYLE, style);
    }

    LONG_PTR Window::GetWindowProcedure() const
    {
        return GetWindowLongPtrW(GWLP_WNDPROC);
    }

    HWND Window::GetParent() const
    {
        return ::GetParent(m_handle);
    }

    HANDLE Window::GetProperty(const String& name) const
    {
        return ::GetPropW(m_handle, name.GetBuffer());
    }

    void Window::SetProperty(const String& name, HANDLE data)
    {
        if (!::SetPropW(m_handle, name.GetBuffer(), data))
        {
            ThrowLastError();
        }
    }

    HANDLE Window::RemoveProperty(const String& name)
    {
        return ::RemovePropW(m_handle, name.GetBuffer());
    }

    bool Window::IsEnabled() const
    {
        return ::IsWindowEnabled(m_handle) != FALSE;
    }

    bool Window::Enable(bool enable)
    {
        return ::EnableWindow(m_handle, enable ? TRUE : FALSE) != FALSE;
    }

    bool Window::IsVisible() const
    {
        return ::IsWindowVisible(m_handle) != FALSE;
    }

    void Window::Show(bool show)
    {
        ::ShowWindow(m_handle, show ? SW_SHOW : SW_HIDE);
    }

    bool Window::IsMinimized() const
    {
        return ::IsIconic(m_handle) != FALSE;
    }

    void Window::Minimize(bool minimize)
    {
        if (IsMinimized() != minimize)
        {
            ::ShowWindow(m_handle, minimize ? SW_MINIMIZE : SW_RESTORE);
        }
    }

    bool Window::IsMaximized() const
    {
        return ::IsZoomed(m_handle) != FALSE;
    }

    void Window::Maximize(bool maximize)
    {
        if (IsMaximized() != maximize)
        {
            ::ShowWindow(m_handle, maximize ? SW_MAXIMIZE : SW_RESTORE);
        }
    }

    bool Window::HasFocus() const
    {
        return ::GetFocus() == m_handle;
    }

    HWND Window::SetFocus()
    {
        // Null is also the answer when no window had the focus.
        return TARN_CALL_WIN32_FRESH_UNTRACED(::SetFocus(m_handle), nullptr);
    }

    bool Window::ShowWindow(int command)
    {
        return ::ShowWindow(m_handle, command) != FALSE;
    }

    void Window::ShowScrollBar(int bar, bool show)
    {
        if (!::ShowScrollBar(m_handle, bar, show ? TRUE : FALSE))
        {
            ThrowLastError();
        }
    }

    RECT Window::GetWindowRectangle() const
    {
        RECT rectangle;
        if (!::GetWindowRect(m_handle, &rectangle))
        {
            ThrowLastError();
        }
        return rectangle;
    }

    RECT Window::GetClientRectangle() const
    {
        RECT rectangle;
        if (!::GetClientRect(m_handle, &rectangle))
        {
            ThrowLastError();
        }
        return rectangle;
    }

    RECT Window::GetRectangleInParent() const
    {
        HWND parent = GetParent();
        if (parent == nullptr)
        {
            throw InvalidOperationException();
        }
        RECT rectangle = GetWindowRectangle();
        // Both corners in one call: in a mirrored (right-to-left) parent the mapping swaps left and
        // right, so that the result is still a rectangle in the parent's own client coordinates.
        // 0 is also the answer when no offset applies.
        TARN_CALL_WIN32_FRESH_UNTRACED(::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rectangle), 2), 0);
        return rectangle;
    }

    void Window::SetSize(int width, int height)
    {
        if (!::SetWindowPos(m_handle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOACTIVATE))
        {
            ThrowLastError();
        }
    }

    void Window::SetSize(const SIZE& size)
    {
        SetSize(size.cx, size.cy);
    }

    int Window::GetWidth() const
    {
        const RECT rectangle = GetWindowRectangle();
        return rectangle.right - rectangle.left;
    }

    void Window::SetWidth(int width)
    {
        SetSize(width, GetHeight());
    }

    int Window::GetHeight() const
    {
        const RECT rectangle = GetWindowRectangle();
        return rectangle.bottom - rectangle.top;
    }

    void Window::SetHeight(int height)
    {
        SetSize(GetWidth(), height);
    }

    void Window::MoveWindow(const RECT& rectangle, bool repaint)
    {
        MoveWindow(&rectangle, repaint);
    }

    void Window::MoveWindow(const RECT* rectangle, bool repaint)
    {
        if (rectangle == nullptr)
        {
            throw ArgumentException();
        }
        MoveWindow(rectangle->left, rectangle->top, rectangle->right - rectangle->left,
                   rectangle->bottom - rectangle->top, repaint);
    }

    void Window::MoveWindow(int x, int y, int width, int height, bool repaint)
    {
        if (!::MoveWindow(m_handle, x, y, width, height, repaint ? TRUE : FALSE))
        {
            ThrowLastError();
        }
    }

    String Window::GetCaption() const
    {
        const PCWSTR function = L"Tarn::Window::GetCaption";
        String caption(String::Empty);
        // A length of 0 is also the answer for a window without text, a text of 0 characters for
        // one whose text went meanwhile.
        const int length = TARN_CALL_WIN32_FRESH(::GetWindowTextLengthW(m_handle), 0, function,
                                                 L"GetWindowTextLength() failed. Error code: 0x{0:X}");
        if (length == 0)
        {
            return caption;
        }

        caption.Reserve(static_cast<UINT32>(length) + 1);
        TARN_CALL_WIN32_FRESH(::GetWindowTextW(m_handle, caption.GetBuffer(), static_cast<int>(caption.GetCapacity())), 0,
                              function, L"GetWindowText() failed. Error code: 0x{0:X}");
        return caption;
    }

    void Window::SetCaption(const String& caption)
    {
        if (!::SetWindowTextW(m_handle, caption.GetBuffer()))
        {
            TARN_THROW_WIN32(L"Tarn::Window::SetCaption", L"SetWindowText() failed. Error code: 0x{0:X}", ::GetLastError());
        }
    }

    Monitor Window::GetMonitor() const
    {
        HMONITOR monitor = ::MonitorFromWindow(m_handle, MONITOR_DEFAULTTONEAREST);
        if (monitor == nullptr)
        {
            TARN_THROW_WIN32(L"Tarn::Window::GetMonitor", L"MonitorFromWindow() failed. Error code: 0x{0:X}", ::GetLastError());
        }
        return Monitor(monitor);
    }

    POINT Window::GetCursorPos(bool clientCoordinates) const
    {
        POINT position;
        if (!::GetCursorPos(&position))
        {
            TARN_THROW_WIN32(L"Tarn::Window::GetCursorPos", L"GetCursorPos() failed. Error code: 0x{0:X}", ::GetLastError());
        }
        return clientCoordinates ? ScreenToClient(&position) : position;
    }

    GdiFont Window::GetFont() const
    {
        return GdiFont(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT, 0, 0)));
    }

    void Window::SetFont(HFONT font, bool redraw)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
    }

    void Window::SetFont(const GdiFont& font, bool redraw)
    {
        SetFont(font.GetHandle(), redraw);
    }

    void Window::Invalidate(bool erase)
    {
        if (!::InvalidateRect(m_handle, nullptr, erase ? TRUE : FALSE))
        {
            ThrowLastError();
        }
    }

    void Window::Update()
    {
        if (!::UpdateWindow(m_handle))
        {
            ThrowLastError();
        }
    }

    void Window::Destroy()
    {
        if (!::DestroyWindow(m_handle))
        {
            ThrowLastError();
        }
    }

    UINT_PTR Window::SetTimer(UINT_PTR id, UINT interval)
    {
        const UINT_PTR timer = ::SetTimer(m_handle, id, interval, nullptr);
        if (timer == 0)
        {
            ThrowLastError();
        }
        return timer;
    }

    void Window::KillTimer(UINT_PTR id)
    {
        if (!::KillTimer(m_handle, id))
        {
            ThrowLastError();
        }
    }

    bool Window::Animate(DWORD flags, DWORD duration)
    {
        return ::AnimateWindow(m_handle, duration, flags) != FALSE;
    }

    LRESULT Window::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        return ::SendMessageW(m_handle, message, wParam, lParam);
    }

    void Window::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
    {
        if (!::PostMessageW(m_handle, message, wParam, lParam))
        {
            ThrowLastError();
        }
    }

    void Window::SetWindowTheme(const String& subApplicationName)
    {
        const HRESULT result = ::SetWindowTheme(m_handle, subApplicationName.GetBuffer(), nullptr);
        if (FAILED(result))
        {
            TARN_THROW_HRESULT(L"Tarn::Window::SetWindowTheme", L"SetWindowTheme() failed, error code 0x{0:X8}", result);
        }
    }

    Theme Window::GetTheme() const
    {
        return Theme(::GetWindowTheme(m_handle));
    }
}
