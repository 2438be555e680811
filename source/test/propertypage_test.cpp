#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "commoncontrols.h"
#include "propertypage.h"
#include "tarnautoptr.h"
#include "tarnexception.h"
#include "tarntrace.h"
#include "testpage.h"
#include "testpageresources.h"
#include "testsheet.h"
#include "testsupport.h"

using DigestryTest::TestPage;
using DigestryTest::TestSheet;
using TarnTest::ThrownCode;

namespace
{
    const wchar_t ObjectPropertyName[] = L"_PropertyPageObjectPtr";
    // The folder of the common-controls 6.0 assembly, as the side-by-side store names it.
    const wchar_t CommonControls6Folder[] = L"microsoft.windows.common-controls_6595b64144ccf1df_6.0.";

    // A page object with its page handle made: it holds the creator's and the sheet's references.
    TestPage* CreatePage()
    {
        TestPage* page = new TestPage();
        page->Create();
        return page;
    }

    struct NotifyResult
    {
        INT_PTR result;
        LONG_PTR messageResult;
    };

    // The page's dialog procedure's answer to a notification from the window `from`, and the message
    // result it leaves, starting from 77. (Through the dialog manager, both would be overwritten.)
    NotifyResult Notify(HWND page, HWND from, int code, LPARAM lParam = 0)
    {
        ::SetWindowLongPtrW(page, DWLP_MSGRESULT, 77);
        PSHNOTIFY notification = {};
        notification.hdr.hwndFrom = from;
        notification.hdr.code = static_cast<UINT>(code);
        notification.lParam = lParam;
        const INT_PTR result =
            PropertyPage::StaticDialogProc(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notification));
        return {result, ::GetWindowLongPtrW(page, DWLP_MSGRESULT)};
    }

    bool IsCommonControls6(std::wstring file)
    {
        std::transform(file.begin(), file.end(), file.begin(), [](wchar_t c) { return std::towlower(c); });
        return file.find(CommonControls6Folder) != std::wstring::npos;
    }

    // Runs a helper executable beside this one; returns its exit code and what it printed.
    std::pair<int, std::string> RunHelper(const std::wstring& name)
    {
        FILE* const output = _wpopen((L"\"" + TarnTest::GetTestFolder() + name + L"\"").c_str(), L"r");
        std::string printed;
        char chunk[512];
        while (output != nullptr && std::fgets(chunk, sizeof(chunk), output) != nullptr)
        {
            printed += chunk;
        }
        return {output != nullptr ? _pclose(output) : -1, printed};
    }

    BOOL CALLBACK CountWindow(HWND window, LPARAM count)
    {
        ++*reinterpret_cast<size_t*>(count);
        ::EnumChildWindows(window, &CountWindow, count);
        return TRUE;
    }

    size_t CountThreadWindows()
    {
        size_t count = 0;
        ::EnumThreadWindows(::GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
        return count;
    }
}

class PropertyPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
        TestPage::destructions = 0;
    }

    void TearDown() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
};

TEST_F(PropertyPageTest, TheSheetKeepsItsPagesAliveUntilItLetsThemGo)
{
    // The creator keeps its reference on the shown page to look at it after the sheet; it lets the
    // other go as soon as the sheet has it.
    TestPage* const shown = CreatePage();
    shown->throwAtNcDestroy = true;
    TestPage* const neverShown = CreatePage();
    EXPECT_EQ(2, shown->GetReferenceCount());
    EXPECT_NE(nullptr, shown->GetPageHandle());
    EXPECT_EQ(Tarn::InvalidOperationException::Code, ThrownCode([shown] { shown->Create(); }));

    TarnTest::DebugOutputListener listener;
    {
        TestSheet sheet({shown->GetPageHandle(), neverShown->GetPageHandle()});
        neverShown->Release();
        EXPECT_EQ(1, neverShown->GetReferenceCount());
        EXPECT_EQ(nullptr, neverShown->GetWindowHandle());

        const HWND window = shown->GetWindowHandle();
        ASSERT_NE(nullptr, window);
        EXPECT_EQ(window, sheet.GetCurrentPage());
        EXPECT_EQ(shown, ::GetPropW(window, ObjectPropertyName));
        EXPECT_EQ(104u, shown->descriptorSize) << "the descriptor's current layout, header bitmap included";
        EXPECT_EQ(::GetDlgItem(window, IDC_TEST_EDIT), shown->GetDialogItemHandle(IDC_TEST_EDIT));
        EXPECT_TRUE(FAILED(ThrownCode([shown] { shown->GetDialogItemHandle(999); })));
        RECT client;
        ::GetClientRect(window, &client);
        EXPECT_EQ(client.bottom, shown->GetClientRectangle().GetRect().bottom);
        EXPECT_EQ(0, TestPage::destructions);
    }

    EXPECT_EQ(1, TestPage::destructions) << "the page never shown goes with the sheet";
    EXPECT_EQ(WM_NCDESTROY, shown->messages.back());
    EXPECT_EQ(1u, listener.GetLinesContaining("PropertyPage::StaticDialogProc(): Unhandled exception. Error message: ")
                      .size());
    EXPECT_EQ(nullptr, shown->GetWindowHandle()) << "unbound although the handler threw";
    EXPECT_EQ(nullptr, shown->GetPageHandle());
    EXPECT_EQ(1, shown->GetReferenceCount());
    shown->Release();
    EXPECT_EQ(2, TestPage::destructions) << "exactly once each";
}

