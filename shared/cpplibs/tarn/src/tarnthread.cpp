#include "tarnthread.h"

#include <objbase.h>
#include <process.h>

#include "tarnboundary.h"
#include "tarnexception.h"
#include "tarnfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnthread";
}

namespace Tarn
{
    Thread::Thread(IRunnable* runnable, ComApartment comMode, UINT32 stackSize) : m_handle(nullptr), m_threadId(0)
    {
        if (runnable == nullptr)
        {
            throw ArgumentException();
        }
        AutoPtr<_THREAD_START_PARAMS> parameters(new _THREAD_START_PARAMS());
        parameters->ComMode = comMode;
        parameters->Runnable = runnable;
        StartThread(parameters, stackSize);
    }

    Thread::Thread(ThreadFunction function, void* argument, ComApartment comMode, UINT32 stackSize)
        : m_handle(nullptr), m_threadId(0)
    {
        if (function == nullptr)
        {
            throw ArgumentException();
        }
        AutoPtr<_THREAD_START_PARAMS> parameters(new _THREAD_START_PARAMS());
        parameters->ComMode = comMode;
        parameters->Function = function;
        parameters->Argument = argument;
        StartThread(parameters, stackSize);
    }

    Thread::Thread(const Delegate<>& callback, ComApartment comMode, UINT32 stackSize)
        : m_handle(nullptr), m_threadId(0)
    {
        if (!callback.HasInvoker())
        {
            throw ArgumentException();
        }
        AutoPtr<_THREAD_START_PARAMS> parameters(new _THREAD_START_PARAMS());
        parameters->ComMode = comMode;
        parameters->Callback = callback;
        StartThread(parameters, stackSize);
    }

    Thread::~Thread()
    {
        if (m_handle != nullptr)
        {
            try
            {
                Close();
            }
            catch (const Exception& exception)
            {
                TARN_TRACE_EXCEPTION(L"Tarn::Thread::~Thread", exception);
            }
        }
    }

    void Thread::Close()
    {
        if (m_handle != nullptr)
        {
            if (!::CloseHandle(m_handle))
            {
                TARN_THROW_WIN32(L"Tarn::Thread::Close", L"CloseHandle() failed, error code 0x{0:X}", ::GetLastError());
            }
            m_handle = nullptr;
            m_threadId = 0;
        }
    }

    void Thread::StartThread(AutoPtr<_THREAD_START_PARAMS>& parameters, UINT32 stackSize)
    {
        HMODULE module = nullptr;
        if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCWSTR>(reinterpret_cast<ULONG_PTR>(&StaticThreadProc)), &module))
        {
            TARN_THROW_WIN32(L"Tarn::Thread::StartThread", L"GetModuleHandleEx() failed, error code 0x{0:X}",
                             ::GetLastError());
        }
        parameters->Module = module;

        const uintptr_t handle =
            ::_beginthreadex(nullptr, stackSize, &StaticThreadProc, parameters.Get(), 0, &m_threadId);
        if (handle == 0)
        {
            const DWORD error = ::GetLastError();
            ::FreeLibrary(module);
            m_handle = nullptr;
            m_threadId = 0;
            TARN_THROW_WIN32(L"Tarn::Thread::StartThread", L"Failed to create new thread, error code 0x{0:X}", error);
        }
        m_handle = reinterpret_cast<HANDLE>(handle);
        // The new thread owns the record now and may already have freed it.
        parameters.Detach();
    }

    unsigned __stdcall Thread::StaticThreadProc(void* startParameters)
    {
        _THREAD_START_PARAMS* parameters = static_cast<_THREAD_START_PARAMS*>(startParameters);
        const HMODULE module = parameters->Module;
        const UINT32 exitCode = RunThread(parameters);
#if defined(_UCRT) || (defined(_MSC_VER) && _MSC_VER >= 1900)
        // The universal C runtime holds a reference of its own on the thread procedure's module and
        // gives it back as it ends the thread, so returning to it is safe once ours is gone; ending
        // the thread here would leave its reference behind and the module loaded for good.
        ::FreeLibrary(module);
        return exitCode;
#else
        // Returning would run this module's code after the reference is gone; the system frees the
        // module and ends the thread without coming back here.
        ::FreeLibraryAndExitThread(module, exitCode);
#endif
    }

    UINT32 Thread::RunThread(_THREAD_START_PARAMS* startParameters)
    {
        // The body of the thread procedure, traced in its name.
        const PCWSTR function = L"Tarn::Thread::StaticThreadProc";
        TARN_TRACE(TraceLevel::Verbose, function, L"Thread ID 0x{0:X} starting", ::GetCurrentThreadId());
        const AutoPtr<_THREAD_START_PARAMS> parameters(startParameters);

        bool comInitialized = false;
        HRESULT comResult = S_OK;
        if (parameters->ComMode != ComApartment::None)
        {
            comResult = ::CoInitializeEx(nullptr, parameters->ComMode == ComApartment::SingleThreaded
                                                      ? COINIT_APARTMENTTHREADED
                                                      : COINIT_MULTITHREADED);
            comInitialized = comResult == S_OK;
        }

        UINT32 exitCode;
        if (FAILED(comResult))
        {
            TARN_TRACE(TraceLevel::Error, function, L"CoInitializeEx() failed, error code 0x{0:X}", comResult);
            // The work was never done: the exit code says so rather than reporting success.
            exitCode = static_cast<UINT32>(comResult);
        }
        else
        {
            exitCode = CatchAll<UINT32>(
                [&parameters] {
                    UINT32 result = 0;
                    if (parameters->Function != nullptr)
                    {
                        result = parameters->Function(parameters->Argument);
                    }
                    else if (parameters->Runnable != nullptr)
                    {
                        parameters->Runnable->Run();
                    }
                    else if (parameters->Callback.HasInvoker())
                    {
                        parameters->Callback.Invoke();
                    }
                    return result;
                },
                [function](const Exception& exception) {
                    TARN_TRACE(TraceLevel::Error, function,
                               L"Unhandled exception in thread 0x{0:X}. Description: {1}", ::GetCurrentThreadId(),
                               exception.GetDescription());
                    return static_cast<UINT32>(E_UNEXPECTED);
                },
                [function] {
                    TARN_TRACE(TraceLevel::Error, function,
                               L"Unhandled exception in thread 0x{0:X}", ::GetCurrentThreadId());
                    return static_cast<UINT32>(E_UNEXPECTED);
                });
        }

        if (comInitialized)
        {
            ::CoUninitialize();
        }
        TARN_TRACE(TraceLevel::Verbose, function, L"Thread ID 0x{0:X} exiting", ::GetCurrentThreadId());
        return exitCode;
    }
}
