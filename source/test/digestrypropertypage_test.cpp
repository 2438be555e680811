#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "digestrylibrary.h"
#include "digestryversion.h"
#include "knownanswers.h"
#include "resource.h"
#include "testfiles.h"
#include "testsupport.h"

using DigestryTest::DigestSheet;
using DigestryTest::TemporaryFile;

namespace
{
    const wchar_t* const Computing = DigestSheet::Computing;
    const wchar_t ErrorIntroduction[] = L"An error occurred while computing the checksum.\r\n\r\n";
    const uint64_t LargeSize = 64 << 20;
    // Long enough to see "Computing..." whatever else the machine is doing, short enough to wait for.
    const uint64_t ZerosSize = 256 << 20;
    const wchar_t ZerosMd5[] = L"1f5039e50bd66b290c56684d8550c6c2";
    // How the link's text begins: the build's version in three parts, as the page shows it.
    const std::wstring LinkIntroduction = L"Digestry version " + std::to_wstring(DIGESTRY_VERSION_MAJOR) + L"." +
                                          std::to_wstring(DIGESTRY_VERSION_MINOR) + L"." +
                                          std::to_wstring(DIGESTRY_VERSION_BUILD);

    // The digests of TemporaryFile::OfSize files as coreutils' md5sum, sha1sum, sha256sum, sha384sum
    // and sha512sum give them, in the order of the known answers.
    struct SizedFileDigests
    {
        uint64_t size;
        const char* digests[5];
    };

    const SizedFileDigests CoreutilsDigests[] = {
        {16383,
         {"0b4b346da71d6a151ccb148f69be9f0d", "38a537e7b5a54b8f136e6cbcbea596f689ceab37",
          "5f9b400de58865b2b60ad10a41978aa0853a67c9a76cc4b4de373abb79a77591",
          "0caa91123e87b840adbb4917de5ac439e6928f2da3fdac3bb264b79322ac6a9179cb566ce997f0933ed7c9cfd595a19d",
          "492118683a347adf213572a36f14f1e6b3c3e5020788519dcedc902bd138fd80"
          "17dbb51034431a6a9550c629b489eb37f861f735b8aeef590c5f3fa37c44695c"}},
        {16384,
         {"fe42d47be1c3db2593515143933c0c6a", "2f7ffe03be27340bfe51230671ef3dd81270beed",
          "9e413929743023bc66f0344f4d8d9495d373fb756a22cdbf07c7955ac6fa81a6",
          "0b5c4b371b4464fa6269bdaad27459a19220686950534f31227cde8ee587acae885d111f34ede3e7d60b39ef76b3c042",
          "c1deba8a924b7f805efc2b35092c5ac5e4aa4cd5617511e1fdfe47285f1e2100"
          "846d77b8f2b0271093ce69763d4d70e71679059cea00d74146533f0681bc3466"}},
        {16385,
         {"a24882101d5d2d6e1c65af661cd8bd9b", "fb2cd0b66664bfdd57757193ed07917ddb9601b0",
          "bb6d3880fb9a03c53a58d4377a8c4a6b90af6fe9b7de89417b94889da4524f28",
          "ccb78189fb8fbb800fd6599ff8baa4bf9bb770890b295e696776d11a80bc182a3317904c844cec276d86eedb87f4813a",
          "8f47124614ff31c885798010929ff5c2e66bdd209fd469307efb900ae45cdeab"
          "7c98c47db4181a94b98b35d3b8ab952de12d513d34546b0bafc3104301d39434"}},
        {LargeSize,
         {"57678266d8ae12ecd279ad9ff33f42d7", "a0040b3e89e9201a5690ff66dae228667a0f011e",
          "c080600c389fcdb978e556b9a918631327e05928cb8b7dd084542be4da3df232",
          "4ee83100347b0105efb4f7485fe016abbbe06c9fbda547ed50637c81933e7df00f80c0fd6064c44370def4259eadd518",
          "29bf592b88af6111832c80c715187d92e4d482a58f801eb56f5cc939a8811527"
          "fb7580ab91720a9f89ec131bf015865a5ae09de5e0f52f9ebb431f4be2fe9bbf"}},
    };

    std::wstring Wide(const std::string& text)
    {
        return std::wstring(text.begin(), text.end());
    }

