#pragma once

// The thread that owns the Properties dialogs, as the shell's UI thread does in a file manager.
// The shell opens the dialog modally on the thread that invokes the verb, so the program that
// drives the dialog does so from another thread and hands its requests to this one.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ShellHost
{
    // One "properties" verb invoked through the shell, as seen from the driving thread.
    class PropertiesRequest
    {
    public:
        explicit PropertiesRequest(std::vector<std::wstring> paths);
        PropertiesRequest(const PropertiesRequest&) = delete;
        PropertiesRequest& operator=(const PropertiesRequest&) = delete;
        ~PropertiesRequest();

        const std::vector<std::wstring>& GetPaths() const { return m_paths; }
        // Whether the verb has returned: under Wine the dialog has then closed.
        bool IsDone() const { return ::WaitForSingleObject(m_done, 0) == WAIT_OBJECT_0; }
        // Valid once done: what the shell answered, and which call it was.
        HRESULT GetResult() const { return m_result; }
        const wchar_t* GetFailedCall() const { return m_failedCall; }

    private:
        friend class ShellThread;
        void Execute();

        std::vector<std::wstring> m_paths;
        HANDLE m_done;
        HRESULT m_result;
        const wchar_t* m_failedCall;
    };

    class ShellThread
    {
    public:
        // Made on the thread that will serve (and own the dialogs).
        ShellThread();
        ShellThread(const ShellThread&) = delete;
        ShellThread& operator=(const ShellThread&) = delete;
        ~ShellThread();

        // Serves requests, pumping messages while idle, until Stop. Runs on the owning thread.
        void Serve();

        // From any other thread: asks the shell to open the Properties dialog of the items, which
        // must all be in one folder (a selection). Returns at once.
        std::shared_ptr<PropertiesRequest> OpenProperties(std::vector<std::wstring> paths);
        // From any other thread: makes Serve return once the current request has ended.
        void Stop();
        // From any other thread: waits until Serve has returned; false after the time limit.
        bool WaitUntilStopped(DWORD timeoutMs) const;

    private:
        HANDLE m_wake;
        HANDLE m_stopped;
        CRITICAL_SECTION m_lock;
        std::vector<std::shared_ptr<PropertiesRequest>> m_pending;
        bool m_stopping;
    };

    // The exit code of a drive that failed: 0 and 1 are left to the drive's own results.
    const int FailureExitCode = 2;

    // Runs the drive on a thread of its own while the calling thread serves as the shell's UI
    // thread, and returns the drive's exit code. A Failure that escapes the drive is reported and
    // gives FailureExitCode; so does a dialog still up after the drive, and the process then ends
    // without waiting for it.
    int DriveShell(const std::function<int(ShellThread&)>& drive);
}
