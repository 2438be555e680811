#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarksupport.h"
#include "console.h"
#include "extensionclass.h"
#include "propertiesdialog.h"
#include "shellbenchmark.h"
#include "testsupport.h"

using ShellHost::Failure;
using ShellHost::PropertiesDialog;
using ShellHost::ShellThread;

namespace DigestryBenchmark
{
    namespace
    {
        const std::wstring ServerKey = L"CLSID\\" + DigestryTest::GetExtensionClassText() + L"\\InprocServer32";

        // digestry.dll as the registry names it, loaded here so that its own exports switch the
        // registration (and tell the shell, which may keep lists of handlers). Leaves it registered.
        class Registration
        {
        public:
            Registration() : m_library(nullptr), m_registered(true)
            {
                wchar_t path[MAX_PATH] = L"";
                DWORD size = sizeof(path);
                if (::RegGetValueW(HKEY_CLASSES_ROOT, ServerKey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path,
                                   &size) != ERROR_SUCCESS)
                {
                    throw Failure(L"digestry.dll is not registered");
                }
                m_library = ::LoadLibraryW(path);
                if (m_library == nullptr)
                {
                    throw Failure(L"the registered digestry.dll (" + std::wstring(path) + L") does not load");
                }
            }
            Registration(const Registration&) = delete;
            Registration& operator=(const Registration&) = delete;
            ~Registration()
            {
                try
                {
                    Set(true);
                }
                catch (const Failure& failure)
                {
                    ShellHost::PrintErrorLine(L"benchmark: " + failure.GetMessage());
                }
                ::FreeLibrary(m_library);
            }

            void Set(bool registered)
            {
                if (registered == m_registered)
                {
                    return;
                }
                const char* const name = registered ? "DllRegisterServer" : "DllUnregisterServer";
                const auto function = TarnTest::GetExport<HRESULT(STDAPICALLTYPE*)()>(m_library, name);
                const HRESULT result = function != nullptr ? function() : E_NOINTERFACE;
                if (FAILED(result))
                {
                    throw Failure(std::wstring(name, name + std::char_traits<char>::length(name)) + L" failed with " +
                                  ShellHost::FormatCode(result));
                }
                m_registered = registered;
            }

        private:
            HMODULE m_library;
            bool m_registered;
        };

        // When the Properties dialog was up: the first message that the shell's thread takes from
        // its queue for the dialog, once the dialog is shown and its message loop runs. A look from
        // the driving thread comes only as often as it polls; a hook on sent messages would miss the
        // show, as Wine learns of a new hook only when the thread next reads its queue.
        class ShowWatch
        {
        public:
            explicit ShowWatch(DWORD shellThreadId)
                : m_hook(::SetWindowsHookExW(WH_GETMESSAGE, &OnMessage, nullptr, shellThreadId))
            {
                if (m_hook == nullptr)
                {
                    throw Failure(L"SetWindowsHookExW failed with " + ShellHost::FormatCode(::GetLastError()));
                }
                s_shownAt = 0;
            }
            ShowWatch(const ShowWatch&) = delete;
            ShowWatch& operator=(const ShowWatch&) = delete;
            ~ShowWatch() { ::UnhookWindowsHookEx(m_hook); }

            // Valid once the dialog's thread has answered a message sent after the dialog was found.
            double GetShownAt() const
            {
                if (s_shownAt == 0)
                {
                    throw Failure(L"the shell's thread took no message for the Properties dialog");
                }
                return s_shownAt;
            }

        private:
            static LRESULT CALLBACK OnMessage(int code, WPARAM wParam, LPARAM lParam)
            {
                if (code == HC_ACTION && s_shownAt == 0 && IsInSheet(reinterpret_cast<const MSG*>(lParam)->hwnd))
                {
                    s_shownAt = Seconds();
                }
                return ::CallNextHookEx(nullptr, code, wParam, lParam);
            }

            // The sheet is a visible top-level dialog; its pages and controls are windows inside it.
            static bool IsInSheet(HWND window)
            {
                const HWND root = ::GetAncestor(window, GA_ROOT);
                wchar_t className[16] = L"";
                ::GetClassNameW(root, className, 16);
                return root != nullptr && std::wstring(className) == L"#32770" && ::IsWindowVisible(root);
            }

            static std::atomic<double> s_shownAt;
            HHOOK m_hook;
        };

        std::atomic<double> ShowWatch::s_shownAt{0};

        struct Opening
        {
            double milliseconds;
            double privateKiB;
        };

        Opening Open(ShellThread& shell, DWORD shellThreadId, const std::wstring& path, bool registered)
        {
            const ShowWatch watch(shellThreadId);
            const double start = Seconds();
            PropertiesDialog properties(shell, {path}, OpenTimeoutMs);
            // Painted; and as the dialog's thread has answered since, the hook has seen the show.
            properties.Repaint();
            const Opening opening = {(watch.GetShownAt() - start) * 1000.0,
                                     static_cast<double>(PrivateCommittedKiB())};
            const std::vector<std::wstring> titles = properties.GetPageTitles();
            if ((std::find(titles.begin(), titles.end(), PageTitle) != titles.end()) != registered)
            {
                throw Failure(registered ? L"the Properties dialog lacks the page of the registered extension"
                                         : L"the Properties dialog still shows the page after DllUnregisterServer");
            }
            properties.Cancel(CloseTimeoutMs);
            return opening;
        }

        void PrintRow(const char* name, int decimals, const std::vector<Opening>& without,
                      const std::vector<Opening>& with, double Opening::*field)
        {
            std::vector<double> values[2];
            std::vector<double> differences;
            for (size_t pair = 0; pair < with.size(); ++pair)
            {
                values[0].push_back(without[pair].*field);
                values[1].push_back(with[pair].*field);
                differences.push_back(with[pair].*field - without[pair].*field);
            }
            std::printf("%-20s %-28s %-28s %s\n", name, Describe(Quartiles(values[0]), decimals).c_str(),
                        Describe(Quartiles(values[1]), decimals).c_str(),
                        Describe(MedianInterval(differences), decimals).c_str());
        }
    }

    void MeasureOpening(ShellThread& shell, DWORD shellThreadId, const std::wstring& path, int pairs)
    {
        Registration registration;
        std::vector<Opening> without;
        std::vector<Opening> with;
        // The first pair warms up the shell and the paths that either side takes.
        for (int pair = -1; pair < pairs; ++pair)
        {
            // Alternating the order evens out what the first of a pair pays for the second.
            Opening openings[2];
            for (int turn = 0; turn < 2; ++turn)
            {
                const bool registered = (turn == 0) == (pair % 2 == 0);
                registration.Set(registered);
                openings[registered ? 1 : 0] = Open(shell, shellThreadId, path, registered);
            }
            if (pair >= 0)
            {
                without.push_back(openings[0]);
                with.push_back(openings[1]);
            }
        }
        std::printf("Opening Properties, %d pairs side by side with digestry.dll registered and without (the DLL\n"
                    "stays loaded): from the request to the shell to the dialog shown, and the process's private\n"
                    "committed memory once the dialog has painted:\n",
                    pairs);
        std::printf("%-20s %-28s %-28s %s\n", "", "without", "with", "paired difference");
        std::printf("%-20s %-28s %-28s %s\n", "", "median (quartiles)", "median (quartiles)", "median (90 % interval)");
        PrintRow("time to shown, ms", 1, without, with, &Opening::milliseconds);
        PrintRow("private memory, KiB", 0, without, with, &Opening::privateKiB);
    }
}
