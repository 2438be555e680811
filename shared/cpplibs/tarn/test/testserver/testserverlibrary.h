#pragma once

// The test in-process server as the tests load it: the DLL beside the test executable, or a copy
// of it elsewhere.

#include <windows.h>
#include <objbase.h>

#include <stdexcept>
#include <string>

#include "testserver.h"
#include "testsupport.h"

namespace TestServer
{
    // The folder of the test executable, with a trailing backslash.
    inline std::wstring GetTestFolder()
    {
        wchar_t path[MAX_PATH];
        const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        const std::wstring executable(path, length);
        return executable.substr(0, executable.rfind(L'\\') + 1);
    }

    inline std::wstring GetServerPath()
    {
        return GetTestFolder() + L"tarn_testserver.dll";
    }

    // Loads the server for its lifetime and calls its exports.
    class Library
    {
    public:
        explicit Library(const std::wstring& path = GetServerPath())
            : m_module(::LoadLibraryW(path.c_str()))
        {
            if (m_module == nullptr)
            {
                throw std::runtime_error("the test server does not load");
            }
        }

        ~Library()
        {
            ::FreeLibrary(m_module);
        }

        Library(const Library&) = delete;
        Library& operator=(const Library&) = delete;

        HMODULE GetHandle() const { return m_module; }

        HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
        {
            typedef HRESULT(STDAPICALLTYPE * Function)(REFCLSID, REFIID, void**);
            return TarnTest::GetExport<Function>(m_module, "DllGetClassObject")(clsid, iid, object);
        }

        HRESULT CanUnloadNow() const
        {
            typedef HRESULT(STDAPICALLTYPE * Function)();
            return TarnTest::GetExport<Function>(m_module, "DllCanUnloadNow")();
        }

        std::wstring GetServerFileName() const
        {
            wchar_t path[4096];
            const DWORD length = TarnTest::GetExport<GetModuleFileNameFunction>(
                m_module, "TestServerGetModuleFileName")(path, ARRAYSIZE(path));
            return std::wstring(path, length < ARRAYSIZE(path) ? length : 0);
        }

        HINSTANCE GetResourceInstance() const
        {
            return TarnTest::GetExport<GetResourceInstanceFunction>(m_module, "TestServerGetResourceInstance")();
        }

    private:
        HMODULE m_module;
    };
}
