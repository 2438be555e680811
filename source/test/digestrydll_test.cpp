#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "digestrylibrary.h"
#include "resource.h"
#include "testfiles.h"

using DigestryTest::DigestryLibrary;
using DigestryTest::TemporaryFile;
using TarnTest::KeyContent;
using TarnTest::ReadKey;

namespace
{
    const wchar_t ClassId[] = L"{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}";
    const wchar_t ClassKey[] = L"CLSID\\{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}";
    const wchar_t HandlerListKey[] = L"*\\shellex\\PropertySheetHandlers";
    const wchar_t HandlerKey[] = L"*\\shellex\\PropertySheetHandlers\\{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}";
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

TEST(DigestryDllTest, CarriesItsVersionThePageTemplateAndTheTexts)
{
    const std::wstring path = DigestryTest::GetDigestryPath();
    std::vector<BYTE> block(::GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(0, 2), fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(L"Digestry", VersionText(block, L"ProductName"));
    EXPECT_EQ(L"Digestry", VersionText(block, L"InternalName"));
    EXPECT_EQ(L"digestry.dll", VersionText(block, L"OriginalFilename"));
    EXPECT_EQ(L"Digestry Shell Extension (64-bit)", VersionText(block, L"FileDescription"));

    DigestryLibrary library;
    const HMODULE module = library.GetHandle();
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDD_DIGESTRY_PAGE), MAKEINTRESOURCEW(5));
    ASSERT_NE(nullptr, found);
    // The extended template's header: version, signature, help id, extended style, style, item
    // count, then position and size.
    const BYTE* dialog = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
    EXPECT_EQ(0xFFFF, *reinterpret_cast<const WORD*>(dialog + 2));
    EXPECT_EQ(0x48C00048u, *reinterpret_cast<const DWORD*>(dialog + 12));
    EXPECT_EQ(8, *reinterpret_cast<const WORD*>(dialog + 16));
    EXPECT_EQ(235, *reinterpret_cast<const short*>(dialog + 22));
    EXPECT_EQ(218, *reinterpret_cast<const short*>(dialog + 24));

    EXPECT_EQ(L"Computing...", ResourceString(module, IDS_COMPUTING));
    EXPECT_EQ(L"An error occurred while computing the checksum.\r\n\r\n{0}", ResourceString(module, IDS_COMPUTE_ERROR));
    EXPECT_EQ(L"Checksum match", ResourceString(module, IDS_CHECKSUM_MATCH));
    EXPECT_EQ(L"Checksum mismatch", ResourceString(module, IDS_CHECKSUM_MISMATCH));
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
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey);
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, HandlerKey);
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ApprovedListKey, ClassId);
    }

    // Our entry in the list that managed machines load shell extensions from, if any.
    static std::pair<DWORD, std::wstring> ApprovedEntry()
    {
        const KeyContent list = ReadKey(ApprovedListKey, HKEY_LOCAL_MACHINE);
        const auto entry = list.values.find(ClassId);
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
                    ReadKey(std::wstring(ClassKey) + L"\\InProcServer32"));
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
    EXPECT_TRUE(ReadKey(std::wstring(ClassKey) + L"\\InProcServer32").exists);

    HKEY restored = nullptr;
    ::RegCreateKeyExW(HKEY_CLASSES_ROOT, HandlerListKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, ::RegCopyTreeW(backup, nullptr, restored));
    ::RegCloseKey(restored);
    ::RegCloseKey(backup);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, saved);
}
