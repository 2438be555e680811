#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "commoncontrols.h"
#include "digestrylibrary.h"
#include "itestinitialize.h"
#include "knownanswers.h"
#include "propertysheetextension.h"
#include "testfiles.h"

using DigestryTest::TemporaryFile;
using Tarn::Com::ComAutoPtr;

namespace
{
    // A data object that offers no file list, like text dragged from another program.
    class TextDataObject : public IDataObject
    {
    public:
        virtual ~TextDataObject() = default;

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
        {
            *object = ::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDataObject) ? this : nullptr;
            return *object != nullptr ? S_OK : E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
        HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
        HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
        HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    };

    // The shell's data object for items of one folder, as Explorer hands it to a handler.
    IDataObject* ShellDataObject(const std::vector<std::wstring>& paths)
    {
        std::vector<PIDLIST_ABSOLUTE> items(paths.size());
        std::vector<PCUITEMID_CHILD> children(paths.size());
        ComAutoPtr<IShellFolder> folder;
        IDataObject* data = nullptr;
        bool known = true;
        for (size_t index = 0; index < paths.size() && known; ++index)
        {
            known = SUCCEEDED(::SHParseDisplayName(paths[index].c_str(), nullptr, &items[index], 0, nullptr)) &&
                    SUCCEEDED(::SHBindToParent(items[index], IID_IShellFolder,
                                               reinterpret_cast<void**>(folder.GetAddress()), &children[index]));
        }
        if (known)
        {
            folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IDataObject,
                                  nullptr, reinterpret_cast<void**>(&data));
        }
        for (PIDLIST_ABSOLUTE item : items)
        {
            ::CoTaskMemFree(item);
        }
        return data;
    }

    BOOL CALLBACK RefusePage(HPROPSHEETPAGE, LPARAM)
    {
        return FALSE;
    }

    class ThrowingDataObject final : public TextDataObject
    {
    public:
        HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { throw TarnTest::UnexpectedFailure(); }
    };

    // Keeps the page handle it is given, then throws.
    BOOL CALLBACK ThrowAtAddPage(HPROPSHEETPAGE page, LPARAM kept)
    {
        *reinterpret_cast<HPROPSHEETPAGE*>(kept) = page;
        throw TarnTest::UnexpectedFailure();
    }
}

// The extension as the shell gets it: registered in the prefix, created through COM and handed the
// shell's own data objects.
class PropertySheetExtensionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        s_library = new DigestryTest::DigestryLibrary();
        DigestryTest::CreateHandlerList();
        s_library->RegisterServer();
    }

    static void TearDownTestSuite()
    {
        s_library->UnregisterServer();
        delete s_library;
        ::CoUninitialize();
    }

    void SetUp() override
    {
        ASSERT_EQ(S_OK, ::CoCreateInstance(DigestryTest::ExtensionClsid, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellExtInit, reinterpret_cast<void**>(m_extension.GetAddress())));
    }

    HRESULT Initialize(const std::vector<std::wstring>& paths)
    {
        ComAutoPtr<IDataObject> data(ShellDataObject(paths));
        EXPECT_FALSE(data.IsNull());
        return m_extension->Initialize(nullptr, data.Get(), nullptr);
    }

    static DigestryTest::DigestryLibrary* s_library;
    ComAutoPtr<IShellExtInit> m_extension;
};

DigestryTest::DigestryLibrary* PropertySheetExtensionTest::s_library = nullptr;

TEST_F(PropertySheetExtensionTest, AcceptsOneFileOrOneFolderAndKeepsItsPathThroughAnyOtherSelection)
{
    const TemporaryFile abc("abc");
    const TemporaryFile other("other");
    EXPECT_EQ(S_OK, Initialize({abc.GetPath()}));
    EXPECT_EQ(E_FAIL, Initialize({other.GetPath(), abc.GetPath()}));
    TarnTest::DebugOutputListener listener;
    TextDataObject text;
    EXPECT_EQ(E_FAIL, m_extension->Initialize(nullptr, &text, nullptr));
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "propertysheetextension", "PropertySheetExtension::Initialize",
                                            "IDataObject::GetData() failed, error code 0x80040064"));
    EXPECT_EQ(E_INVALIDARG, m_extension->Initialize(nullptr, nullptr, nullptr));
    {
        DigestryTest::DigestSheet sheet(DigestryTest::AddPages(m_extension.Get()));
        const std::string md5 = CryptoTest::KnownAnswers()[0].abc;
        EXPECT_EQ(std::wstring(md5.begin(), md5.end()), sheet.WaitForDigest()) << "the page of the file accepted";
    }

    const std::wstring folder = abc.GetPath().substr(0, abc.GetPath().rfind(L'\\'));
    EXPECT_EQ(S_OK, Initialize({folder}));
}