    // One published digest per algorithm, in the order of the known answers.
    std::vector<std::string> Published(const char* CryptoTest::KnownAnswer::*message)
    {
        std::vector<std::string> digests;
        for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
        {
            digests.push_back(answer.*message);
        }
        return digests;
    }

    // The system's own text for the error, without its line break.
    std::wstring SystemDescription(DWORD error)
    {
        wchar_t text[512] = L"";
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                         ARRAYSIZE(text), nullptr);
        std::wstring description(text);
        return description.substr(0, description.find_last_not_of(L"\r\n ") + 1);
    }

    std::wstring Upper(std::wstring text)
    {
        ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
        return text;
    }

    // The control's rectangle in the page's client coordinates.
    RECT ControlRectangle(HWND page, int id)
    {
        RECT rectangle;
        ::GetWindowRect(::GetDlgItem(page, id), &rectangle);
        ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rectangle), 2);
        return rectangle;
    }

    // A point on the first link element of the SysLink control.
    POINT LinkPoint(HWND link)
    {
        RECT client;
        ::GetClientRect(link, &client);
        LHITTESTINFO hit = {};
        for (hit.pt.y = client.bottom / 2, hit.pt.x = client.right - 1; hit.pt.x > 0; --hit.pt.x)
        {
            if (::SendMessageW(link, LM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)))
            {
                break;
            }
        }
        return hit.pt;
    }

    void SetLinkUrl(HWND link, const wchar_t* url)
    {
        LITEM item = {};
        item.mask = LIF_ITEMINDEX | LIF_URL;
        ::lstrcpynW(item.szUrl, url, L_MAX_URL_LENGTH);
        ::SendMessageW(link, LM_SETITEM, 0, reinterpret_cast<LPARAM>(&item));
    }

    // Windows 8's EVENT_OBJECT_LIVEREGIONCHANGED, which the headers for Windows 7 lack.
    const DWORD LiveRegionChanged = 0x8019;

    // The controls (by ID) that raised the live-region event on this thread, seen by an out-of-context
    // hook as a screen reader sees them: the hook is called while the thread dispatches messages.
    class LiveRegionEvents
    {
    public:
        LiveRegionEvents()
            : m_hook(::SetWinEventHook(LiveRegionChanged, LiveRegionChanged, nullptr, &Record, ::GetCurrentProcessId(),
                                       ::GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT))
        {
            s_raised.clear();
        }
        LiveRegionEvents(const LiveRegionEvents&) = delete;
        LiveRegionEvents& operator=(const LiveRegionEvents&) = delete;
        ~LiveRegionEvents() { ::UnhookWinEvent(m_hook); }

        bool IsHooked() const { return m_hook != nullptr; }

        // Those raised since the last call, in order, once the sheet's messages have run.
        std::vector<int> Take(DigestSheet& sheet)
        {
            sheet.GetSheet().Pump();
            return std::exchange(s_raised, {});
        }

    private:
        static void CALLBACK Record(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD)
        {
            if (object == OBJID_CLIENT && child == CHILDID_SELF)
            {
                s_raised.push_back(::GetDlgCtrlID(window));
            }
        }

        static std::vector<int> s_raised;
        HWINEVENTHOOK m_hook;
    };

    std::vector<int> LiveRegionEvents::s_raised;

    // UIA's LiveSetting property and its polite value, as Windows 8's headers give them.
    const GUID LiveSettingProperty = {0xC12BCD8E, 0x2A8E, 0x4950, {0x8A, 0xE7, 0x36, 0x25, 0x11, 0x1D, 0x58, 0xEB}};
    const LONG PoliteLiveSetting = 1;

    // The accessibility server's annotation service as Windows 8 offers it, which Wine's does not (it
    // answers E_NOTIMPL): registered on this thread in place of the system's, it records the live
    // settings the page gives and takes back, or refuses to be made or to take one.
    class AnnotationService final : public IAccPropServices, public IClassFactory
    {
    public:
        AnnotationService(HRESULT createAnswer, HRESULT markAnswer)
            : m_createAnswer(createAnswer), m_markAnswer(markAnswer), m_cookie(0)
        {
            ::CoRegisterClassObject(CLSID_AccPropServices, static_cast<IClassFactory*>(this), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &m_cookie);
        }
        AnnotationService(const AnnotationService&) = delete;
        AnnotationService& operator=(const AnnotationService&) = delete;
        ~AnnotationService() { ::CoRevokeClassObject(m_cookie); }

        bool IsRegistered() const { return m_cookie != 0; }

        // By control ID: the live settings given, and the controls whose setting was taken back while
        // they still existed.
        std::vector<std::pair<int, LONG>> marked;
        std::vector<int> cleared;

        // The test owns the object: COM's references do not count.
        HRESULT WINAPI QueryInterface(REFIID iid, void** object) override
        {
            *object = nullptr;
            if (iid == IID_IClassFactory)
            {
                *object = static_cast<IClassFactory*>(this);
            }
            else if (iid == IID_IUnknown || iid == IID_IAccPropServices)
            {
                *object = static_cast<IAccPropServices*>(this);
            }
            return *object != nullptr ? S_OK : E_NOINTERFACE;
        }
        ULONG WINAPI AddRef() override { return 2; }
        ULONG WINAPI Release() override { return 1; }

        HRESULT WINAPI CreateInstance(IUnknown*, REFIID iid, void** object) override
        {
            *object = nullptr;
            return FAILED(m_createAnswer) ? m_createAnswer : QueryInterface(iid, object);
        }
        HRESULT WINAPI LockServer(BOOL) override { return S_OK; }

        HRESULT WINAPI SetHwndProp(HWND window, DWORD object, DWORD child, MSAAPROPID property, VARIANT value) override
        {
            if (SUCCEEDED(m_markAnswer) && object == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF &&
                property == LiveSettingProperty && value.vt == VT_I4)
            {
                marked.emplace_back(::GetDlgCtrlID(window), value.lVal);
            }
            return m_markAnswer;
        }
        HRESULT WINAPI ClearHwndProps(HWND window, DWORD object, DWORD child, const MSAAPROPID* properties,
                                      int count) override
        {
            if (::IsWindow(window) && object == static_cast<DWORD>(OBJID_CLIENT) && child == CHILDID_SELF &&
                std::find(properties, properties + count, LiveSettingProperty) != properties + count)
            {
                cleared.push_back(::GetDlgCtrlID(window));
            }
            return S_OK;
        }

        HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
        HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
        {
            return E_NOTIMPL;
        }
        HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
        HRESULT WINAPI SetHwndPropStr(HWND, DWORD, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
        HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
        {
            return E_NOTIMPL;
        }
        HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
        HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override
        {
            return E_NOTIMPL;
        }
        HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
        HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
        HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
        {
            return E_NOTIMPL;
        }
        HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
        HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
        HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override
        {
            return E_NOTIMPL;
        }

    private:
        const HRESULT m_createAnswer;
        const HRESULT m_markAnswer;
        DWORD m_cookie;
    };

    // The name a screen reader gives the control, as the accessibility server answers for it.
    std::wstring AccessibleName(HWND control)
    {
        Tarn::Com::ComAutoPtr<IAccessible> accessible;
        VARIANT self = {};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                reinterpret_cast<void**>(accessible.GetAddress()))) ||
            accessible->get_accName(self, &name) != S_OK)
        {
            return L"(no name)";
        }
        const std::wstring text(name, ::SysStringLen(name));
        ::SysFreeString(name);
        return text;
    }

    // The first line of the file once it has one; the file is then deleted.
    std::string WaitForFileText(const std::wstring& path)
    {
        char text[256] = "";
        TarnTest::WaitUntil([&path, &text] {
            if (FILE* file = _wfopen(path.c_str(), L"r"))
            {
                std::fgets(text, sizeof(text), file);
                std::fclose(file);
            }
            return text[0] != '\0';
        });
        ::DeleteFileW(path.c_str());
        return text;
    }
}

