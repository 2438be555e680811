#pragma once

#include <windows.h>

#include "tarncriticalsection.h"
#include "tarnevent.h"
#include "tarnreferencecounted.h"
#include "tarnwaitableobject.h"

namespace Tarn
{
    // Cancelled, Failed and Completed are final.
    enum class AsyncOperationState : INT32
    {
        NotStarted = 0,
        Running = 1,
        Cancelled = 2,
        Failed = 3,
        Completed = 4,
    };

    // A unit of work that runs elsewhere and is observed and controlled from any thread.
    class IAsyncOperation : public IReferenceCountedObject
    {
    public:
        virtual bool CanCancel() const = 0;
        // Whether the operation has completed; true from the moment waiters are woken.
        virtual bool IsCompleted() const = 0;
        virtual AsyncOperationState GetState() const = 0;
        virtual bool IsCancellationRequested() const = 0;
        // Asks the work to stop. Cooperative: the work notices at its next check and ends Cancelled,
        // or may still end in another state if it was about to finish.
        virtual void Cancel() = 0;
        // The failure of a Failed operation; 0 otherwise.
        virtual HRESULT GetErrorCode() const = 0;

    protected:
        ~IAsyncOperation() override = default;
    };

    // Base of every asynchronous operation. It starts no thread: the derived class's starter does,
    // and the code running the work drives the state through the protected Set operations. Waiting on
    // the operation (WaitFor, or its handle) waits for its completion.
    //
    // Lifetime: the creator holds the first reference. SetRunning adds a reference the operation
    // holds on itself until it has completed, so a running operation outlives every outside holder.
    //
    // Completion happens exactly once, without the lock held, in this order: OnCompleting, the
    // completion event is set (waiters wake and may run before OnCompleted), OnCompleted, then the
    // operation drops the reference it held for the completion. That last step may destroy it.
    class AsyncOperation : public IAsyncOperation, public IWaitableObject
    {
    public:
        AsyncOperation(const AsyncOperation&) = delete;
        AsyncOperation& operator=(const AsyncOperation&) = delete;

        LONG GetReferenceCount() const override;
        LONG AddRef() override;
        LONG Release() override;

        bool CanCancel() const override;
        bool IsCompleted() const override;
        AsyncOperationState GetState() const override;
        bool IsCancellationRequested() const override;
        // Raises the cancellation flag; the first request calls OnCancel. Neither looks at nor
        // changes the state. InvalidOperationException when CanCancel is false.
        void Cancel() override;
        HRESULT GetErrorCode() const override;

        // The completion event: signalled once the operation has completed.
        HANDLE GetHandle() const override;
        bool WaitFor(DWORD timeout) const override;

    protected:
        // State NotStarted, one reference held by the creator. SystemException when the completion
        // event cannot be created.
        AsyncOperation();
        ~AsyncOperation() override;

        // Hooks, called without the lock held. OnCancel runs on the thread that first asked for
        // cancellation; OnCompleting and OnCompleted on the thread that completes the operation.
        // A Tarn::Exception from OnCompleting or OnCompleted is traced and does not stop completion.
        virtual void OnCancel();
        virtual void OnCompleting();
        virtual void OnCompleted();

        // The Set operations throw InvalidOperationException and change nothing when the state does
        // not allow them. SetCancelled, SetFailed and SetCompleted complete the operation: the caller
        // must not hold the operation's lock, and neither they nor their caller may touch the
        // operation afterwards unless the caller holds a reference of its own.

        // NotStarted to Running; takes the self reference.
        void SetRunning();
        // NotStarted or Running to Cancelled.
        void SetCancelled();
        // NotStarted or Running to Failed with the given error code.
        void SetFailed(HRESULT errorCode);
        // NotStarted or Running to Completed.
        void SetCompleted();
        // Runs the completion once, however often it is entered.
        void Complete();

        // The lock guarding the operation's state; derived classes guard their own fields with it.
        // Lock order: any lock of the operation's owner before this one.
        ISynchronizer* GetLock() const { return &m_lock; }

    private:
        void Finish(AsyncOperationState finalState, HRESULT errorCode);

        mutable CriticalSection m_lock;
        mutable volatile LONG m_referenceCount;
        Event m_completionEvent;
        AsyncOperationState m_state;
        bool m_cancellationRequested;
        HRESULT m_errorCode;
        bool m_holdsSelfReference;
        bool m_completionDone;
    };
}
