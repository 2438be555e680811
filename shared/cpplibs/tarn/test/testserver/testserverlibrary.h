#pragma once

// The test in-process server as the tests load it: the DLL beside the test executable, or a copy
// of it elsewhere.

#include <windows.h>
#include <objbase.h>

#include <string>

#include "testserver.h"
#include "testsupport.h"

namespace TestServer
{
    inline std::wstring GetServerPath()
    {
        return TarnTest::GetTestFolder() + L"tarn_testserver.dll";
    }

    // The test server loaded for the object's lifetime, with its own exports besides the server's.
    class Library : public TarnTest::ServerLibrary
    {
    public:
        explicit Library(const std::wstring& path = GetServerPath()) : ServerLibrary(path) {}

        std::wstring GetServerFileName() const
        {
            wchar_t path[4096];
            const DWORD length = TarnTest::GetExport<GetModuleFileNameFunction>(
                GetHandle(), "TestServerGetModuleFileName")(path, ARRAYSIZE(path));
            return std::wstring(path, length < ARRAYSIZE(path) ? length : 0);
        }

        HINSTANCE GetResourceInstance() const
        {
            return TarnTest::GetExport<GetResourceInstanceFunction>(GetHandle(), "TestServerGetResourceInstance")();
        }

        void ThrowUnexpected(bool enabled) const
        {
            TarnTest::GetExport<ThrowUnexpectedFunction>(GetHandle(), "TestServerThrowUnexpected")(enabled ? TRUE : FALSE);
        }
    };
}
