#pragma once

// A message-only window on the calling thread that records the hash manager's completion
// messages as the digest page would receive them.

#include <windows.h>

#include <vector>

namespace DigestryTest
{
    class NotificationWindow
    {
    public:
        struct Notification
        {
            WPARAM kind;
            LPARAM algorithm;
        };

        NotificationWindow();
        NotificationWindow(const NotificationWindow&) = delete;
        NotificationWindow& operator=(const NotificationWindow&) = delete;
        ~NotificationWindow();

        HWND GetHandle() const { return m_window; }
        // Runs this thread's message loop until count notifications have been received in all, or
        // the time-out has passed; returns whether they arrived.
        bool WaitForNotifications(size_t count, DWORD timeout);
        // Dispatches what is queued now, without waiting.
        void DispatchPending();
        const std::vector<Notification>& GetNotifications() const { return m_notifications; }
        void Clear() { m_notifications.clear(); }

    private:
        static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

        HWND m_window;
        std::vector<Notification> m_notifications;
    };
}