// The page of the DLL in a sheet of the test process, read and driven through its controls.
class DigestPageTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_library = new DigestryTest::DigestryLibrary();
        s_large = new TemporaryFile(TemporaryFile::OfSize(LargeSize));
        s_zeros = new TemporaryFile(TemporaryFile::Sparse(ZerosSize));
    }

    static void TearDownTestSuite()
    {
        delete s_zeros;
        delete s_large;
        delete s_library;
    }

    static std::wstring LargeDigest(size_t algorithmIndex)
    {
        return Wide(CoreutilsDigests[3].digests[algorithmIndex]);
    }

    static DigestryTest::DigestryLibrary* s_library;
    static TemporaryFile* s_large;
    static TemporaryFile* s_zeros;
};

DigestryTest::DigestryLibrary* DigestPageTest::s_library = nullptr;
TemporaryFile* DigestPageTest::s_large = nullptr;
TemporaryFile* DigestPageTest::s_zeros = nullptr;

TEST_F(DigestPageTest, ComputesNothingUntilFirstShownThenShowsComputingAndTheMd5Digest)
{
    const TemporaryFile abc("abc");
    DigestSheet sheet(*s_library, {abc.GetPath(), s_zeros->GetPath()});

    const HANDLE exclusive = ::CreateFileW(s_zeros->GetPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive) << "no page has opened the file";
    ::CloseHandle(exclusive);

    ASSERT_TRUE(sheet.GetSheet().SelectPage(1));
    EXPECT_EQ(L"MD5", sheet.GetText(IDC_ALGORITHM_COMBO));
    EXPECT_EQ(Computing, sheet.GetText(IDC_DIGEST_EDIT));
    EXPECT_EQ(L"", sheet.GetText(IDC_COMPARE_RESULT));
    EXPECT_EQ(ZerosMd5, sheet.WaitForDigest());
}

