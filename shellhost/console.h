#pragma once

// What the host says: UTF-8 lines on its standard output (the report) and standard error
// (progress and failures), so that a terminal or a script on either side of Wine reads file names
// in any script.

#include <string>
#include <utility>
#include <vector>

namespace ShellHost
{
    void PrintLine(const std::wstring& line);
    void PrintErrorLine(const std::wstring& line);
    // A failure: one line on standard error, the program's name and the message.
    void PrintFailure(const std::wstring& message);
    // The name that failures carry: "shellhost", or the program a user ran the host through, so that
    // its user reads every error under the name of the command they typed.
    void SetProgramName(const std::wstring& name);
    // Text on standard error without a line break, for a line that is rewritten in place.
    void WriteErrorText(const std::wstring& text);
    // The items separated by commas.
    std::wstring Join(const std::vector<std::wstring>& items);
    // An HRESULT or error code as 0x followed by eight hexadecimal digits.
    std::wstring FormatCode(long code);

    // A failure the host reports and ends with; the message names what was expected and what happened.
    class Failure
    {
    public:
        explicit Failure(std::wstring message) : m_message(std::move(message)) {}
        const std::wstring& GetMessage() const { return m_message; }

    private:
        std::wstring m_message;
    };
}
