// Runs a command line as this user without elevation, as from an ordinary command prompt, and exits
// with its exit code (0xFFFFFFFF when it could not be started).
//
//   digestry_unelevated <command line>

#include <windows.h>

#include <string>

#include "testsupport.h"

namespace
{
    // A primary token of this process's user without elevation: the linked token of our own.
    HANDLE CreateUnelevatedToken()
    {
        HANDLE token = nullptr;
        HANDLE primary = nullptr;
        TOKEN_LINKED_TOKEN linked = {};
        DWORD size = 0;
        if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        {
            if (::GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &size))
            {
                ::DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                                   &primary);
                ::CloseHandle(linked.LinkedToken);
            }
            ::CloseHandle(token);
        }
        return primary;
    }

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
    const HANDLE token = CreateUnelevatedToken();
    if (token == nullptr)
    {
        return -1;
    }
    const DWORD exitCode = TarnTest::RunToEnd(CommandToRun(), token);
    ::CloseHandle(token);
    return static_cast<int>(exitCode);
}