TEST_F(DigestPageTest, ShowsThePublishedAndCoreutilsDigestsOfEveryFileAndTracesNothing)
{
    const TemporaryFile empty("");
    const TemporaryFile abc("abc");
    const TemporaryFile named("abc", L"digestry-pr\u00fcfsumme-\u6570\u636e.txt");
    std::vector<std::pair<std::wstring, std::vector<std::string>>> files = {
        {empty.GetPath(), Published(&CryptoTest::KnownAnswer::empty)},
        {abc.GetPath(), Published(&CryptoTest::KnownAnswer::abc)},
        {named.GetPath(), Published(&CryptoTest::KnownAnswer::abc)},
    };
    std::vector<TemporaryFile> sized;
    for (const SizedFileDigests& reference : CoreutilsDigests)
    {
        if (reference.size != LargeSize)
        {
            sized.push_back(TemporaryFile::OfSize(reference.size));
        }
        files.emplace_back(reference.size == LargeSize ? s_large->GetPath() : sized.back().GetPath(),
                           std::vector<std::string>(std::begin(reference.digests), std::end(reference.digests)));
    }
    TarnTest::DebugOutputListener listener;

    for (const auto& file : files)
    {
        DigestSheet sheet(*s_library, {file.first});
        for (size_t algorithm = 0; algorithm < file.second.size(); ++algorithm)
        {
            const char* const name = CryptoTest::KnownAnswers()[algorithm].name;
            SCOPED_TRACE(std::string(file.first.begin(), file.first.end()) + " " + name);
            sheet.SelectAlgorithm(Wide(name));
            EXPECT_EQ(Wide(file.second[algorithm]), sheet.WaitForDigest());
        }
    }
    EXPECT_TRUE(listener.GetLines().empty()) << "the DLL traces errors only";
}

TEST_F(DigestPageTest, ReturningToAFinishedAlgorithmShowsItAtOnceAndOtherCompletionsChangeNothing)
{
    DigestSheet sheet(*s_library, {s_large->GetPath()});
    EXPECT_EQ(LargeDigest(0), sheet.WaitForDigest());
    sheet.SelectAlgorithm(L"SHA-256");
    EXPECT_EQ(Computing, sheet.GetText(IDC_DIGEST_EDIT));
    EXPECT_EQ(LargeDigest(2), sheet.WaitForDigest());

    sheet.SelectAlgorithm(L"MD5");
    EXPECT_EQ(LargeDigest(0), sheet.GetText(IDC_DIGEST_EDIT)) << "shown without computing again";
    sheet.SelectAlgorithm(L"SHA-256");
    EXPECT_EQ(LargeDigest(2), sheet.GetText(IDC_DIGEST_EDIT));

    // The completion of MD5 as the engine posts it, arriving while SHA-1 is selected.
    sheet.SelectAlgorithm(L"SHA-1");
    ::PostMessageW(sheet.GetPage(), WM_APP, 0, 1);
    sheet.GetSheet().Pump();
    EXPECT_NE(LargeDigest(0), sheet.GetText(IDC_DIGEST_EDIT));
    EXPECT_EQ(LargeDigest(1), sheet.WaitForDigest());
}

