// Loads a DLL in a process of its own, for the tests that need a separate process: one with a
// token that is not elevated, or one in a prefix with another Windows version.
//
//   tarn_modulehost load <dll>        prints the debugger lines the load wrote, and the loader's
//                                     error when it failed; exit code 0 when the DLL loaded, else 1
//   tarn_modulehost register <dll>    exit code: the HRESULT of DllRegisterServer
//   tarn_modulehost unregister <dll>  exit code: the HRESULT of DllUnregisterServer

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "testsupport.h"

namespace
{
    const int LoadFailed = 1;
    const int UsageError = 2;

    int Load(PCWSTR path)
    {
        TarnTest::DebugOutputListener listener;
        HMODULE module = ::LoadLibraryW(path);
        const DWORD error = module == nullptr ? ::GetLastError() : ERROR_SUCCESS;
        for (const std::string& line : listener.GetLines())
        {
            std::fputs(line.c_str(), stdout);
        }
        if (module == nullptr)
        {
            std::printf("LoadLibrary failed, error %lu\n", static_cast<unsigned long>(error));
            return LoadFailed;
        }
        ::FreeLibrary(module);
        return 0;
    }

    int CallServerFunction(PCWSTR path, const char* name)
    {
        typedef HRESULT(STDAPICALLTYPE * ServerFunction)();
        HMODULE module = ::LoadLibraryW(path);
        if (module == nullptr)
        {
            return static_cast<int>(HRESULT_FROM_WIN32(::GetLastError()));
        }
        const ServerFunction function = TarnTest::GetExport<ServerFunction>(module, name);
        const HRESULT result = function != nullptr ? function() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
        ::FreeLibrary(module);
        return static_cast<int>(result);
    }
}

int wmain(int argumentCount, wchar_t** arguments)
{
    if (argumentCount != 3)
    {
        return UsageError;
    }
    const std::wstring command = arguments[1];
    if (command == L"load")
    {
        return Load(arguments[2]);
    }
    if (command == L"register")
    {
        return CallServerFunction(arguments[2], "DllRegisterServer");
    }
    if (command == L"unregister")
    {
        return CallServerFunction(arguments[2], "DllUnregisterServer");
    }
    return UsageError;
}
