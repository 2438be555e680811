// Runs a command line as this user without elevation, as from an ordinary command prompt, and exits
// with its exit code (0xFFFFFFFF when it could not be started).
//
//   digestry_unelevated <command line>

#include <windows.h>

#include <string>

#include "testsupport.h"

namespace
{
    // Our own command line without the program's name, quoting untouched.
    std::wstring CommandToRun()
    {
        const wchar_t* text = ::GetCommandLineW();
        bool quoted = false;
        while (*text != L'\0' && (quoted || (*text != L' ' && *text != L'\t')))
        {
            quoted = *text == L'"' ? !quoted : quoted;
            ++text;
        }
        while (*text == L' ' || *text == L'\t')
        {
            ++text;
        }
        return text;
    }
}

int wmain()
{
    const HANDLE token = TarnTest::CreateUnelevatedToken();
    if (token == nullptr)
    {
        return -1;
    }
    const DWORD exitCode = TarnTest::RunToEnd(CommandToRun(), token);
    ::CloseHandle(token);
    return static_cast<int>(exitCode);
}