TEST_F(DigestPageTest, ComparesLetterCaseBlindButLineBreaksCountAndOnlyWithADigestShown)
{
    DigestSheet sheet(*s_library, {s_zeros->GetPath()});
    sheet.PasteExpected(ZerosMd5);
    EXPECT_EQ(L"", sheet.GetText(IDC_COMPARE_RESULT)) << "nothing to compare with while computing";
    sheet.WaitForDigest();
    EXPECT_EQ(L"Checksum match", sheet.GetText(IDC_COMPARE_RESULT));

    sheet.PasteExpected(Upper(ZerosMd5));
    EXPECT_EQ(L"Checksum match", sheet.GetText(IDC_COMPARE_RESULT));
    sheet.PasteExpected(std::wstring(ZerosMd5) + L"\r\n");
    EXPECT_EQ(L"Checksum mismatch", sheet.GetText(IDC_COMPARE_RESULT));
    sheet.PasteExpected(L"");
    EXPECT_EQ(L"", sheet.GetText(IDC_COMPARE_RESULT));
}

TEST_F(DigestPageTest, UnreadableFilesShowTheSystemsReasonAgainOnReselectWithoutANewAttempt)
{
    std::wstring missing;
    {
        const TemporaryFile gone("");
        missing = gone.GetPath();
    }
    const TemporaryFile locked("locked");
    HANDLE exclusive =
        ::CreateFileW(locked.GetPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    TarnTest::DebugOutputListener listener;
    DigestSheet sheet(*s_library, {missing, locked.GetPath()});

    const DWORD errors[] = {ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION};
    std::wstring reasons[2];
    for (int page = 0; page < 2; ++page)
    {
        SCOPED_TRACE(page);
        ASSERT_TRUE(sheet.GetSheet().SelectPage(page));
        reasons[page] = sheet.WaitForDigest();
        EXPECT_EQ(0u, reasons[page].find(ErrorIntroduction));
        EXPECT_NE(std::wstring::npos, reasons[page].find(SystemDescription(errors[page])));
        sheet.PasteExpected(L"abc");
        EXPECT_EQ(L"", sheet.GetText(IDC_COMPARE_RESULT));
    }

    // Readable now: a retry would succeed.
    const TemporaryFile created("abc", missing.substr(missing.rfind(L'\\') + 1));
    ::CloseHandle(exclusive);
    for (int page = 0; page < 2; ++page)
    {
        SCOPED_TRACE(page);
        ASSERT_TRUE(sheet.GetSheet().SelectPage(page));
        sheet.SelectAlgorithm(L"SHA-1");
        sheet.SelectAlgorithm(L"MD5");
        EXPECT_EQ(reasons[page], sheet.GetText(IDC_DIGEST_EDIT));
    }

    // Each failed opening, once: where it failed and where the computation caught it.
    const std::string lockedPath(locked.GetPath().begin(), locked.GetPath().end());
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarnfile", "Tarn::Io::File::Create",
                                            "CreateFile() failed for file \"" + lockedPath +
                                                "\", GetLastError() returns 0x00000020"));
    EXPECT_EQ(1u, listener
                      .GetLinesContaining(") ComputeHashOperation::Start(): Exception caught. Error code: 0x80070020, "
                                          "Description: ")
                      .size());
    EXPECT_EQ(4u, listener.GetLines().size()) << "the same two lines for the missing file";
}

TEST_F(DigestPageTest, ClosingWhileTheFileNeverAnswersEndsTheComputation)
{
    DigestryTest::SilentPipe pipe;
    {
        DigestSheet sheet(*s_library, {pipe.GetPath()});
        EXPECT_EQ(Computing, sheet.GetText(IDC_DIGEST_EDIT));
        ASSERT_TRUE(pipe.Feed()) << "the page reads the file";
        sheet.GetSheet().Pump();
        EXPECT_EQ(Computing, sheet.GetText(IDC_DIGEST_EDIT));
    }
    EXPECT_FALSE(pipe.WatchdogFired()) << "the sheet closed only because the pipe was disconnected";
}

