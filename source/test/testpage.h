#pragma once

// A page on the test template that records which of its operations ran, and that a test can make
// refuse deactivation or cancel, throw while its window is destroyed, or throw what is not a
// Tarn::Exception.

#include <windows.h>

#include <string>
#include <vector>

#include "propertypage.h"
#include "testsupport.h"

namespace DigestryTest
{
    class TestPage : public PropertyPage
    {
    public:
        // Destructor runs of every test page so far.
        static int destructions;

        TestPage();

        // The operations in the order they ran: "InitDialog", "Activate", "Deactivate", "Apply",
        // "Close", "QueryCancel", "Help", "Command <id> <code>", "Destroy".
        std::vector<std::string> calls;
        // Every message that reached the object.
        std::vector<UINT> messages;
        bool refuseDeactivation = false;
        bool refuseCancel = false;
        bool throwAtNcDestroy = false;
        // A message whose dispatch throws an UnexpectedFailure; 0 for none.
        UINT throwUnexpectedAt = 0;
        // AddRef throws an UnexpectedFailure.
        bool throwUnexpectedAtAddRef = false;
        // The dwSize of the descriptor that WM_INITDIALOG brought.
        DWORD descriptorSize = 0;

        LONG AddRef() override;

    protected:
        ~TestPage() override;

        INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;
        INT_PTR OnWmInitDialog() override;
        INT_PTR OnWmDestroy() override;
        void OnPageActivate() override;
        bool OnPageDeactivate() override;
        void OnPageApply() override;
        void OnPageClose() override;
        bool OnPageQueryCancel() override;
        void OnPageHelp() override;
        INT_PTR OnControlCommand(HWND control, UINT16 controlId, UINT16 notificationCode) override;
    };
}