TEST_F(PropertyPageTest, AnythingThrownButATarnExceptionIsTracedAndAnsweredZeroByBothCallbacks)
{
    TestPage* const page = CreatePage();
    TestSheet sheet({page->GetPageHandle()});
    page->Release();
    const HWND window = page->GetWindowHandle();
    TarnTest::DebugOutputListener listener;

    page->throwUnexpectedAt = WM_APP + 1;
    EXPECT_EQ(0, ::SendMessageW(window, WM_APP + 1, 0, 0));
    page->throwUnexpectedAtAddRef = true;
    PROPSHEETPAGEW descriptor = {};
    descriptor.lParam = reinterpret_cast<LPARAM>(page);
    EXPECT_EQ(0u, PropertyPage::StaticCallbackProc(nullptr, PSPCB_ADDREF, &descriptor));
    page->throwUnexpectedAtAddRef = false;

    for (const char* function : {"PropertyPage::StaticDialogProc", "PropertyPage::StaticCallbackProc"})
    {
        EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "propertypage", function, "Unexpected exception caught"))
            << function;
    }
    EXPECT_EQ(1, page->GetReferenceCount()) << "only the sheet's";
    EXPECT_EQ(page, ::GetPropW(window, ObjectPropertyName)) << "the page stays bound";
    EXPECT_EQ(1, Notify(window, sheet.GetHandle(), PSN_SETACTIVE).result) << "and keeps working";
}

TEST_F(PropertyPageTest, DestroyGivesBackAPageHandleThatNoSheetTook)
{
    Tarn::AutoRefCountPtr<TestPage> page(new TestPage());
    EXPECT_EQ(Tarn::InvalidOperationException::Code, ThrownCode([&page] { page->Destroy(); }));

    page->Create();
    page->Destroy();
    EXPECT_EQ(nullptr, page->GetPageHandle());
    EXPECT_EQ(1, page->GetReferenceCount());
    EXPECT_EQ(Tarn::InvalidOperationException::Code, ThrownCode([&page] { page->Destroy(); }));
    EXPECT_EQ(0, TestPage::destructions);
}

TEST_F(PropertyPageTest, MessagesBeforeInitDialogAreAnsweredZeroAndNotDispatched)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    TarnTest::DebugOutputListener listener;
    TestPage* const page = CreatePage();
    TestSheet sheet({page->GetPageHandle()});
    page->Release();

    // The dialog's font arrives before WM_INITDIALOG.
    EXPECT_EQ(1u, listener.GetLinesContaining("Message 0x30 to window 0x").size());
    ASSERT_FALSE(page->messages.empty());
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), page->messages.front());

    // A descriptor without an object binds nothing.
    const HWND stray = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    PROPSHEETPAGEW descriptor = {};
    EXPECT_EQ(0, PropertyPage::StaticDialogProc(stray, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&descriptor)));
    EXPECT_EQ(nullptr, ::GetPropW(stray, ObjectPropertyName));
    ::DestroyWindow(stray);
}