TEST_F(DigestPageTest, TheLinkShowsTheVersionAndOpensItsAddressWhenClickedOrEntered)
{
    // A URL scheme whose "open" command writes the URL it was given into the marker file.
    const std::wstring scheme = L"digestry-test-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring marker = TemporaryFile("").GetPath();
    const std::wstring command = L"cmd.exe /c echo %1>\"" + marker + L"\"";
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CLASSES_ROOT, (scheme + L"\\shell\\open\\command").c_str(), nullptr,
                                               REG_SZ, command.c_str(),
                                               static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))));
    ::RegSetKeyValueW(HKEY_CLASSES_ROOT, scheme.c_str(), L"URL Protocol", REG_SZ, L"", sizeof(wchar_t));

    const TemporaryFile abc("abc");
    DigestSheet sheet(*s_library, {abc.GetPath()});
    const std::wstring text = sheet.GetText(IDC_ABOUT_LINK);
    EXPECT_EQ(0u, text.find(LinkIntroduction)) << std::string(text.begin(), text.end());
    EXPECT_GT(text.size(), LinkIntroduction.size());

    const HWND link = ::GetDlgItem(sheet.GetPage(), IDC_ABOUT_LINK);
    const POINT point = LinkPoint(link);
    ASSERT_GT(point.x, 0);
    SetLinkUrl(link, (scheme + L":clicked").c_str());
    ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    EXPECT_EQ(0u, WaitForFileText(marker).find(std::string(scheme.begin(), scheme.end()) + ":clicked"));

    SetLinkUrl(link, (scheme + L":entered").c_str());
    ::SetFocus(link);
    ::SendMessageW(link, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(0u, WaitForFileText(marker).find(std::string(scheme.begin(), scheme.end()) + ":entered"));
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, scheme.c_str());
}

