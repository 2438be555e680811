#include "tarncomboboxcontrol.h"

#include "tarnexception.h"
#include "tarntrace.h"
#include "tarnfailure.h"

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
        const void* const combo = GetHandle();
        // Combo boxes set no error of their own: a stale one must not be reported as the cause.
        ::SetLastError(ERROR_SUCCESS);
        const int index = static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
        if (index == CB_ERR || index == CB_ERRSPACE)
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(TraceLevel::Error, L"Tarn::ComboBoxControl::AddItem",
                       L"SendMessage(CB_ADDSTRING) to ComboBox 0x{0} failed. Error code 0x{1:X}", combo, error);
            throw SystemException(FailedCallCode(error));
        }
        if (data == 0)
        {
            return index;
        }

        ::SetLastError(ERROR_SUCCESS);
        if (SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data)) == CB_ERR)
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(TraceLevel::Error, L"Tarn::ComboBoxControl::AddItem",
                       L"SendMessage(CB_SETITEMDATA) to ComboBox 0x{0} failed. Error code 0x{1:X}", combo, error);
            // An item without its data would be taken for another one later: it must not stay.
            ::SetLastError(ERROR_SUCCESS);
            if (SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index), 0) == CB_ERR)
            {
                const DWORD deleteError = ::GetLastError();
                TARN_TRACE(TraceLevel::Error, L"Tarn::ComboBoxControl::AddItem",
                           L"SendMessage(CB_DELETESTRING) to ComboBox 0x{0} failed. Error code 0x{1:X}", combo,
                           deleteError);
            }
            throw SystemException(FailedCallCode(error));
        }
        return index;
    }

    int ComboBoxControl::GetSelectedIndex() const
    {
        return static_cast<int>(SendMessage(CB_GETCURSEL, 0, 0));
    }

    void ComboBoxControl::SetSelectedIndex(int index)
    {
        ::SetLastError(ERROR_SUCCESS);
        if (SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR)
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(TraceLevel::Error, L"Tarn::ComboBoxControl::SetSelectedIndex",
                       L"SendMessage(CB_SETCURSEL) to ComboBox 0x{0} failed. Error code 0x{1:X}",
                       static_cast<const void*>(GetHandle()), error);
            throw SystemException(FailedCallCode(error));
        }
    }

    ULONG_PTR ComboBoxControl::GetItemData(int index) const
    {
        // Data of -1 is legitimate; only a fresh error tells a failure.
        ::SetLastError(ERROR_SUCCESS);
        const LRESULT data = SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
        if (data == CB_ERR)
        {
            const DWORD error = ::GetLastError();
            if (error != ERROR_SUCCESS)
            {
                TARN_TRACE(TraceLevel::Error, L"Tarn::ComboBoxControl::GetItemData",
                           L"SendMessage(CB_GETITEMDATA) to ComboBox 0x{0} failed. Error code 0x{1:X}",
                           static_cast<const void*>(GetHandle()), error);
                throw SystemException(HResultFromWin32(error));
            }
        }
        return static_cast<ULONG_PTR>(data);
    }
}