TEST_F(PropertyPageTest, SheetNotificationsReachTheirOperationsWithTheirMessageResults)
{
    TestPage* const page = CreatePage();
    TestSheet sheet({page->GetPageHandle()});
    page->Release();
    const HWND window = page->GetWindowHandle();
    const HWND edit = ::GetDlgItem(window, IDC_TEST_EDIT);
    page->calls.clear();

    const auto expect = [page](NotifyResult actual, INT_PTR result, LONG_PTR messageResult,
                               std::vector<std::string> calls) {
        EXPECT_EQ(result, actual.result);
        EXPECT_EQ(messageResult, actual.messageResult);
        EXPECT_EQ(calls, page->calls);
        page->calls.clear();
    };
    expect(Notify(window, sheet.GetHandle(), PSN_SETACTIVE), 1, 0, {"Activate"});
    expect(Notify(window, sheet.GetHandle(), PSN_KILLACTIVE), 1, FALSE, {"Deactivate"});
    page->refuseDeactivation = true;
    expect(Notify(window, sheet.GetHandle(), PSN_KILLACTIVE), 1, TRUE, {"Deactivate"});
    expect(Notify(window, sheet.GetHandle(), PSN_APPLY, 0), 1, PSNRET_NOERROR, {"Apply"});
    expect(Notify(window, sheet.GetHandle(), PSN_APPLY, 1), 1, PSNRET_NOERROR, {"Apply", "Close"});
    expect(Notify(window, sheet.GetHandle(), PSN_QUERYCANCEL), 1, FALSE, {"QueryCancel"});
    page->refuseCancel = true;
    expect(Notify(window, sheet.GetHandle(), PSN_QUERYCANCEL), 1, TRUE, {"QueryCancel"});
    expect(Notify(window, sheet.GetHandle(), PSN_HELP), 0, 77, {"Help"});
    expect(Notify(window, sheet.GetHandle(), PSN_RESET), 0, 77, {});
    // Only the sheet's notifications count; a control's with the same code does nothing.
    expect(Notify(window, edit, PSN_SETACTIVE), 0, 77, {});

    EXPECT_EQ(0, PropertyPage::StaticDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_TEST_EDIT, EN_CHANGE), 0));
    EXPECT_TRUE(page->calls.empty()) << "menu and accelerator commands carry no control";
    PropertyPage::StaticDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_TEST_EDIT, EN_CHANGE),
                                   reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(std::vector<std::string>{"Command 1002 768"}, page->calls);
}

TEST_F(PropertyPageTest, TheSheetHonoursAPageThatRefusesDeactivationOrCancel)
{
    TestPage* const page = CreatePage();
    TestPage* const other = CreatePage();
    TestSheet sheet({page->GetPageHandle(), other->GetPageHandle()});
    page->Release();
    other->Release();
    const HWND window = page->GetWindowHandle();

    page->refuseDeactivation = true;
    sheet.SelectPage(1);
    EXPECT_EQ(window, sheet.GetCurrentPage());
    page->refuseCancel = true;
    sheet.PressButton(PSBTN_CANCEL);
    EXPECT_EQ(window, sheet.GetCurrentPage());

    page->refuseDeactivation = false;
    page->calls.clear();
    sheet.PressButton(PSBTN_OK);
    EXPECT_EQ(nullptr, sheet.GetCurrentPage()) << "the sheet has ended";
    EXPECT_EQ((std::vector<std::string>{"Deactivate", "Apply", "Close"}), page->calls);
}

TEST_F(PropertyPageTest, PagesAreMadeWithCommonControls6WithOrWithoutAHostManifest)
{
    TestPage* const page = CreatePage();
    TestSheet sheet({page->GetPageHandle()});
    page->Release();
    const HWND link = ::GetDlgItem(page->GetWindowHandle(), IDC_TEST_LINK);
    ASSERT_NE(nullptr, link);
    wchar_t className[32] = L"";
    ::GetClassNameW(link, className, ARRAYSIZE(className));
    EXPECT_STREQ(L"SysLink", className);
    EXPECT_TRUE(IsCommonControls6(DigestryTest::GetWindowProcedureFile(link)));
    // Every class bit, as the extension asks for them.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFFFF};
    EXPECT_TRUE(CommonControls::InitCommonControlsEx(controls));

    // The page in a DLL of its own, as the shell loads it, in a host without and with a manifest.
    for (const wchar_t* host : {L"digestry_pagehost.exe", L"digestry_pagehost_manifest.exe"})
    {
        const std::pair<int, std::string> run = RunHelper(host);
        EXPECT_EQ(0, run.first) << run.second;
        const std::wstring printed(run.second.begin(), run.second.end());
        EXPECT_TRUE(IsCommonControls6(printed)) << run.second;
    }
}

TEST_F(PropertyPageTest, ShowingAndClosingSheetsLeaksNothing)
{
    const auto cycle = [] {
        TestPage* const page = CreatePage();
        TestSheet sheet({page->GetPageHandle()});
        page->Release();
    };
    for (int warmUp = 0; warmUp < 10; ++warmUp)
    {
        cycle();
    }
    const size_t handlesBefore = TarnTest::CountOpenHandles();
    const size_t windowsBefore = CountThreadWindows();

    const size_t heapGrowth = TarnTest::MeasureHeapGrowth(cycle, 200);

    EXPECT_LE(TarnTest::CountOpenHandles(), handlesBefore);
    EXPECT_LE(CountThreadWindows(), windowsBefore);
    // Every heap block takes at least 16 bytes, so anything left behind per cycle grows the heap by
    // 200 blocks or more; what the dialog manager keeps from the first sheets on does not grow with
    // the cycles, and the growth is measured as the least of several runs.
    EXPECT_LT(heapGrowth, 200u * 16u);
}
