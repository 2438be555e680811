#include "tarncomboboxcontrol.h"

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarnscopeexit.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarncomboboxcontrol";

    // A literal-mode string is constant-initialised: safe against concurrent first use.
    const Tarn::String ComboBoxClassName(L"COMBOBOX", true);
}

namespace Tarn
{
    HWND ComboBoxControl::Create(HWND parent, int id, int x, int y, int width, int height, DWORD style,
                                 DWORD extendedStyle)
    {
        return Control::Create(ComboBoxClassName, parent, id, x, y, width, height, String::Empty, style, extendedStyle);
    }

    int ComboBoxControl::AddItem(const String& text, ULONG_PTR data)
    {
        return AddItem(text.GetBuffer(), data);
    }

    int ComboBoxControl::AddItem(PCWSTR text, ULONG_PTR data)
    {
        const PCWSTR function = L"Tarn::ComboBoxControl::AddItem";
        const void* const combo = GetHandle();
        // Combo boxes set no error of their own: a stale one must not be reported as the cause.
        const int index = static_cast<int>(TARN_FRESH_CALL(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))));
        if (index == CB_ERR || index == CB_ERRSPACE)
        {
            TARN_THROW_WIN32_FOR(function, L"SendMessage(CB_ADDSTRING) to ComboBox 0x{0} failed. Error code 0x{1:X}",
                                 combo, ::GetLastError());
        }
        if (data == 0)
        {
            return index;
        }

        if (TARN_FRESH_CALL(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data))) == CB_ERR)
        {
            // An item without its data would be taken for another one later: it must not stay.
            const ScopeExit removeItem([this, function, combo, index]() noexcept {
                if (TARN_FRESH_CALL(SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index), 0)) == CB_ERR)
                {
                    TARN_TRACE(TraceLevel::Error, function,
                               L"SendMessage(CB_DELETESTRING) to ComboBox 0x{0} failed. Error code 0x{1:X}", combo,
                               ::GetLastError());
                }
            });
            TARN_THROW_WIN32_FOR(function, L"SendMessage(CB_SETITEMDATA) to ComboBox 0x{0} failed. Error code 0x{1:X}",
                                 combo, ::GetLastError());
        }
        return index;
    }

    int ComboBoxControl::GetSelectedIndex() const
    {
        return static_cast<int>(SendMessage(CB_GETCURSEL, 0, 0));
    }

    void ComboBoxControl::SetSelectedIndex(int index)
    {
        if (TARN_FRESH_CALL(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index), 0)) == CB_ERR)
        {
            TARN_THROW_WIN32_FOR(L"Tarn::ComboBoxControl::SetSelectedIndex",
                                 L"SendMessage(CB_SETCURSEL) to ComboBox 0x{0} failed. Error code 0x{1:X}",
                                 static_cast<const void*>(GetHandle()), ::GetLastError());
        }
    }

    ULONG_PTR ComboBoxControl::GetItemData(int index) const
    {
        // Data of -1 is legitimate.
        return static_cast<ULONG_PTR>(TARN_CALL_WIN32_FRESH_FOR(
            SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index), 0), CB_ERR, L"Tarn::ComboBoxControl::GetItemData",
            L"SendMessage(CB_GETITEMDATA) to ComboBox 0x{0} failed. Error code 0x{1:X}",
            static_cast<const void*>(GetHandle())));
    }
}
