#include "notificationwindow.h"

#include <stdexcept>

#include "hashmanager.h"

namespace DigestryTest
{
    namespace
    {
        const wchar_t ClassName[] = L"DigestryTestNotificationWindow";

        void RegisterClassOnce(WNDPROC windowProc)
        {
            static const ATOM atom = [windowProc] {
                WNDCLASSEXW windowClass = {};
                windowClass.cbSize = sizeof(windowClass);
                windowClass.lpfnWndProc = windowProc;
                windowClass.hInstance = ::GetModuleHandleW(nullptr);
                windowClass.lpszClassName = ClassName;
                return ::RegisterClassExW(&windowClass);
            }();
            if (atom == 0)
            {
                throw std::runtime_error("RegisterClassExW failed");
            }
        }
    }

    NotificationWindow::NotificationWindow()
    {
        RegisterClassOnce(&WindowProc);
        m_window = ::CreateWindowExW(0, ClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     ::GetModuleHandleW(nullptr), this);
        if (m_window == nullptr)
        {
            throw std::runtime_error("CreateWindowExW failed");
        }
    }

    NotificationWindow::~NotificationWindow()
    {
        ::DestroyWindow(m_window);
    }

    bool NotificationWindow::WaitForNotifications(size_t count, DWORD timeout)
    {
        const ULONGLONG deadline = ::GetTickCount64() + timeout;
        for (;;)
        {
            DispatchPending();
            if (m_notifications.size() >= count)
            {
                return true;
            }
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline)
            {
                return false;
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        }
    }

    void NotificationWindow::DispatchPending()
    {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    LRESULT CALLBACK NotificationWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
        {
            const CREATESTRUCTW* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        }
        else if (message == HashManager::CompletionMessage)
        {
            NotificationWindow* self = reinterpret_cast<NotificationWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
            self->m_notifications.push_back({wParam, lParam});
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}
