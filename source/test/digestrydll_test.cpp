#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>

#include "digestrylibrary.h"
#include "digestryversion.h"
#include "resource.h"
#include "testfiles.h"

using DigestryTest::DigestryLibrary;
using DigestryTest::TemporaryFile;
using TarnTest::KeyContent;
using TarnTest::ReadKey;

namespace
{
    const wchar_t HandlerListKey[] = L"*\\shellex\\PropertySheetHandlers";
    const std::wstring ClassKey = L"CLSID\\" + DigestryTest::GetExtensionClassText();
    const std::wstring HandlerKey = std::wstring(HandlerListKey) + L"\\" + DigestryTest::GetExtensionClassText();
    const wchar_t FriendlyName[] = L"Digestry shell property sheet extension";
    const wchar_t ApprovedListKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

    std::wstring VersionText(const std::vector<BYTE>& block, const std::wstring& name)
    {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
        return ::VerQueryValueW(block.data(), path.c_str(), &text, &length) ? static_cast<const wchar_t*>(text) : L"";
    }

    std::wstring ResourceString(HMODULE module, UINT id)
    {
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
        return std::wstring(text, length > 0 ? static_cast<size_t>(length) : 0);
    }

    KeyContent Key(std::initializer_list<std::pair<const std::wstring, std::pair<DWORD, std::wstring>>> values,
                   std::vector<std::wstring> subkeys = {})
    {
        KeyContent content;
        content.exists = true;
        content.values = values;
        content.subkeys = std::move(subkeys);
        return content;
    }

    DWORD RegSvr32(const std::wstring& options)
    {
        return TarnTest::RunToEnd(L"regsvr32.exe /s " + options + L"\"" + DigestryTest::GetDigestryPath() + L"\"");
    }
}

TEST(DigestryDllTest, CarriesItsVersionAndItsEnglishTexts)
{
    const std::wstring path = DigestryTest::GetDigestryPath();
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(DIGESTRY_VERSION_MINOR, DIGESTRY_VERSION_MAJOR), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(DIGESTRY_VERSION_REVISION, DIGESTRY_VERSION_BUILD), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(L"" DIGESTRY_VERSION_TEXT, VersionText(block, L"FileVersion"));
    EXPECT_EQ(L"" DIGESTRY_VERSION_TEXT, VersionText(block, L"ProductVersion"));
    EXPECT_EQ(L"Digestry", VersionText(block, L"ProductName"));
    EXPECT_EQ(L"Digestry", VersionText(block, L"InternalName"));
    EXPECT_EQ(L"digestry.dll", VersionText(block, L"OriginalFilename"));
    EXPECT_EQ(L"Digestry Shell Extension (64-bit)", VersionText(block, L"FileDescription"));

    DigestryLibrary library;
    const HMODULE module = library.GetHandle();
    EXPECT_EQ(L"Computing...", ResourceString(module, IDS_COMPUTING));
    EXPECT_EQ(L"An error occurred while computing the checksum.\r\n\r\n{0}", ResourceString(module, IDS_COMPUTE_ERROR));
    EXPECT_EQ(L"Checksum match", ResourceString(module, IDS_CHECKSUM_MATCH));
    EXPECT_EQ(L"Checksum mismatch", ResourceString(module, IDS_CHECKSUM_MISMATCH));
}

