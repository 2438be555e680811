// Drives the shell's real Properties dialog and reports what the Digestry page shows.
//
//   digestry_shellhost [--expect VALUE]... [--screenshot FILE.png] [--lock] [--timeout SECONDS] FILE...
//       For each file in turn: opens its Properties dialog through the shell, brings the Digestry
//       page forward by its tab, selects every algorithm in turn through the combo box and waits for
//       its digest, types each expected value into "Compare to:" (with the algorithm whose digest is
//       as long as the value selected) and reads the verdict, saves a picture of the dialog, and
//       closes it with Cancel. --lock holds the file open without sharing while its dialog is up.
//       --timeout limits the wait for each digest (default: 60 s plus 1 s per 20 MiB of the file).
//   digestry_shellhost --pages ITEM...
//       Opens one Properties dialog for the items together (a selection in one folder) and prints
//       the titles of its pages.
//
// Exit code 0 when everything was shown, 1 on a failure (reported on standard error), 2 on wrong use.

#include <windows.h>

#include <string>
#include <vector>

#include "console.h"
#include "digestpage.h"
#include "propertiesdialog.h"
#include "screenshot.h"
#include "shellthread.h"

using namespace ShellHost;

namespace
{
    const DWORD OpenTimeoutMs = 30000;
    const DWORD CloseTimeoutMs = 30000;
    const double BaseDigestTimeoutSeconds = 60.0;
    const double SlowestBytesPerSecond = 20.0 * 1024 * 1024;
    const wchar_t PageTitle[] = L"Digestry";

    struct Options
    {
        std::vector<std::wstring> paths;
        std::vector<std::wstring> expected;
        std::wstring screenshot;
        bool pagesOnly = false;
        bool lock = false;
        double timeoutSeconds = 0;
    };

    bool ParseOptions(int argc, wchar_t** argv, Options& options)
    {
        for (int index = 1; index < argc; ++index)
        {
            const std::wstring argument = argv[index];
            const bool hasValue = index + 1 < argc;
            if (argument == L"--expect" && hasValue)
            {
                options.expected.push_back(argv[++index]);
            }
            else if (argument == L"--screenshot" && hasValue)
            {
                options.screenshot = argv[++index];
            }
            else if (argument == L"--timeout" && hasValue)
            {
                options.timeoutSeconds = _wtof(argv[++index]);
                if (options.timeoutSeconds <= 0)
                {
                    return false;
                }
            }
            else if (argument == L"--lock")
            {
                options.lock = true;
            }
            else if (argument == L"--pages")
            {
                options.pagesOnly = true;
            }
            else if (argument.compare(0, 2, L"--") == 0)
            {
                return false;
            }
            else
            {
                options.paths.push_back(argument);
            }
        }
        const bool fileOptions = !options.expected.empty() || !options.screenshot.empty() || options.lock ||
                                 options.timeoutSeconds > 0;
        return !options.paths.empty() && !(options.pagesOnly && fileOptions) &&
               (options.screenshot.empty() || options.paths.size() == 1);
    }

    void PrintField(const std::wstring& name, const std::wstring& value)
    {
        std::wstring key = name + L":";
        key.resize(std::max<size_t>(key.size() + 1, 10), L' ');
        PrintLine(key + value);
    }

    // A digest box holds several lines for an error; the report gives each field one line.
    std::wstring OneLine(const std::wstring& text)
    {
        std::wstring line;
        for (const wchar_t character : text)
        {
            const bool lineBreak = character == L'\r' || character == L'\n';
            if (!lineBreak)
            {
                line += character;
            }
            else if (!line.empty() && line.back() != L' ')
            {
                line += L' ';
            }
        }
        while (!line.empty() && line.back() == L' ')
        {
            line.pop_back();
        }
        return line;
    }

    ULONGLONG GetFileSize(const std::wstring& path)
    {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        {
            throw Failure(L"cannot find " + path + L" (error " + FormatCode(static_cast<long>(::GetLastError())) + L")");
        }
        return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    // Holds a file open for reading without sharing it, as an editor that locks its file does.
    class FileLock
    {
    public:
        FileLock(const std::wstring& path, bool wanted)
            : m_file(wanted ? ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr)
                            : INVALID_HANDLE_VALUE)
        {
            if (wanted && m_file == INVALID_HANDLE_VALUE)
            {
                throw Failure(L"cannot lock " + path + L" (error " + FormatCode(static_cast<long>(::GetLastError())) +
                              L")");
            }
        }
        FileLock(const FileLock&) = delete;
        FileLock& operator=(const FileLock&) = delete;
        ~FileLock()
        {
            if (m_file != INVALID_HANDLE_VALUE)
            {
                ::CloseHandle(m_file);
            }
        }

    private:
        HANDLE m_file;
    };

