#pragma once

// A Properties dialog opened through the shell, driven from outside as a user would: through its
// tab control and its buttons.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "shellthread.h"

namespace ShellHost
{
    class PropertiesDialog
    {
    public:
        // Invokes "properties" on the items (one folder's selection) and waits until the dialog is
        // shown. Throws Failure when the shell refuses or no dialog comes within the time limit.
        PropertiesDialog(ShellThread& shell, std::vector<std::wstring> paths, DWORD timeoutMs);
        PropertiesDialog(const PropertiesDialog&) = delete;
        PropertiesDialog& operator=(const PropertiesDialog&) = delete;
        // A dialog still open is cancelled (a failure on the way must not leave it up).
        ~PropertiesDialog();

        HWND GetHandle() const { return m_sheet; }
        // The tabs' titles, in order.
        std::vector<std::wstring> GetPageTitles() const;
        // Clicks the tab of that title and returns the page window it brings forward. Throws
        // Failure when there is no such tab.
        HWND BringPageForward(const std::wstring& title);
        // Has the dialog paint itself and everything in it now, and waits until the dialog's thread
        // has been idle once since, which is when what it painted reaches the screen.
        void Repaint();
        // Presses Cancel and waits until the dialog is gone and the verb has returned. Throws
        // Failure when that does not happen within the time limit.
        void Cancel(DWORD timeoutMs);

    private:
        HWND GetTabControl() const;
        bool IsClosed() const;
        std::wstring Describe() const;

        std::shared_ptr<PropertiesRequest> m_request;
        HWND m_sheet;
    };
}