// The English page as users have always seen it: each control where the template puts it (in dialog
// units, so at any scale), with its text and the behaviour its styles give it.
TEST(DigestryDllTest, ShowsTheEnglishPageWithItsControlsInPlace)
{
    struct Expected
    {
        const wchar_t* className;
        const wchar_t* text;  // null: whatever it shows
        RECT units;  // x, y, width, height
        LONG styles;
    };
    const LONG child = WS_CHILD | WS_VISIBLE;
    const Expected controls[] = {
        {L"Static", L"Checksum al&gorithm:", {7, 9, 73, 10}, child | WS_GROUP},
        {L"ComboBox", L"MD5", {83, 7, 145, 0}, child | WS_TABSTOP | CBS_SORT | CBS_DROPDOWNLIST},
        {L"Static", L"&File checksum:", {7, 29, 221, 10}, child | WS_GROUP},
        {L"Edit", nullptr, {7, 40, 221, 42}, child | WS_TABSTOP | ES_MULTILINE | ES_READONLY},
        {L"Static", L"Com&pare to:", {7, 93, 221, 8}, child | WS_GROUP},
        {L"Edit", L"", {7, 104, 221, 42}, child | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN},
        {L"Static", L"", {7, 153, 221, 14}, child | WS_GROUP},
        {L"SysLink", nullptr, {7, 198, 221, 13}, child | WS_TABSTOP | LWS_RIGHT},
    };
    const TemporaryFile file("abc");
    DigestryLibrary library;
    DigestryTest::DigestSheet sheet(library, {file.GetPath()});
    const HWND page = sheet.GetPage();

    wchar_t title[32] = L"";
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = title;
    tab.cchTextMax = 32;
    ::SendMessageW(PropSheet_GetTabControl(sheet.GetSheet().GetHandle()), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tab));
    EXPECT_STREQ(L"Digestry", title);
    EXPECT_EQ(WS_CHILD, ::GetWindowLongW(page, GWL_STYLE) & (WS_CHILD | WS_POPUP));

    HWND control = ::GetWindow(page, GW_CHILD);
    for (const Expected& expected : controls)
    {
        ASSERT_NE(nullptr, control);
        wchar_t className[32] = L"";
        ::GetClassNameW(control, className, 32);
        wchar_t text[128] = L"";
        ::GetWindowTextW(control, text, 128);
        SCOPED_TRACE(className + std::wstring(L" ") + text);
        EXPECT_EQ(0, ::lstrcmpiW(expected.className, className));
        if (expected.text != nullptr)
        {
            EXPECT_STREQ(expected.text, text);
        }
        EXPECT_EQ(expected.styles, ::GetWindowLongW(control, GWL_STYLE) & expected.styles);

        RECT shown;
        ::GetWindowRect(control, &shown);
        ::MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&shown), 2);
        // The dialog manager converts position and size each on its own.
        RECT pixels = expected.units;
        ::MapDialogRect(page, &pixels);
        EXPECT_EQ(pixels.left, shown.left);
        EXPECT_EQ(pixels.top, shown.top);
        EXPECT_EQ(pixels.right, shown.right - shown.left);
        if (expected.units.bottom != 0)  // a combo's height is that of its list
        {
            EXPECT_EQ(pixels.bottom, shown.bottom - shown.top);
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, control) << "no other control";
}

// The shell unloads the DLL when it answers S_OK; the page runs its code long after the extension
// object that made it has gone.
TEST(DigestryDllTest, StaysLoadedWhileAFactoryAnExtensionOrAPageLives)
{
    const TemporaryFile file("abc");
    DigestryLibrary library;
    EXPECT_EQ(S_OK, library.CanUnloadNow());

    IClassFactory* factory = reinterpret_cast<IClassFactory*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, library.GetClassObject(IID_IClassFactory, IID_IClassFactory,
                                                                reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(nullptr, factory);
    ASSERT_EQ(S_OK, library.GetClassObject(DigestryTest::ExtensionClsid, IID_IClassFactory,
                                           reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_FALSE, library.CanUnloadNow());
    IUnknown* extension = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&extension)));
    factory->Release();
    EXPECT_EQ(S_FALSE, library.CanUnloadNow());

    const std::vector<HPROPSHEETPAGE> pages = DigestryTest::AddPages(extension, file.GetPath());
    ASSERT_EQ(1u, pages.size());
    extension->Release();
    EXPECT_EQ(S_FALSE, library.CanUnloadNow()) << "the page lives on";
    {
        DigestryTest::TestSheet sheet(pages);
        EXPECT_EQ(S_FALSE, library.CanUnloadNow());
    }
    EXPECT_EQ(S_OK, library.CanUnloadNow());
}

