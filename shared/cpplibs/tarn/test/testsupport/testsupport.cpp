#include "testsupport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <stdexcept>

// The executable's import slot for the C runtime's malloc, through which every call of it goes.
extern "C" void* (__cdecl* __imp_malloc)(size_t size);

namespace TarnTest
{
    namespace
    {
        const DWORD DebugBufferSize = 4096;
        // Written by GetLines itself: when the reader sees it, every earlier line has been read,
        // because writers hand the buffer over one line at a time.
        const char MarkerPrefix[] = "TarnTest.DebugOutputListener.Marker ";

        HANDLE CreateProtocolEvent(PCWSTR name)
        {
            HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, name);
            if (event != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS)
            {
                ::CloseHandle(event);
                throw std::runtime_error("another debug output listener is running");
            }
            if (event == nullptr)
            {
                throw std::runtime_error("CreateEventW failed for the debug output protocol");
            }
            return event;
        }

        TestModule TheTestModule;

        typedef void*(__cdecl* MallocFunction)(size_t size);
        MallocFunction RealMalloc = nullptr;
        std::atomic<DWORD> FailingThread(0);
        std::atomic<int> SuccessesLeft(0);

        void* __cdecl FailingMalloc(size_t size)
        {
            if (::GetCurrentThreadId() == FailingThread && SuccessesLeft.fetch_sub(1) == 0)
            {
                return nullptr;
            }
            return RealMalloc(size);
        }