TEST_F(DigestPageTest, EnlargingThePageStretchesTheControlsToTheMarginsAndKeepsTheLinkAtTheBottomEvenMirrored)
{
    const TemporaryFile abc("abc");
    // Mirrored as the shell shows the sheet on Arabic and Hebrew Windows: right to left throughout.
    for (const DWORD layout : {DWORD{0}, DWORD{LAYOUT_RTL}})
    {
        SCOPED_TRACE(layout == 0 ? "left to right" : "mirrored");
        ::SetProcessDefaultLayout(layout);
        DigestSheet sheet(*s_library, {abc.GetPath()});
        ::SetProcessDefaultLayout(0);
        const HWND page = sheet.GetPage();
        ASSERT_EQ(layout != 0, (::GetWindowLongW(page, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0);
        const RECT linkBefore = ControlRectangle(page, IDC_ABOUT_LINK);
        RECT window;
        ::GetWindowRect(page, &window);
        ::SetWindowPos(page, nullptr, 0, 0, window.right - window.left + 120, window.bottom - window.top + 90,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

        RECT client;
        ::GetClientRect(page, &client);
        const LONG right = client.right - ControlRectangle(page, IDC_DIGEST_EDIT).left;
        for (int id : {IDC_ALGORITHM_COMBO, IDC_DIGEST_EDIT, IDC_COMPARE_EDIT, IDC_COMPARE_RESULT, IDC_ABOUT_LINK})
        {
            EXPECT_EQ(right, ControlRectangle(page, id).right) << id;
        }
        const RECT link = ControlRectangle(page, IDC_ABOUT_LINK);
        EXPECT_EQ(client.bottom - ControlRectangle(page, IDC_ALGORITHM_COMBO).top, link.bottom);
        EXPECT_EQ(linkBefore.bottom - linkBefore.top, link.bottom - link.top);
    }
}

TEST_F(DigestPageTest, DigestsReadLeftToRightAndTheFailureInThePagesDirectionWithAScrollBarOnlyWhereItRunsLonger)
{
    const TemporaryFile abc("abc");
    // Mirrored as the shell shows the sheet on Arabic and Hebrew Windows: right to left throughout.
    for (const DWORD layout : {DWORD{0}, DWORD{LAYOUT_RTL}})
    {
        SCOPED_TRACE(layout == 0 ? "left to right" : "mirrored");
        const TemporaryFile locked("locked");
        const HANDLE exclusive = ::CreateFileW(locked.GetPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
        ::SetProcessDefaultLayout(layout);
        DigestSheet sheet(*s_library, {locked.GetPath(), abc.GetPath()});
        ::SetProcessDefaultLayout(0);
        // Once failed, the page shows the failure for good.
        const std::wstring failure = sheet.WaitForDigest();
        ::CloseHandle(exclusive);
        EXPECT_EQ(0u, failure.find(ErrorIntroduction));

        const auto box = [&sheet](int id) { return ::GetDlgItem(sheet.GetPage(), id); };
        const auto rightToLeft = [&box](int id) {
            return (::GetWindowLongW(box(id), GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) != 0;
        };
        const auto scrollBar = [&box] {
            SCROLLBARINFO bar = {};
            bar.cbSize = sizeof(bar);
            ::GetScrollBarInfo(box(IDC_DIGEST_EDIT), static_cast<LONG>(OBJID_VSCROLL), &bar);
            return (bar.rgstate[0] & STATE_SYSTEM_INVISIBLE) != 0     ? "none"
                   : (bar.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0 ? "disabled"
                                                                      : "usable";
        };
        const auto widen = [&sheet](int pixels) {
            RECT window;
            ::GetWindowRect(sheet.GetPage(), &window);
            ::SetWindowPos(sheet.GetPage(), nullptr, 0, 0, window.right - window.left + pixels,
                           window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        };
        EXPECT_EQ(layout != 0, rightToLeft(IDC_DIGEST_EDIT)) << "the failure is the page's text";
        EXPECT_FALSE(rightToLeft(IDC_COMPARE_EDIT));

        // The page's width decides how often the failure's text wraps.
        widen(-250);
        EXPECT_STREQ("usable", scrollBar()) << "narrow";
        ::SendMessageW(box(IDC_DIGEST_EDIT), WM_VSCROLL, SB_BOTTOM, 0);
        EXPECT_LT(0, ::SendMessageW(box(IDC_DIGEST_EDIT), EM_GETFIRSTVISIBLELINE, 0, 0)) << "it reaches the end";
        widen(850);
        EXPECT_STREQ("none", scrollBar()) << "wide";

        ASSERT_TRUE(sheet.GetSheet().SelectPage(1));
        for (const wchar_t* algorithm : {L"MD5", L"SHA-512"})
        {
            sheet.SelectAlgorithm(algorithm);
            sheet.WaitForDigest();
            EXPECT_STREQ("none", scrollBar()) << algorithm;
            EXPECT_FALSE(rightToLeft(IDC_DIGEST_EDIT)) << algorithm;
        }
        EXPECT_FALSE(rightToLeft(IDC_COMPARE_EDIT));
    }
}

TEST_F(DigestPageTest, ScreenReadersHearEachDigestFailureAndNewVerdictWhateverTheAnnotationServiceDoes)
{
    std::wstring missing;
    {
        const TemporaryFile gone("");
        missing = gone.GetPath();
    }
    const TemporaryFile abc("abc");
    const std::wstring abcMd5 = Wide(CryptoTest::KnownAnswers()[0].abc);
    // The shell's thread has COM, where the annotation service lives.
    struct Setting
    {
        const char* name;
        bool com;
        bool standIn;
        HRESULT createAnswer;
        HRESULT markAnswer;
    };
    const Setting settings[] = {
        {"no COM", false, false, S_OK, S_OK},
        {"the system's service", true, false, S_OK, S_OK},
        {"Windows 8's service", true, true, S_OK, S_OK},
        {"a service that cannot be made", true, true, E_ACCESSDENIED, S_OK},
        {"a service that refuses the setting", true, true, S_OK, E_ACCESSDENIED},
    };

    for (const Setting& setting : settings)
    {
        SCOPED_TRACE(setting.name);
        ASSERT_TRUE(!setting.com || ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) == S_OK);
        std::unique_ptr<AnnotationService> service(
            setting.standIn ? new AnnotationService(setting.createAnswer, setting.markAnswer) : nullptr);
        ASSERT_TRUE(!service || service->IsRegistered());
        TarnTest::DebugOutputListener listener;
        LiveRegionEvents events;
        ASSERT_TRUE(events.IsHooked());
        {
            DigestSheet sheet(*s_library, {abc.GetPath(), missing});
            EXPECT_EQ(abcMd5, sheet.WaitForDigest());
            EXPECT_EQ(std::vector<int>{IDC_DIGEST_EDIT}, events.Take(sheet)) << "the digest replaced \"Computing...\"";

            sheet.PasteExpected(abcMd5);
            EXPECT_EQ(std::vector<int>{IDC_COMPARE_RESULT}, events.Take(sheet)) << "match";
            sheet.PasteExpected(Upper(abcMd5));
            EXPECT_EQ(std::vector<int>{}, events.Take(sheet)) << "still a match";
            sheet.PasteExpected(abcMd5 + L"0");
            EXPECT_EQ(std::vector<int>{IDC_COMPARE_RESULT}, events.Take(sheet)) << "mismatch";
            sheet.PasteExpected(L"");
            EXPECT_EQ(std::vector<int>{IDC_COMPARE_RESULT}, events.Take(sheet)) << "cleared";

            ASSERT_TRUE(sheet.GetSheet().SelectPage(1));
            EXPECT_EQ(0u, sheet.WaitForDigest().find(ErrorIntroduction));
            EXPECT_EQ(std::vector<int>{IDC_DIGEST_EDIT}, events.Take(sheet)) << "the failure";
        }

        if (service && SUCCEEDED(setting.createAnswer) && SUCCEEDED(setting.markAnswer))
        {
            const std::pair<int, LONG> digest(IDC_DIGEST_EDIT, PoliteLiveSetting);
            const std::pair<int, LONG> verdict(IDC_COMPARE_RESULT, PoliteLiveSetting);
            EXPECT_EQ((std::vector<std::pair<int, LONG>>{digest, verdict, digest, verdict}), service->marked);
            EXPECT_EQ((std::vector<int>{IDC_DIGEST_EDIT, IDC_COMPARE_RESULT, IDC_DIGEST_EDIT, IDC_COMPARE_RESULT}),
                      service->cleared)
                << "taken back before the controls went";
        }
        else if (service)
        {
            EXPECT_TRUE(service->marked.empty() && service->cleared.empty());
        }
        // Each control's refusal, traced where it happened and where the page's set-up went on.
        const size_t refusals = service && (FAILED(setting.createAnswer) || FAILED(setting.markAnswer)) ? 4 : 0;
        EXPECT_EQ(refusals, listener.GetLinesContaining(") LiveRegion::Mark(): ").size());
        EXPECT_EQ(refusals,
                  listener.GetLinesContaining(") LiveRegion::Attach(): Exception caught. Error code: 0x80070005").size());
        EXPECT_EQ(2 + 2 * refusals, listener.GetLines().size()) << "and the missing file's two lines";

        service.reset();
        if (setting.com)
        {
            ::CoUninitialize();
        }
    }
}

TEST_F(DigestPageTest, ScreenReadersNameEveryInputByItsLabelAndTheVerdictAndLinkByTheirText)
{
    const TemporaryFile abc("abc");
    DigestSheet sheet(*s_library, {abc.GetPath()});
    sheet.PasteExpected(sheet.WaitForDigest());
    const HWND page = sheet.GetPage();

    // Windows names an input by the label just before it; Wine's server does so for edit boxes only
    // and names a combo box by its selection, so the combo's label is checked where Windows reads it.
    const HWND comboLabel = ::GetWindow(::GetDlgItem(page, IDC_ALGORITHM_COMBO), GW_HWNDPREV);
    EXPECT_EQ(L"Checksum algorithm:", AccessibleName(comboLabel));

    const std::pair<int, const wchar_t*> names[] = {
        {IDC_DIGEST_EDIT, L"File checksum:"},
        {IDC_COMPARE_EDIT, L"Compare to:"},
        {IDC_COMPARE_RESULT, L"Checksum match"},
    };
    for (const auto& name : names)
    {
        EXPECT_EQ(name.second, AccessibleName(::GetDlgItem(page, name.first))) << name.first;
    }
    const std::wstring link = AccessibleName(::GetDlgItem(page, IDC_ABOUT_LINK));
    EXPECT_EQ(0u, link.find(LinkIntroduction)) << std::string(link.begin(), link.end());
}
