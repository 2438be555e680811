#include "digestrylibrary.h"

#include <shlobj.h>

#include "itestinitialize.h"
#include "resource.h"

namespace DigestryTest
{
    const wchar_t DigestSheet::Computing[] = L"Computing...";

    namespace
    {
        BOOL CALLBACK TakePage(HPROPSHEETPAGE page, LPARAM pages)
        {
            reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
            return TRUE;
        }

        std::vector<HPROPSHEETPAGE> AddPagesOfFiles(const DigestryLibrary& library,
                                                    const std::vector<std::wstring>& paths)
        {
            std::vector<HPROPSHEETPAGE> pages;
            for (const std::wstring& path : paths)
            {
                Tarn::Com::ComAutoPtr<IUnknown> extension(library.CreateExtension());
                for (HPROPSHEETPAGE page : AddPages(extension.Get(), path))
                {
                    pages.push_back(page);
                }
            }
            return pages;
        }
    }

    std::wstring GetDigestryPath()
    {
        return TarnTest::GetTestFolder() + L"digestry.dll";
    }

    IUnknown* DigestryLibrary::CreateExtension() const
    {
        Tarn::Com::ComAutoPtr<IClassFactory> factory;
        IUnknown* extension = nullptr;
        if (SUCCEEDED(GetClassObject(ExtensionClsid, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddress()))))
        {
            factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&extension));
        }
        return extension;
    }

    bool CreateHandlerList()
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, L"*\\shellex\\PropertySheetHandlers", 0, nullptr, 0, KEY_READ, nullptr,
                              &key, nullptr) != ERROR_SUCCESS)
        {
            return false;
        }
        ::RegCloseKey(key);
        return true;
    }

    std::vector<HPROPSHEETPAGE> AddPages(IUnknown* extension)
    {
        std::vector<HPROPSHEETPAGE> pages;
        Tarn::Com::ComAutoPtr<IShellPropSheetExt> sheetExtension;
        if (extension != nullptr && SUCCEEDED(extension->QueryInterface(
                                        IID_IShellPropSheetExt, reinterpret_cast<void**>(sheetExtension.GetAddress()))))
        {
            sheetExtension->AddPages(&TakePage, reinterpret_cast<LPARAM>(&pages));
        }
        return pages;
    }

    std::vector<HPROPSHEETPAGE> AddPages(IUnknown* extension, const std::wstring& path)
    {
        Tarn::Com::ComAutoPtr<ITestInitialize> test;
        if (extension != nullptr &&
            SUCCEEDED(extension->QueryInterface(IID_ITestInitialize, reinterpret_cast<void**>(test.GetAddress()))) &&
            SUCCEEDED(test->TestInitialize(path.c_str())))
        {
            return AddPages(extension);
        }
        return {};
    }

    DigestSheet::DigestSheet(const std::vector<HPROPSHEETPAGE>& pages) : m_sheet(pages)
    {
    }

    DigestSheet::DigestSheet(const DigestryLibrary& library, const std::vector<std::wstring>& paths)
        : m_sheet(AddPagesOfFiles(library, paths))
    {
    }

    std::wstring DigestSheet::GetText(int controlId) const
    {
        const HWND control = ::GetDlgItem(GetPage(), controlId);
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
        return text;
    }

    void DigestSheet::SelectAlgorithm(const std::wstring& name)
    {
        const HWND combo = ::GetDlgItem(GetPage(), IDC_ALGORITHM_COMBO);
        ::SendMessageW(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
        ::SendMessageW(GetPage(), WM_COMMAND, MAKEWPARAM(IDC_ALGORITHM_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    }

    void DigestSheet::PasteExpected(const std::wstring& text)
    {
        const HWND box = ::GetDlgItem(GetPage(), IDC_COMPARE_EDIT);
        ::SendMessageW(box, EM_SETSEL, 0, -1);
        ::SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    }

    std::wstring DigestSheet::WaitForDigest()
    {
        const ULONGLONG deadline = ::GetTickCount64() + 60000;
        std::wstring shown = GetText(IDC_DIGEST_EDIT);
        while (shown == Computing && ::GetTickCount64() < deadline)
        {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            m_sheet.Pump();
            shown = GetText(IDC_DIGEST_EDIT);
        }
        return shown;
    }
}
