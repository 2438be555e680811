#pragma once

#include <windows.h>

#include "tarncontrol.h"
#include "tarnstring.h"

namespace Tarn
{
    // A combo box ("COMBOBOX") whose items carry a pointer-sized value.
    class ComboBoxControl : public Control
    {
    public:
        using Control::Create;
        virtual HWND Create(HWND parent, int id, int x, int y, int width, int height, DWORD style, DWORD extendedStyle);

        // Adds the item and returns its index, which in a sorted combo is its place in the order.
        // Data 0 is not stored (a new item's data is 0 already). When the data cannot be stored the
        // item is removed again before the failure is thrown.
        int AddItem(const String& text, ULONG_PTR data);
        int AddItem(PCWSTR text, ULONG_PTR data);
        // -1 when nothing is selected.
        int GetSelectedIndex() const;
        // Throws for an index without an item, and for -1, which clears the selection.
        void SetSelectedIndex(int index);
        // A failure is told from data that happens to be -1 by the error the combo leaves.
        ULONG_PTR GetItemData(int index) const;
    };
}
