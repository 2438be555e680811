#include "console.h"

#include <windows.h>

namespace ShellHost
{
    namespace
    {
        std::wstring programName = L"shellhost";

        void Write(DWORD stream, const std::wstring& text)
        {
            const HANDLE handle = ::GetStdHandle(stream);
            DWORD written = 0;
            DWORD mode = 0;
            if (::GetConsoleMode(handle, &mode))
            {
                ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
                return;
            }
            const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                                   nullptr, nullptr);
            std::string bytes(static_cast<size_t>(size), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr,
                                  nullptr);
            ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }

    void PrintLine(const std::wstring& line)
    {
        Write(STD_OUTPUT_HANDLE, line + L"\n");
    }

    void PrintErrorLine(const std::wstring& line)
    {
        Write(STD_ERROR_HANDLE, line + L"\n");
    }

    void PrintFailure(const std::wstring& message)
    {
        PrintErrorLine(programName + L": " + message);
    }

    void SetProgramName(const std::wstring& name)
    {
        programName = name;
    }

    void WriteErrorText(const std::wstring& text)
    {
        Write(STD_ERROR_HANDLE, text);
    }

    std::wstring Join(const std::vector<std::wstring>& items)
    {
        std::wstring text;
        for (const std::wstring& item : items)
        {
            text += (text.empty() ? L"" : L", ") + item;
        }
        return text;
    }

    std::wstring FormatCode(long code)
    {
        wchar_t text[16];
        ::wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(code));
        return text;
    }
}