    // Shows that a long digest is on its way: an updated line on a console, a line every ten
    // seconds elsewhere.
    class ProgressReporter
    {
    public:
        ProgressReporter() : m_console(IsConsole()), m_shown(false) {}
        ProgressReporter(const ProgressReporter&) = delete;
        ProgressReporter& operator=(const ProgressReporter&) = delete;
        ~ProgressReporter() { Clear(); }

        void Report(const std::wstring& algorithm, double seconds)
        {
            const std::wstring text = algorithm + L": computing... " + std::to_wstring(static_cast<int>(seconds)) + L" s";
            if (m_console)
            {
                WriteErrorText(L"\r" + text);
                m_shown = true;
            }
            else if (static_cast<int>(seconds) % 10 == 0)
            {
                PrintErrorLine(text);
            }
        }

        void Clear()
        {
            if (m_shown)
            {
                WriteErrorText(L"\r" + std::wstring(60, L' ') + L"\r");
                m_shown = false;
            }
        }

    private:
        static bool IsConsole()
        {
            DWORD mode = 0;
            return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
        }

        bool m_console;
        bool m_shown;
    };

    int ShowPages(ShellThread& shell, const Options& options)
    {
        PropertiesDialog dialog(shell, options.paths, OpenTimeoutMs);
        PrintField(L"Pages", Join(dialog.GetPageTitles()));
        dialog.Cancel(CloseTimeoutMs);
        return 0;
    }

    void ShowFile(ShellThread& shell, const Options& options, const std::wstring& path)
    {
        const ULONGLONG size = GetFileSize(path);
        const double timeout = options.timeoutSeconds > 0
                                   ? options.timeoutSeconds
                                   : BaseDigestTimeoutSeconds + static_cast<double>(size) / SlowestBytesPerSecond;
        const FileLock lock(path, options.lock);
        PropertiesDialog dialog(shell, {path}, OpenTimeoutMs);
        PrintField(L"File", path);
        PrintField(L"Size", std::to_wstring(size) + L" bytes");
        PrintField(L"Pages", Join(dialog.GetPageTitles()));

        DigestPage page(dialog.BringPageForward(PageTitle));
        const std::vector<std::wstring> algorithms = page.GetAlgorithms();
        std::vector<std::wstring> digests;
        for (size_t index = 0; index < algorithms.size(); ++index)
        {
            // The first activation has asked for the first algorithm already.
            if (index > 0)
            {
                page.Select(static_cast<int>(index));
            }
            ProgressReporter progress;
            try
            {
                digests.push_back(page.WaitForDigest(timeout, [&](double seconds) { progress.Report(algorithms[index], seconds); }));
            }
            catch (const Failure& failure)
            {
                throw Failure(algorithms[index] + L" of " + path + L": " + failure.GetMessage());
            }
            progress.Clear();
            PrintField(algorithms[index], OneLine(digests.back()));
        }

        for (const std::wstring& expected : options.expected)
        {
            // A person compares with the algorithm that yields a value of that length.
            size_t chosen = 0;
            while (chosen + 1 < digests.size() && digests[chosen].size() != expected.size())
            {
                ++chosen;
            }
            page.Select(static_cast<int>(chosen));
            const std::wstring verdict = page.Compare(expected);
            PrintField(L"Compare (" + algorithms[chosen] + L")", verdict.empty() ? L"(no verdict shown)" : verdict);
        }

        if (!options.screenshot.empty())
        {
            SaveScreenshot(dialog.GetHandle(), options.screenshot);
            PrintField(L"Screenshot", options.screenshot);
        }
        dialog.Cancel(CloseTimeoutMs);
    }

    int ShowFiles(ShellThread& shell, const Options& options)
    {
        for (const std::wstring& path : options.paths)
        {
            ShowFile(shell, options, path);
        }
        return 0;
    }
}

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options))
    {
        PrintErrorLine(L"usage: digestry_shellhost [--expect VALUE]... [--screenshot FILE.png] [--lock] "
                       L"[--timeout SECONDS] FILE...\n"
                       L"       digestry_shellhost --pages ITEM...\n"
                       L"(--screenshot takes one FILE)");
        return 2;
    }
    return DriveShell([&](ShellThread& shell) { return options.pagesOnly ? ShowPages(shell, options) : ShowFiles(shell, options); });
}
