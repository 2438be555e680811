#pragma once

// The extension's class identifier, as the tests and the benchmarks name it: one value for COM calls
// and the registry key names made from it.

#include <windows.h>

#include <string>

namespace DigestryTest
{
    // {5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}
    extern const CLSID ExtensionClsid;

    // The identifier in the registry's form, upper case in braces, as in CLSID\{...}.
    std::wstring GetExtensionClassText();
}
