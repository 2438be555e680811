#pragma once

// Shared test helpers for the foundation's tests: the test module object, a listener for debugger
// output lines, and heap accounting for leak checks.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tarnexception.h"
#include "tarnmoduleimpl.h"

namespace TarnTest
{
    // Thrown by test code where no code of the foundation would throw, to see how a boundary takes
    // what is not a Tarn::Exception.
    struct UnexpectedFailure
    {
    };

    // The Tarn error code the action throws, or S_OK when it throws none.
    template <typename Action>
    HRESULT ThrownCode(Action action)
    {
        try
        {
            action();
        }
        catch (const Tarn::Exception& exception)
        {
            return exception.GetErrorCode();
        }
        return S_OK;
    }

    // The module's export of that name as a function of the given type, or null.
    template <typename Function>
    Function GetExport(HMODULE module, const char* name)
    {
        // Through the generic function type, which converts to any other without a warning.
        typedef void (*AnyFunction)();
        return reinterpret_cast<Function>(reinterpret_cast<AnyFunction>(::GetProcAddress(module, name)));
    }

    // Listens to OutputDebugString output exactly as a debug-output viewer does (the DBWIN_BUFFER
    // protocol), so tests see the lines as a developer would. Lines arrive as ANSI text. Only one
    // listener may exist at a time; lines written before construction are not seen. Only lines of
    // this process are kept.
    class DebugOutputListener
    {
    public:
        // Throws std::runtime_error when the protocol's objects cannot be created or another
        // listener already owns them.
        DebugOutputListener();
        ~DebugOutputListener();
        DebugOutputListener(const DebugOutputListener&) = delete;
        DebugOutputListener& operator=(const DebugOutputListener&) = delete;

        // Every line received so far, as written (terminators included). Lines written before the
        // call, by any thread of the process, have been received when it returns.
        std::vector<std::string> GetLines();
        // Lines received so far that contain the text.
        std::vector<std::string> GetLinesContaining(const std::string& text);
        void Clear();

    private:
        struct HandleCloser
        {
            void operator()(HANDLE handle) const { ::CloseHandle(handle); }
        };
        struct ViewUnmapper
        {
            void operator()(const void* view) const { ::UnmapViewOfFile(view); }
        };
        using Handle = std::unique_ptr<void, HandleCloser>;

        void Read();
        void WaitForPendingLines();

        Handle m_bufferReady;
        Handle m_dataReady;
        Handle m_stop;
        Handle m_mapping;
        std::unique_ptr<const void, ViewUnmapper> m_view;
        std::mutex m_lock;
        std::condition_variable m_markerArrived;
        std::vector<std::string> m_lines;
        unsigned m_markersSent;
        unsigned m_markersSeen;
        std::thread m_reader;
    };

    // How many ERROR lines of the trace source (such as "src\\tarnfile") the listener received from
    // the function (its qualified name) with exactly this message.
    size_t CountErrorLines(DebugOutputListener& listener, const std::string& source, const std::string& function,
                           const std::string& message);

    // Looks at the condition every few milliseconds until it holds (true) or the patience has run out
    // (false). For states that nothing signals, such as a thread or a module that is gone; the
    // patience only stops a test that would otherwise hang, and is far above any wait that passes.
    bool WaitUntil(const std::function<bool()>& condition, DWORD patience = 60000);

    // Kernel handles of this process, counted one by one: the platform's own count reads 0 under Wine.
    size_t CountOpenHandles();

    // Bytes in use on every heap of the process (busy blocks), for leak checks.
    size_t GetHeapBytesInUse();

    // Runs the workload a number of times to warm caches, then measures the heap before and after
    // running it `iterations` more times; returns the growth in bytes (0 when it shrank). A growth
    // is measured again, up to three times in all, and the smallest is returned.
    size_t MeasureHeapGrowth(const std::function<void()>& workload, int iterations);

    // While it lives, one heap request that the calling thread makes through the C runtime's malloc
    // (the global allocation operators make theirs that way) fails: the one after the first
    // `successes`. Only one fails, so that throwing the resulting exception, which needs the heap
    // too, still works. Other threads are not affected. One at a time.
    class HeapFailure
    {
    public:
        explicit HeapFailure(int successes);
        ~HeapFailure();
        HeapFailure(const HeapFailure&) = delete;
        HeapFailure& operator=(const HeapFailure&) = delete;
    };

    // The folder of the test executable, with a trailing backslash; helper DLLs and executables are
    // built beside it.
    std::wstring GetTestFolder();

    // An in-process server DLL loaded for the object's lifetime, with the server's exports.
    class ServerLibrary
    {
    public:
        // Throws std::runtime_error when the DLL does not load.
        explicit ServerLibrary(const std::wstring& path);
        ~ServerLibrary();
        ServerLibrary(const ServerLibrary&) = delete;
        ServerLibrary& operator=(const ServerLibrary&) = delete;

        HMODULE GetHandle() const { return m_module; }
        HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
        HRESULT CanUnloadNow() const;
        HRESULT RegisterServer() const;
        HRESULT UnregisterServer() const;

    private:
        HMODULE m_module;
    };

    // Whether a key under the root exists, its values (name to type and text) and the names
    // of its subkeys.
    struct KeyContent
    {
        bool exists = false;
        std::map<std::wstring, std::pair<DWORD, std::wstring>> values;
        std::vector<std::wstring> subkeys;

        bool operator==(const KeyContent& other) const
        {
            return exists == other.exists && values == other.values && subkeys == other.subkeys;
        }
    };

    KeyContent ReadKey(const std::wstring& name, HKEY root = HKEY_CLASSES_ROOT);

    // Runs the command line to its end, as this process or, with a token, as that token's user;
    // returns its exit code, or 0xFFFFFFFF when the process does not start.
    DWORD RunToEnd(std::wstring commandLine, HANDLE token = nullptr);

    // A primary token of this process's user without elevation (the linked token of our own), for
    // RunToEnd; null when there is none. The caller closes it.
    HANDLE CreateUnelevatedToken();

    // The module handle of the test executable, which carries the test string table.
    HINSTANCE GetTestInstance();

    // The process's module object over the test executable, built during static initialisation.
    // Its out-of-memory hook counts its calls and asks the allocator to retry as often as a test
    // allows (never, by default).
    class TestModule : public Tarn::ModuleImpl
    {
    public:
        TestModule() noexcept;

        Tarn::ModuleType GetModuleType() const override;
        bool OnOutOfMemory() override;

        // The next `retries` calls of the hook answer true, later ones false; resets the count.
        void AllowOutOfMemoryRetries(int retries) noexcept;
        int GetOutOfMemoryCalls() const noexcept;

    private:
        std::atomic<int> m_retriesLeft;
        std::atomic<int> m_outOfMemoryCalls;
    };

    TestModule& GetTestModule();

    // A table row's text as the name of its test case: every character but a letter or a digit becomes
    // '_', as GoogleTest takes no other.
    std::string CaseName(std::string text);
}