        void SetMalloc(MallocFunction function)
        {
            DWORD protection = 0;
            ::VirtualProtect(&__imp_malloc, sizeof(__imp_malloc), PAGE_READWRITE, &protection);
            __imp_malloc = function;
            ::VirtualProtect(&__imp_malloc, sizeof(__imp_malloc), protection, &protection);
        }
    }

    HeapFailure::HeapFailure(int successes)
    {
        SuccessesLeft = successes;
        FailingThread = ::GetCurrentThreadId();
        RealMalloc = __imp_malloc;
        SetMalloc(&FailingMalloc);
    }

    HeapFailure::~HeapFailure()
    {
        SetMalloc(RealMalloc);
        FailingThread = 0;
    }

    DebugOutputListener::DebugOutputListener()
        : m_bufferReady(CreateProtocolEvent(L"DBWIN_BUFFER_READY")),
          m_dataReady(CreateProtocolEvent(L"DBWIN_DATA_READY")),
          m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          m_mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, DebugBufferSize, L"DBWIN_BUFFER")),
          m_view(m_mapping ? ::MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr),
          m_markersSent(0),
          m_markersSeen(0)
    {
        if (!m_stop || !m_view)
        {
            throw std::runtime_error("the debug output buffer could not be created");
        }
        m_reader = std::thread([this] { Read(); });
        // A reader that has not started yet waits for the loader lock, so lines written under it
        // (a DLL's attach and detach) would time out unread.
        WaitForPendingLines();
    }

    DebugOutputListener::~DebugOutputListener()
    {
        ::SetEvent(m_stop.get());
        m_reader.join();
    }

    std::vector<std::string> DebugOutputListener::GetLines()
    {
        WaitForPendingLines();
        std::lock_guard<std::mutex> guard(m_lock);
        return m_lines;
    }

    std::vector<std::string> DebugOutputListener::GetLinesContaining(const std::string& text)
    {
        std::vector<std::string> matching;
        for (const std::string& line : GetLines())
        {
            if (line.find(text) != std::string::npos)
            {
                matching.push_back(line);
            }
        }
        return matching;
    }

    void DebugOutputListener::Clear()
    {
        WaitForPendingLines();
        std::lock_guard<std::mutex> guard(m_lock);
        m_lines.clear();
    }

    void DebugOutputListener::WaitForPendingLines()
    {
        unsigned marker;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            marker = ++m_markersSent;
        }
        ::OutputDebugStringA((MarkerPrefix + std::to_string(marker)).c_str());
        std::unique_lock<std::mutex> guard(m_lock);
        m_markerArrived.wait_for(guard, std::chrono::seconds(10), [this, marker] { return m_markersSeen >= marker; });
    }

    void DebugOutputListener::Read()
    {
        const HANDLE events[] = {m_dataReady.get(), m_stop.get()};
        const BYTE* view = static_cast<const BYTE*>(m_view.get());
        for (;;)
        {
            ::SetEvent(m_bufferReady.get());
            if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0)
            {
                return;
            }
            DWORD processId;
            std::memcpy(&processId, view, sizeof(processId));
            if (processId != ::GetCurrentProcessId())
            {
                continue;
            }
            const char* text = reinterpret_cast<const char*>(view + sizeof(processId));
            const std::string line(text, strnlen(text, DebugBufferSize - sizeof(processId)));

            std::lock_guard<std::mutex> guard(m_lock);
            if (line.compare(0, sizeof(MarkerPrefix) - 1, MarkerPrefix) == 0)
            {
                m_markersSeen = std::stoul(line.substr(sizeof(MarkerPrefix) - 1));
                m_markerArrived.notify_all();
            }
            else
            {
                m_lines.push_back(line);
            }
        }
    }

    size_t CountErrorLines(DebugOutputListener& listener, const std::string& source, const std::string& function,
                           const std::string& message)
    {
        const std::string sourceField = " ERROR " + source + "(";
        const std::string ending = ") " + function + "(): " + message + "\r\n";
        size_t count = 0;
        for (const std::string& line : listener.GetLinesContaining(ending))
        {
            if (line.find(sourceField) != std::string::npos && line.size() >= ending.size() &&
                line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
            {
                ++count;
            }
        }
        return count;
    }

    bool WaitUntil(const std::function<bool()>& condition, DWORD patience)
    {
        const ULONGLONG deadline = ::GetTickCount64() + patience;
        for (;;)
        {
            if (condition())
            {
                return true;
            }
            if (::GetTickCount64() >= deadline)
            {
                return false;
            }
            ::Sleep(5);
        }
    }

    size_t CountOpenHandles()
    {
        size_t count = 0;
        for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        {
            DWORD flags;
            if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            {
                ++count;
            }
        }
        return count;
    }

    size_t GetHeapBytesInUse()
    {
        HANDLE heaps[256];
        const DWORD heapCount = ::GetProcessHeaps(ARRAYSIZE(heaps), heaps);
        if (heapCount == 0 || heapCount > ARRAYSIZE(heaps))
        {
            throw std::runtime_error("GetProcessHeaps failed");
        }
        size_t bytes = 0;
        for (DWORD index = 0; index < heapCount; ++index)
        {
            const bool locked = ::HeapLock(heaps[index]) != FALSE;
            PROCESS_HEAP_ENTRY entry = {};
            while (::HeapWalk(heaps[index], &entry))
            {
                if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0)
                {
                    bytes += entry.cbData;
                }
            }
            if (locked)
            {
                ::HeapUnlock(heaps[index]);
            }
        }
        return bytes;
    }

    size_t MeasureHeapGrowth(const std::function<void()>& workload, int iterations)
    {
        const auto runAll = [&workload, iterations] {
            for (int iteration = 0; iteration < iterations; ++iteration)
            {
                workload();
            }
        };
        runAll();
        // Wine sometimes still holds a few hundred bytes for threads that have just ended; that
        // noise comes and goes, while a leak shows in every measurement.
        size_t growth = 0;
        for (int measurement = 0; measurement < 3; ++measurement)
        {
            const size_t before = GetHeapBytesInUse();
            runAll();
            const size_t after = GetHeapBytesInUse();
            const size_t measured = after > before ? after - before : 0;
            growth = measurement == 0 ? measured : std::min(growth, measured);
            if (growth == 0)
            {
                break;
            }
        }
        return growth;
    }

    std::wstring GetTestFolder()
    {
        wchar_t path[MAX_PATH];
        const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        const std::wstring executable(path, length);
        return executable.substr(0, executable.rfind(L'\\') + 1);
    }

    ServerLibrary::ServerLibrary(const std::wstring& path) : m_module(::LoadLibraryW(path.c_str()))
    {
        if (m_module == nullptr)
        {
            throw std::runtime_error("the server DLL does not load");
        }
    }

    ServerLibrary::~ServerLibrary()
    {
        ::FreeLibrary(m_module);
    }

    HRESULT ServerLibrary::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
    {
        typedef HRESULT(STDAPICALLTYPE * Function)(REFCLSID, REFIID, void**);
        return GetExport<Function>(m_module, "DllGetClassObject")(clsid, iid, object);
    }

    HRESULT ServerLibrary::CanUnloadNow() const
    {
        typedef HRESULT(STDAPICALLTYPE * Function)();
        return GetExport<Function>(m_module, "DllCanUnloadNow")();
    }

    HRESULT ServerLibrary::RegisterServer() const
    {
        typedef HRESULT(STDAPICALLTYPE * Function)();
        return GetExport<Function>(m_module, "DllRegisterServer")();
    }

    HRESULT ServerLibrary::UnregisterServer() const
    {
        typedef HRESULT(STDAPICALLTYPE * Function)();
        return GetExport<Function>(m_module, "DllUnregisterServer")();
    }

    KeyContent ReadKey(const std::wstring& name, HKEY root)
    {
        KeyContent content;
        HKEY key = nullptr;
        if (::RegOpenKeyExW(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        {
            return content;
        }
        content.exists = true;
        for (DWORD index = 0;; ++index)
        {
            wchar_t valueName[256];
            DWORD nameLength = ARRAYSIZE(valueName);
            DWORD type = 0;
            BYTE data[4096] = {};
            DWORD size = sizeof(data) - sizeof(wchar_t);
            if (::RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            {
                break;
            }
            content.values[valueName] = std::make_pair(type, std::wstring(reinterpret_cast<const wchar_t*>(data)));
        }
        for (DWORD index = 0;; ++index)
        {
            wchar_t subkeyName[256];
            DWORD nameLength = ARRAYSIZE(subkeyName);
            if (::RegEnumKeyExW(key, index, subkeyName, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            {
                break;
            }
            content.subkeys.push_back(subkeyName);
        }
        ::RegCloseKey(key);
        return content;
    }

    DWORD RunToEnd(std::wstring commandLine, HANDLE token)
    {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        const BOOL started =
            token == nullptr
                ? ::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &process)
                : ::CreateProcessAsUserW(token, nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process);
        if (!started)
        {
            return static_cast<DWORD>(-1);
        }
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD exitCode = 0;
        ::GetExitCodeProcess(process.hProcess, &exitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return exitCode;
    }

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

    HINSTANCE GetTestInstance()
    {
        return ::GetModuleHandleW(nullptr);
    }

    TestModule::TestModule() noexcept
        : Tarn::ModuleImpl(::GetModuleHandleW(nullptr)), m_retriesLeft(0), m_outOfMemoryCalls(0)
    {
    }

    Tarn::ModuleType TestModule::GetModuleType() const
    {
        return Tarn::ModuleType::Executable;
    }

    bool TestModule::OnOutOfMemory()
    {
        ++m_outOfMemoryCalls;
        return m_retriesLeft.fetch_sub(1) > 0;
    }

    void TestModule::AllowOutOfMemoryRetries(int retries) noexcept
    {
        m_retriesLeft = retries;
        m_outOfMemoryCalls = 0;
    }

    int TestModule::GetOutOfMemoryCalls() const noexcept
    {
        return m_outOfMemoryCalls;
    }

    TestModule& GetTestModule()
    {
        return TheTestModule;
    }

    std::string CaseName(std::string text)
    {
        std::replace_if(
            text.begin(), text.end(), [](char unit) { return std::isalnum(static_cast<unsigned char>(unit)) == 0; }, '_');
        return text;
    }
}