TEST(DigestryDllTest, IsUnloadedAfterManySheetsClosedDuringComputations)
{
    const TemporaryFile large = TemporaryFile::Sparse(3ull << 30);
    for (int cycle = 0; cycle < 300; ++cycle)
    {
        DigestryLibrary library;
        {
            DigestryTest::DigestSheet sheet(library, {large.GetPath()});
            ASSERT_EQ(DigestryTest::DigestSheet::Computing, sheet.GetText(IDC_DIGEST_EDIT)) << "cycle " << cycle;
        }
        ASSERT_EQ(S_OK, library.CanUnloadNow()) << "cycle " << cycle;
    }
    // Workers that have just ended may still hold the module for their last instructions.
    EXPECT_TRUE(TarnTest::WaitUntil([] { return ::GetModuleHandleW(L"digestry.dll") == nullptr; }));
}

// Registers through the prefix's regsvr32 and reads the registry back. A fresh prefix lacks the
// handler list that every Windows has; every test starts and ends with nothing registered.
class DigestryRegistrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(DigestryTest::CreateHandlerList());
        RemoveEntries();
    }

    void TearDown() override { RemoveEntries(); }

    static void RemoveEntries()
    {
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey.c_str());
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, HandlerKey.c_str());
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ApprovedListKey, DigestryTest::GetExtensionClassText().c_str());
    }

    // Our entry in the list that managed machines load shell extensions from, if any.
    static std::pair<DWORD, std::wstring> ApprovedEntry()
    {
        const KeyContent list = ReadKey(ApprovedListKey, HKEY_LOCAL_MACHINE);
        const auto entry = list.values.find(DigestryTest::GetExtensionClassText());
        return entry != list.values.end() ? entry->second : std::pair<DWORD, std::wstring>();
    }
};

TEST_F(DigestryRegistrationTest, RegistersItsClassHandlerAndApprovalEvenTwiceAndUnregistersThem)
{
    const std::pair<DWORD, std::wstring> name(REG_SZ, FriendlyName);
    for (int registration = 1; registration <= 2; ++registration)
    {
        SCOPED_TRACE(registration);
        ASSERT_EQ(0u, RegSvr32(L""));
        EXPECT_TRUE(Key({{L"", name}}, {L"InProcServer32"}) == ReadKey(ClassKey));
        EXPECT_TRUE(Key({{L"", {REG_SZ, DigestryTest::GetDigestryPath()}}, {L"ThreadingModel", {REG_SZ, L"Apartment"}}}) ==
                    ReadKey(ClassKey + L"\\InProcServer32"));
        EXPECT_TRUE(Key({{L"", name}}) == ReadKey(HandlerKey));
        EXPECT_TRUE(name == ApprovedEntry());
    }

    EXPECT_EQ(0u, RegSvr32(L"/u "));
    EXPECT_FALSE(ReadKey(ClassKey).exists);
    EXPECT_FALSE(ReadKey(HandlerKey).exists);
    EXPECT_TRUE(ReadKey(HandlerListKey).exists);
    EXPECT_TRUE(ApprovedEntry().second.empty());
    EXPECT_TRUE(ReadKey(ApprovedListKey, HKEY_LOCAL_MACHINE).exists) << "the list is the system's";
    EXPECT_EQ(0u, RegSvr32(L"/u ")) << "nothing left to remove";
}

TEST_F(DigestryRegistrationTest, WithoutTheHandlerListRegistrationFailsAndKeepsTheClassEntries)
{
    const wchar_t saved[] = L"DigestryTest.SavedPropertySheetHandlers";
    HKEY backup = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_CLASSES_ROOT, saved, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegCopyTreeW(HKEY_CLASSES_ROOT, HandlerListKey, backup));
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteTreeW(HKEY_CLASSES_ROOT, HandlerListKey));

    {
        DigestryLibrary library;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), library.RegisterServer());
    }
    EXPECT_TRUE(ReadKey(ClassKey + L"\\InProcServer32").exists);

    HKEY restored = nullptr;
    ::RegCreateKeyExW(HKEY_CLASSES_ROOT, HandlerListKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, ::RegCopyTreeW(backup, nullptr, restored));
    ::RegCloseKey(restored);
    ::RegCloseKey(backup);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, saved);
}