TEST_F(PropertySheetExtensionTest, RefusedPageIsDestroyedAndTheOtherCallsAnswerAsTheShellExpects)
{
    ComAutoPtr<IShellPropSheetExt> sheetExtension;
    ComAutoPtr<ITestInitialize> test;
    ASSERT_EQ(S_OK, m_extension->QueryInterface(IID_IShellPropSheetExt,
                                                reinterpret_cast<void**>(sheetExtension.GetAddress())));
    ASSERT_EQ(S_OK, m_extension->QueryInterface(IID_ITestInitialize, reinterpret_cast<void**>(test.GetAddress())));
    EXPECT_EQ(E_POINTER, test->TestInitialize(nullptr));
    EXPECT_EQ(E_NOTIMPL, sheetExtension->ReplacePage(EXPPS_FILETYPES, &RefusePage, 0));

    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(E_FAIL, sheetExtension->AddPages(&RefusePage, 0));
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "propertysheetextension", "PropertySheetExtension::AddPages",
                                            "Failed to add property page"));
    EXPECT_EQ(S_FALSE, s_library->CanUnloadNow());
    m_extension.Reset();
    sheetExtension.Reset();
    test.Reset();
    EXPECT_EQ(S_OK, s_library->CanUnloadNow()) << "no page is left behind";
}

TEST_F(PropertySheetExtensionTest, EveryInterfaceLeadsToTheSameObject)
{
    ComAutoPtr<IShellPropSheetExt> sheetExtension;
    ComAutoPtr<ITestInitialize> test;
    ComAutoPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, m_extension->QueryInterface(IID_IShellPropSheetExt,
                                                reinterpret_cast<void**>(sheetExtension.GetAddress())));
    ASSERT_EQ(S_OK, sheetExtension->QueryInterface(IID_ITestInitialize, reinterpret_cast<void**>(test.GetAddress())));
    ASSERT_EQ(S_OK, test->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(init.GetAddress())));
    EXPECT_EQ(m_extension.Get(), init.Get());

    ComAutoPtr<IUnknown> identities[3];
    IUnknown* const interfaces[] = {init.Get(), sheetExtension.Get(), test.Get()};
    for (int index = 0; index < 3; ++index)
    {
        interfaces[index]->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identities[index].GetAddress()));
    }
    EXPECT_EQ(identities[0].Get(), identities[1].Get());
    EXPECT_EQ(identities[0].Get(), identities[2].Get());

    IUnknown* factory = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_NOINTERFACE, test->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(nullptr, factory);
}

// The extension class linked into the tests, so that what it calls can throw what no code of the
// foundation throws.
TEST(PropertySheetExtensionBoundaryTest, AnythingThrownButATarnExceptionIsAnsweredUnexpectedAndTracedOnce)
{
    ComAutoPtr<IShellExtInit> extension(new PropertySheetExtension(nullptr, nullptr));
    ComAutoPtr<IShellPropSheetExt> sheetExtension;
    ASSERT_EQ(S_OK, extension->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(sheetExtension.GetAddress())));
    TarnTest::DebugOutputListener listener;

    ThrowingDataObject data;
    EXPECT_EQ(E_UNEXPECTED, extension->Initialize(nullptr, &data, nullptr));
    HPROPSHEETPAGE page = nullptr;
    EXPECT_EQ(E_UNEXPECTED, sheetExtension->AddPages(&ThrowAtAddPage, reinterpret_cast<LPARAM>(&page)));
    ASSERT_NE(nullptr, page);
    CommonControls::DestroyPage(page);

    for (const char* function : {"PropertySheetExtension::Initialize", "PropertySheetExtension::AddPages"})
    {
        EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "propertysheetextension", function,
                                                "Unexpected exception caught"))
            << function;
    }
    EXPECT_EQ(2u, listener.GetLines().size()) << "one line each, nothing else";
}
