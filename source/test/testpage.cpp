#include "testpage.h"

#include "tarnexception.h"
#include "testpageresources.h"

namespace DigestryTest
{
    int TestPage::destructions = 0;

    TestPage::TestPage() : PropertyPage(IDD_TEST_PAGE, ::GetModuleHandleW(nullptr))
    {
    }

    TestPage::~TestPage()
    {
        ++destructions;
    }

    LONG TestPage::AddRef()
    {
        if (throwUnexpectedAtAddRef)
        {
            throw TarnTest::UnexpectedFailure();
        }
        return PropertyPage::AddRef();
    }

    INT_PTR TestPage::DialogProc(UINT message, WPARAM wParam, LPARAM lParam)
    {
        messages.push_back(message);
        if (message == WM_INITDIALOG)
        {
            descriptorSize = reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->dwSize;
        }
        if (message == WM_NCDESTROY && throwAtNcDestroy)
        {
            throw Tarn::InvalidOperationException();
        }
        if (message == throwUnexpectedAt)
        {
            throw TarnTest::UnexpectedFailure();
        }
        return PropertyPage::DialogProc(message, wParam, lParam);
    }

    INT_PTR TestPage::OnWmInitDialog()
    {
        calls.push_back("InitDialog");
        return PropertyPage::OnWmInitDialog();
    }

    INT_PTR TestPage::OnWmDestroy()
    {
        calls.push_back("Destroy");
        return PropertyPage::OnWmDestroy();
    }

    void TestPage::OnPageActivate()
    {
        calls.push_back("Activate");
    }

    bool TestPage::OnPageDeactivate()
    {
        calls.push_back("Deactivate");
        return !refuseDeactivation;
    }

    void TestPage::OnPageApply()
    {
        calls.push_back("Apply");
    }

    void TestPage::OnPageClose()
    {
        calls.push_back("Close");
    }

    bool TestPage::OnPageQueryCancel()
    {
        calls.push_back("QueryCancel");
        return !refuseCancel;
    }

    void TestPage::OnPageHelp()
    {
        calls.push_back("Help");
    }

    INT_PTR TestPage::OnControlCommand(HWND, UINT16 controlId, UINT16 notificationCode)
    {
        calls.push_back("Command " + std::to_string(controlId) + " " + std::to_string(notificationCode));
        return 0;
    }
}
