#pragma once

#include <windows.h>

#include "tarnautoptr.h"
#include "tarndelegate.h"
#include "tarnrunnable.h"
#include "tarnwaitableobject.h"

namespace Tarn
{
    // Starts a thread and owns its handle. The thread's life does not depend on the object: closing
    // or destroying it neither stops nor waits for the thread, which then runs on detached. The work
    // is one of three forms: a runnable, a plain thread function, or a delegate.
    //
    // The thread initialises COM as its COM mode says and uninitialises what it initialised.
    //
    // A Tarn::Exception or any other exception escaping the work is traced at ERROR and ends the
    // thread with exit code E_UNEXPECTED; it never leaves the thread.
    //
    // Every thread holds a reference on the module containing this code from before it starts until
    // its very last instruction, so a DLL freed by its host while its threads wind down stays loaded
    // until the last of them has exited.
    class Thread : public WaitableObject
    {
    public:
        typedef UINT32 (*ThreadFunction)(void* argument);

        // The apartment the new thread initialises COM as, its COM mode. A value outside the
        // enumeration counts as Multithreaded.
        enum class ComApartment : INT32
        {
            None = 0,
            SingleThreaded = 1,
            Multithreaded = 2,
        };

        // The stack size that takes the executable's default.
        static constexpr UINT32 DefaultStackSize = 0;

        // What the new thread runs. Created zero-filled by the starter; from a successful start on it
        // belongs to the new thread, which frees it when the work is done. The first form set wins.
        struct _THREAD_START_PARAMS
        {
            ComApartment ComMode = ComApartment::None;
            ThreadFunction Function = nullptr;
            IRunnable* Runnable = nullptr;  // not owned
            Delegate<> Callback;
            void* Argument = nullptr;
            HMODULE Module = nullptr;  // the thread's reference, given back as it exits
        };

        // Each constructor starts the thread at once: it is running when the constructor returns.
        // The work itself must stay valid until the thread is done with it. ArgumentException for
        // missing work; SystemException when the thread cannot be created.
        Thread(IRunnable* runnable, ComApartment comMode, UINT32 stackSize);
        // The function's result becomes the thread's exit code.
        Thread(ThreadFunction function, void* argument, ComApartment comMode, UINT32 stackSize);
        Thread(const Delegate<>& callback, ComApartment comMode, UINT32 stackSize);
        // Closes the handle; a failure is traced, not thrown.
        ~Thread() override;

        HANDLE GetHandle() const override { return m_handle; }
        // The thread's identifier; 0 once the handle has been closed.
        UINT32 GetThreadId() const noexcept { return m_threadId; }

        // Closes the handle if there is one. On failure the handle is kept and SystemException thrown.
        void Close();

    private:
        // Hands the record to a new thread; on failure the record stays with the caller's owner.
        void StartThread(AutoPtr<_THREAD_START_PARAMS>& parameters, UINT32 stackSize);
        // Runs the work, then gives the module reference back and exits the thread in one call.
        static unsigned __stdcall StaticThreadProc(void* startParameters);
        // Everything the thread does but exiting: the work, COM, the traces, freeing the record.
        static UINT32 RunThread(_THREAD_START_PARAMS* startParameters);

        HANDLE m_handle;
        UINT32 m_threadId;
    };
}
