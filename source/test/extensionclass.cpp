#include "extensionclass.h"

#include <objbase.h>

namespace DigestryTest
{
    const CLSID ExtensionClsid = {0x5E1A9C3B, 0x7D24, 0x4F8E, {0xA6, 0xB1, 0x0C, 0x93, 0xD2, 0xE4, 0xF5, 0x17}};

    std::wstring GetExtensionClassText()
    {
        wchar_t text[39] = L"";
        const int length = ::StringFromGUID2(ExtensionClsid, text, ARRAYSIZE(text));
        return std::wstring(text, length > 0 ? static_cast<size_t>(length - 1) : 0);
    }
}
