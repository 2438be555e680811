#pragma once

// A modeless property sheet that a test drives from its own thread, made by the comctl32 that the
// page frame loaded (so Create must have run on at least one page first).

#include <windows.h>

#include <prsht.h>

#include <string>
#include <vector>

namespace DigestryTest
{
    class TestSheet
    {
    public:
        // The sheet takes the page handles; the first page is shown.
        explicit TestSheet(const std::vector<HPROPSHEETPAGE>& pages);
        TestSheet(const TestSheet&) = delete;
        TestSheet& operator=(const TestSheet&) = delete;
        // Destroys the sheet, which lets its pages go.
        ~TestSheet();

        HWND GetHandle() const { return m_window; }
        // The page window shown now; null once the sheet has ended with OK or Cancel.
        HWND GetCurrentPage() const;
        // Asks the sheet to switch pages; false when it did not.
        bool SelectPage(int index);
        // PSBTN_OK, PSBTN_CANCEL, PSBTN_APPLYNOW, ...
        void PressButton(int button);
        // Dispatches the thread's queued messages.
        void Pump();

    private:
        HWND m_window;
    };

    // The file of the module whose code runs the window: for a control, the comctl32 or user32 that
    // made it.
    std::wstring GetWindowProcedureFile(HWND window);
}
