#include "shellthread.h"

#include <objbase.h>
#include <shlobj.h>

#include <thread>

#include "compointer.h"
#include "console.h"

namespace ShellHost
{
    namespace
    {
        // How long a Properties dialog may take to close after the drive has ended.
        const DWORD StopTimeoutMs = 15000;

        HANDLE CreateEvent(BOOL manualReset)
        {
            const HANDLE event = ::CreateEventW(nullptr, manualReset, FALSE, nullptr);
            if (event == nullptr)
            {
                throw Failure(L"CreateEventW failed");
            }
            return event;
        }

        // An item of the shell namespace: its absolute identifier list, freed with the object.
        class ItemIdList
        {
        public:
            explicit ItemIdList(const std::wstring& path, HRESULT& result) : m_list(nullptr)
            {
                result = ::SHParseDisplayName(path.c_str(), nullptr, &m_list, 0, nullptr);
            }
            ItemIdList(ItemIdList&& other) noexcept : m_list(other.m_list) { other.m_list = nullptr; }
            ItemIdList(const ItemIdList&) = delete;
            ItemIdList& operator=(const ItemIdList&) = delete;
            ~ItemIdList() { ::CoTaskMemFree(m_list); }

            PCIDLIST_ABSOLUTE Get() const { return m_list; }

        private:
            PIDLIST_ABSOLUTE m_list;
        };
    }

    PropertiesRequest::PropertiesRequest(std::vector<std::wstring> paths)
        : m_paths(std::move(paths)), m_done(CreateEvent(TRUE)), m_result(E_PENDING), m_failedCall(L"")
    {
    }

    PropertiesRequest::~PropertiesRequest()
    {
        ::CloseHandle(m_done);
    }

    // What a file manager does for "Properties" on a selection: one context menu for the items of
    // one folder, and its "properties" verb.
    void PropertiesRequest::Execute()
    {
        std::vector<ItemIdList> items;
        std::vector<PCUITEMID_CHILD> children;
        ComPointer<IShellFolder> folder;
        HRESULT result = S_OK;
        m_failedCall = L"SHParseDisplayName";
        for (const std::wstring& path : m_paths)
        {
            items.emplace_back(path, result);
            if (FAILED(result))
            {
                break;
            }
        }
        if (SUCCEEDED(result))
        {
            m_failedCall = L"SHBindToParent";
            for (const ItemIdList& item : items)
            {
                // The first item's folder is the selection's; the children point into the items.
                ComPointer<IShellFolder> other;
                ComPointer<IShellFolder>& parent = children.empty() ? folder : other;
                PCUITEMID_CHILD child = nullptr;
                result = ::SHBindToParent(item.Get(), IID_IShellFolder, parent.ReceiveVoid(), &child);
                if (FAILED(result))
                {
                    break;
                }
                children.push_back(child);
            }
        }
        ComPointer<IContextMenu> menu;
        if (SUCCEEDED(result))
        {
            m_failedCall = L"IShellFolder::GetUIObjectOf";
            result = folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IContextMenu,
                                           nullptr, menu.ReceiveVoid());
        }
        if (SUCCEEDED(result))
        {
            m_failedCall = L"IContextMenu::InvokeCommand";
            CMINVOKECOMMANDINFO invoke = {};
            invoke.cbSize = sizeof(invoke);
            invoke.lpVerb = "properties";
            invoke.nShow = SW_SHOWNORMAL;
            result = menu->InvokeCommand(&invoke);
        }
        if (SUCCEEDED(result))
        {
            m_failedCall = L"";
        }
        m_result = result;
        ::SetEvent(m_done);
    }

    ShellThread::ShellThread()
        : m_wake(CreateEvent(FALSE)), m_stopped(CreateEvent(TRUE)), m_stopping(false)
    {
        ::InitializeCriticalSection(&m_lock);
    }

    ShellThread::~ShellThread()
    {
        ::DeleteCriticalSection(&m_lock);
        ::CloseHandle(m_stopped);
        ::CloseHandle(m_wake);
    }

    void ShellThread::Serve()
    {
        for (;;)
        {
            std::shared_ptr<PropertiesRequest> request;
            ::EnterCriticalSection(&m_lock);
            if (!m_pending.empty())
            {
                request = m_pending.front();
                m_pending.erase(m_pending.begin());
            }
            const bool stopping = m_stopping;
            ::LeaveCriticalSection(&m_lock);

            if (request)
            {
                request->Execute();
                continue;
            }
            if (stopping)
            {
                ::SetEvent(m_stopped);
                return;
            }
            // A single-threaded apartment keeps pumping while it waits.
            if (::MsgWaitForMultipleObjects(1, &m_wake, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
            {
                MSG message;
                while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                {
                    ::TranslateMessage(&message);
                    ::DispatchMessageW(&message);
                }
            }
        }
    }

    std::shared_ptr<PropertiesRequest> ShellThread::OpenProperties(std::vector<std::wstring> paths)
    {
        auto request = std::make_shared<PropertiesRequest>(std::move(paths));
        ::EnterCriticalSection(&m_lock);
        m_pending.push_back(request);
        ::LeaveCriticalSection(&m_lock);
        ::SetEvent(m_wake);
        return request;
    }

    bool ShellThread::WaitUntilStopped(DWORD timeoutMs) const
    {
        return ::WaitForSingleObject(m_stopped, timeoutMs) == WAIT_OBJECT_0;
    }

    void ShellThread::Stop()
    {
        ::EnterCriticalSection(&m_lock);
        m_stopping = true;
        ::LeaveCriticalSection(&m_lock);
        ::SetEvent(m_wake);
    }

    int DriveShell(const std::function<int(ShellThread&)>& drive)
    {
        const HRESULT ole = ::OleInitialize(nullptr);
        if (FAILED(ole))
        {
            PrintFailure(L"OleInitialize failed with " + FormatCode(ole));
            return FailureExitCode;
        }
        ShellThread shell;
        int exitCode = FailureExitCode;
        std::thread driver([&] {
            try
            {
                exitCode = drive(shell);
            }
            catch (const Failure& failure)
            {
                PrintFailure(failure.GetMessage());
            }
            shell.Stop();
            // A dialog that never closed keeps its thread in the shell's modal loop for good.
            if (!shell.WaitUntilStopped(StopTimeoutMs))
            {
                PrintFailure(L"a Properties dialog is still open; ending the process");
                ::ExitProcess(static_cast<UINT>(FailureExitCode));
            }
        });
        shell.Serve();
        driver.join();
        ::OleUninitialize();
        return exitCode;
    }
}
