#include "testsheet.h"

#include <stdexcept>

#include "testsupport.h"

namespace DigestryTest
{
    namespace
    {
        using PropertySheetFunction = INT_PTR(WINAPI*)(LPCPROPSHEETHEADERW);

        PropertySheetFunction GetPropertySheet()
        {
            const HMODULE library = ::GetModuleHandleW(L"comctl32.dll");
            const PropertySheetFunction function =
                library != nullptr ? TarnTest::GetExport<PropertySheetFunction>(library, "PropertySheetW") : nullptr;
            if (function == nullptr)
            {
                throw std::runtime_error("comctl32 has not been loaded by the page frame");
            }
            return function;
        }
    }

    TestSheet::TestSheet(const std::vector<HPROPSHEETPAGE>& pages)
    {
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_MODELESS;
        header.pszCaption = L"Test sheet";
        header.nPages = static_cast<UINT>(pages.size());
        header.phpage = const_cast<HPROPSHEETPAGE*>(pages.data());
        const INT_PTR sheet = GetPropertySheet()(&header);
        if (sheet == 0 || sheet == -1)
        {
            throw std::runtime_error("PropertySheetW failed");
        }
        m_window = reinterpret_cast<HWND>(sheet);
        Pump();
    }

    TestSheet::~TestSheet()
    {
        ::DestroyWindow(m_window);
        Pump();
    }

    HWND TestSheet::GetCurrentPage() const
    {
        return reinterpret_cast<HWND>(::SendMessageW(m_window, PSM_GETCURRENTPAGEHWND, 0, 0));
    }

    bool TestSheet::SelectPage(int index)
    {
        const bool selected = ::SendMessageW(m_window, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != 0;
        Pump();
        return selected;
    }

    void TestSheet::PressButton(int button)
    {
        ::SendMessageW(m_window, PSM_PRESSBUTTON, static_cast<WPARAM>(button), 0);
        Pump();
    }

    void TestSheet::Pump()
    {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    std::wstring GetWindowProcedureFile(HWND window)
    {
        HMODULE module = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(::GetWindowLongPtrW(window, GWLP_WNDPROC)), &module);
        wchar_t name[MAX_PATH] = L"";
        if (module != nullptr)
        {
            ::GetModuleFileNameW(module, name, MAX_PATH);
        }
        return name;
    }
}
