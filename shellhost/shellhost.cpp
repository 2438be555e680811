// Drives the shell's real Properties dialog and reports what the Digestry page shows.
//
//   digestry_shellhost [--as NAME] [--expect VALUE]... [--screenshot FILE.png] [--lock] [--timeout SECONDS]
//                      [--language NAME [--access-keys]] FILE...
//       For each file in turn: opens its Properties dialog through the shell, brings the Digestry
//       page forward by its tab, selects every algorithm in turn through the combo box and waits for
//       its digest, types each expected value into "Compare to:" (with the algorithm whose digests
//       have its length selected) and reads the verdict, saves a picture of the dialog showing what
//       the report says, and closes it with Cancel. VALUE is 32, 40, 64, 96 or 128 hexadecimal
//       digits. --lock holds the file open without sharing while its dialog is up. --timeout limits
//       the wait for each digest (default: 60 s plus 1 s per 20 MiB of the file). The report names
//       each file and the screenshot as given; --as NAME puts NAME, the program a user ran, before
//       each error instead of "shellhost". --language checks that the page speaks the interface
//       language NAME (such as de-DE; a language digestry.dll has no texts for gets English): its
//       labels, link, "Computing...", digests, failures and verdicts, that its labels fit, that
//       digests read left to right in a mirrored page, and that the digest box shows every line of
//       what it holds (also of a failure with Windows' longer descriptions: "Box" lines of the
//       report give what was measured). --access-keys also
//       checks that Alt and each label's access key reach that label's input, no key repeating (it
//       needs the dialog to be the only one that takes the keyboard).
//   digestry_shellhost --pages ITEM...
//       Opens one Properties dialog for the items together (a selection in one folder) and prints
//       the titles of its pages.
//
// Exit code 0 when the page showed every digest and every verdict was "Checksum match", 1 when it
// showed everything and a verdict was "Checksum mismatch", 2 on any failure or wrong use (with one
// line on standard error).

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console.h"
#include "digestpage.h"
#include "pagecheck.h"
#include "pagetexts.h"
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
        std::wstring language;
        bool accessKeys = false;
        bool pagesOnly = false;
        bool lock = false;
        double timeoutSeconds = 0;
    };

    struct DigestLength
    {
        size_t digits;
        const wchar_t* algorithm;
    };
    const DigestLength DigestLengths[] = {
        {32, L"MD5"}, {40, L"SHA-1"}, {64, L"SHA-256"}, {96, L"SHA-384"}, {128, L"SHA-512"}};

    // The algorithm whose digests are written with as many hexadecimal digits as the text has
    // (in either case), or empty when the text is no such value.
    std::wstring AlgorithmOf(const std::wstring& text)
    {
        if (text.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
        {
            return std::wstring();
        }
        for (const DigestLength& length : DigestLengths)
        {
            if (length.digits == text.size())
            {
                return length.algorithm;
            }
        }
        return std::wstring();
    }

    // What the page shows for a digest: lower-case hexadecimal of the algorithm's length.
    bool IsDigest(const std::wstring& text, const std::wstring& algorithm)
    {
        return text.find_first_not_of(L"0123456789abcdef") == std::wstring::npos && AlgorithmOf(text) == algorithm;
    }

    // Throws Failure with what is wrong in the arguments.
    Options ParseOptions(int argc, wchar_t** argv)
    {
        Options options;
        for (int index = 1; index < argc; ++index)
        {
            const std::wstring argument = argv[index];
            const bool hasValue = index + 1 < argc;
            if (argument == L"--as" && hasValue)
            {
                SetProgramName(argv[++index]);
            }
            else if (argument == L"--expect" && hasValue)
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
                    throw Failure(L"--timeout takes a number of seconds above 0");
                }
            }
            else if (argument == L"--language" && hasValue)
            {
                options.language = argv[++index];
                if (::LocaleNameToLCID(options.language.c_str(), 0) == 0)
                {
                    throw Failure(L"--language " + options.language + L": not a language name such as de-DE");
                }
            }
            else if (argument == L"--access-keys")
            {
                options.accessKeys = true;
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
                throw Failure(L"unknown option " + argument);
            }
            else
            {
                options.paths.push_back(argument);
            }
        }
        const bool fileOptions = !options.expected.empty() || !options.screenshot.empty() || options.lock ||
                                 options.timeoutSeconds > 0 || !options.language.empty();
        if (options.paths.empty())
        {
            throw Failure(L"no file given");
        }
        if (options.accessKeys && options.language.empty())
        {
            throw Failure(L"--access-keys goes with --language");
        }
        if (options.pagesOnly && fileOptions)
        {
            throw Failure(L"--pages takes no other option");
        }
        if (!options.screenshot.empty() && options.paths.size() > 1)
        {
            throw Failure(L"--screenshot takes one file");
        }
        return options;
    }

    // Throws Failure, which needs no usage, for an expected value of no digest's length.
    void CheckExpectedValues(const Options& options)
    {
        for (const std::wstring& expected : options.expected)
        {
            if (AlgorithmOf(expected).empty())
            {
                throw Failure(L"--expect " + expected + L": a digest has 32, 40, 64, 96 or 128 hexadecimal digits");
            }
        }
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

    // What keeps the shell from opening a file, in a user's words.
    std::wstring DescribeOpenError(DWORD error)
    {
        switch (error)
        {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return L"not found";
        case ERROR_ACCESS_DENIED:
            return L"not readable (permission denied)";
        case ERROR_INVALID_NAME:
            return L"a name Windows cannot hold";
        default:
            return L"cannot be opened";
        }
    }

    // The full name of a path as given (relative, or rooted on the current drive, with either slash),
    // which the shell and the file system take. Throws Failure when there is none.
    std::wstring GetFullPath(const std::wstring& path)
    {
        std::wstring full(MAX_PATH, L'\0');
        for (;;)
        {
            const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
            if (length == 0)
            {
                throw Failure(path + L": " + DescribeOpenError(::GetLastError()));
            }
            if (length < full.size())
            {
                full.resize(length);
                return full;
            }
            full.resize(length);
        }
    }

    // The size of the file given as path, whose full name is fullPath. Throws Failure, naming the file
    // as given, when the shell cannot show the file's digests.
    ULONGLONG GetFileSize(const std::wstring& path, const std::wstring& fullPath)
    {
        // The shell parses no path of MAX_PATH characters or more, whatever the file system allows.
        if (fullPath.size() >= MAX_PATH)
        {
            // A path rooted on the current drive ("\dir\file" or "/dir/file") gets the drive's two characters too.
            const auto isSlash = [](wchar_t character) { return character == L'/' || character == L'\\'; };
            const bool onCurrentDrive = !path.empty() && isSlash(path[0]) && (path.size() < 2 || !isSlash(path[1]));
            const std::wstring counted = onCurrentDrive ? fullPath.substr(0, 2) + L" and the path make " : std::wstring();
            throw Failure(path + L": the path is too long for Windows' shell (" + counted +
                          std::to_wstring(fullPath.size()) + L" characters; it opens at most " +
                          std::to_wstring(MAX_PATH - 1) + L")");
        }
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!::GetFileAttributesExW(fullPath.c_str(), GetFileExInfoStandard, &data))
        {
            const DWORD error = ::GetLastError();
            throw Failure(path + L": " + DescribeOpenError(error) + L" (" + FormatCode(HRESULT_FROM_WIN32(error)) + L")");
        }
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        {
            throw Failure(path + L": a folder, not a file");
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

    std::wstring Quoted(const std::wstring& text)
    {
        return L"\"" + text + L"\"";
    }

    std::wstring Describe(const PageView& view)
    {
        return view.algorithm + L" selected, " + Quoted(OneLine(view.digest)) + L" shown, " + Quoted(view.compareTo) +
               L" to compare, " + Quoted(view.verdict) + L" as the verdict";
    }

    // The texts the page must show for the language; English for a language digestry.dll has none for.
    PageTexts LoadExpectedTexts(HMODULE dll, const std::wstring& language)
    {
        try
        {
            return PageTexts::Load(dll, LANGIDFROMLCID(::LocaleNameToLCID(language.c_str(), 0)));
        }
        catch (const Failure&)
        {
            return PageTexts::Load(dll, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        }
    }

    // A failure is told in the page's language: its text begins as the resources' does, up to the
    // system's description.
    void CheckFailureText(const std::wstring& shown, const std::wstring& algorithm, const PageTexts& texts)
    {
        const std::wstring introduction = texts.failure.substr(0, texts.failure.find(L"{0}"));
        if (!IsDigest(shown, algorithm) && shown.compare(0, introduction.size(), introduction) != 0)
        {
            throw Failure(algorithm + L" shows " + Quoted(OneLine(shown)) + L", neither a digest nor the failure text " +
                          Quoted(OneLine(introduction)));
        }
    }

    // Returns 0 when the page showed every digest and every verdict was a match, 1 when a verdict was
    // a mismatch.
    int ShowFile(ShellThread& shell, const Options& options, const std::wstring& path)
    {
        // The report and the messages name the file as given; the shell and the file system get its full name.
        const std::wstring fullPath = GetFullPath(path);
        const ULONGLONG size = GetFileSize(path, fullPath);
        const double timeout = options.timeoutSeconds > 0
                                   ? options.timeoutSeconds
                                   : BaseDigestTimeoutSeconds + static_cast<double>(size) / SlowestBytesPerSecond;
        const FileLock lock(fullPath, options.lock);
        PropertiesDialog dialog(shell, {fullPath}, OpenTimeoutMs);
        PrintField(L"File", path);
        PrintField(L"Size", std::to_wstring(size) + L" bytes");
        PrintField(L"Pages", Join(dialog.GetPageTitles()));

        const HWND pageWindow = dialog.BringPageForward(PageTitle);
        // The DLL is loaded now; its texts are those that Windows picked for the page.
        const HMODULE dll = ::GetModuleHandleW(L"digestry.dll");
        const PageTexts texts = PageTexts::Load(dll, LANG_NEUTRAL);
        if (!options.language.empty())
        {
            if (texts != LoadExpectedTexts(dll, options.language))
            {
                throw Failure(L"the Digestry page of " + path + L" does not speak " + options.language + L" (it shows " +
                              Join(texts.labels) + L")");
            }
            CheckTexts(pageWindow, texts);
            CheckTextsFit(pageWindow, texts);
            PrintField(L"Language", options.language);
        }
        DigestPage page(pageWindow, texts.computing);
        const std::vector<std::wstring> algorithms = page.GetAlgorithms();
        std::vector<std::wstring> digests;
        std::vector<std::wstring> failed;
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
            if (!IsDigest(digests.back(), algorithms[index]))
            {
                failed.push_back(algorithms[index]);
            }
            if (!options.language.empty())
            {
                CheckFailureText(digests.back(), algorithms[index], texts);
                PrintField(L"Box (" + algorithms[index] + L")", CheckDigestBoxReadable(pageWindow));
            }
        }
        if (!options.language.empty())
        {
            const bool mirrored = CheckReadingOrder(pageWindow, IsDigest(digests.back(), algorithms.back()));
            PrintField(L"Layout", mirrored ? L"right to left" : L"left to right");
        }
        if (!failed.empty() && !options.language.empty())
        {
            for (const auto& measured : CheckWindowsFailuresReadable(pageWindow, texts))
            {
                PrintField(L"Box (" + measured.first + L")", measured.second);
            }
        }
        if (!failed.empty())
        {
            throw Failure(L"the Digestry page of " + path + L" shows an error instead of a digest for " + Join(failed));
        }

        // What the report says the page shows last.
        PageView shown{algorithms.back(), digests.back(), std::wstring(), std::wstring()};
        bool mismatch = false;
        for (const std::wstring& expected : options.expected)
        {
            // A person compares with the algorithm that yields a value of that length.
            const std::wstring algorithm = AlgorithmOf(expected);
            const auto chosen = std::find(algorithms.begin(), algorithms.end(), algorithm);
            if (chosen == algorithms.end())
            {
                // NOLINTNEXTLINE(performance-inefficient-string-concatenation): built once, as the run ends
                throw Failure(L"the Digestry page of " + path + L" offers no " + algorithm);
            }
            const size_t index = static_cast<size_t>(chosen - algorithms.begin());
            page.Select(static_cast<int>(index));
            shown = PageView{algorithm, digests[index], expected, page.Compare(expected)};
            if (shown.verdict != texts.match && shown.verdict != texts.mismatch)
            {
                // NOLINTNEXTLINE(performance-inefficient-string-concatenation): built once, as the run ends
                throw Failure(L"the Digestry page of " + path + L" shows no verdict on " + expected + L" (" +
                              Describe(page.Read()) + L")");
            }
            // The report names the verdict in its own words whatever the page's language, for scripts.
            const bool differs = shown.verdict == texts.mismatch;
            PrintField(L"Compare (" + algorithm + L")", differs ? L"Checksum mismatch" : L"Checksum match");
            mismatch = mismatch || differs;
        }
        if (options.accessKeys)
        {
            CheckAccessKeys(dialog.GetHandle(), pageWindow);
        }

        if (!options.screenshot.empty())
        {
            // The picture must show what the report says: the page has painted it, and still shows it.
            dialog.Repaint();
            const PageView now = page.Read();
            if (now != shown)
            {
                throw Failure(L"the Digestry page of " + path + L" no longer shows what the report says (" +
                              Describe(now) + L"); no screenshot taken");
            }
            SaveScreenshot(dialog.GetHandle(), GetFullPath(options.screenshot));
            PrintField(L"Screenshot", options.screenshot);
        }
        dialog.Cancel(CloseTimeoutMs);
        return mismatch ? 1 : 0;
    }

    int ShowFiles(ShellThread& shell, const Options& options)
    {
        int exitCode = 0;
        for (const std::wstring& path : options.paths)
        {
            exitCode = std::max(exitCode, ShowFile(shell, options, path));
        }
        return exitCode;
    }
}

int wmain(int argc, wchar_t** argv)
{
    Options options;
    try
    {
        options = ParseOptions(argc, argv);
    }
    catch (const Failure& failure)
    {
        PrintFailure(failure.GetMessage() +
                     L"; usage: digestry_shellhost [--as NAME] [--expect VALUE]... [--screenshot FILE.png] [--lock] "
                     L"[--timeout SECONDS] [--language NAME [--access-keys]] FILE... | --pages ITEM...");
        return FailureExitCode;
    }
    try
    {
        CheckExpectedValues(options);
    }
    catch (const Failure& failure)
    {
        PrintFailure(failure.GetMessage());
        return FailureExitCode;
    }
    return DriveShell([&](ShellThread& shell) { return options.pagesOnly ? ShowPages(shell, options) : ShowFiles(shell, options); });
}
