#include "tarnasyncoperation.h"

#include "tarnexception.h"
#include "tarnsynch.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnasyncoperation";
}

namespace Tarn
{
    AsyncOperation::AsyncOperation()
        : m_referenceCount(1),
          m_state(AsyncOperationState::NotStarted),
          m_cancellationRequested(false),
          m_errorCode(0),
          m_holdsSelfReference(false),
          m_completionDone(false)
    {
        m_completionEvent.Create(true, false);
    }

    AsyncOperation::~AsyncOperation() = default;

    LONG AsyncOperation::GetReferenceCount() const
    {
        return ::InterlockedExchangeAdd(&m_referenceCount, 0);
    }

    LONG AsyncOperation::AddRef()
    {
        return ::InterlockedIncrement(&m_referenceCount);
    }

    LONG AsyncOperation::Release()
    {
        const LONG count = ::InterlockedDecrement(&m_referenceCount);
        if (count == 0)
        {
            delete this;
        }
        return count;
    }

    bool AsyncOperation::CanCancel() const
    {
        return true;
    }

    bool AsyncOperation::IsCompleted() const
    {
        return m_completionEvent.IsSet();
    }

    AsyncOperationState AsyncOperation::GetState() const
    {
        AutoSynchronizer lock(&m_lock);
        return m_state;
    }

    bool AsyncOperation::IsCancellationRequested() const
    {
        AutoSynchronizer lock(&m_lock);
        return m_cancellationRequested;
    }

    void AsyncOperation::Cancel()
    {
        if (!CanCancel())
        {
            throw InvalidOperationException();
        }
        bool firstRequest = false;
        {
            AutoSynchronizer lock(&m_lock);
            if (!m_cancellationRequested)
            {
                m_cancellationRequested = true;
                firstRequest = true;
            }
        }
        if (firstRequest)
        {
            OnCancel();
        }
    }

    HRESULT AsyncOperation::GetErrorCode() const
    {
        AutoSynchronizer lock(&m_lock);
        return m_errorCode;
    }

    HANDLE AsyncOperation::GetHandle() const
    {
        return m_completionEvent.GetHandle();
    }

    bool AsyncOperation::WaitFor(DWORD timeout) const
    {
        return m_completionEvent.WaitFor(timeout);
    }

    void AsyncOperation::OnCancel()
    {
    }

    void AsyncOperation::OnCompleting()
    {
    }

    void AsyncOperation::OnCompleted()
    {
    }

    void AsyncOperation::SetRunning()
    {
        AutoSynchronizer lock(&m_lock);
        if (m_state != AsyncOperationState::NotStarted)
        {
            throw InvalidOperationException();
        }
        m_state = AsyncOperationState::Running;
        AddRef();
        m_holdsSelfReference = true;
    }

    void AsyncOperation::SetCancelled()
    {
        Finish(AsyncOperationState::Cancelled, 0);
    }

    void AsyncOperation::SetFailed(HRESULT errorCode)
    {
        Finish(AsyncOperationState::Failed, errorCode);
    }

    void AsyncOperation::SetCompleted()
    {
        Finish(AsyncOperationState::Completed, 0);
    }

    void AsyncOperation::Finish(AsyncOperationState finalState, HRESULT errorCode)
    {
        {
            AutoSynchronizer lock(&m_lock);
            if (m_state != AsyncOperationState::NotStarted && m_state != AsyncOperationState::Running)
            {
                throw InvalidOperationException();
            }
            m_state = finalState;
            m_errorCode = errorCode;
        }
        Complete();
    }

    void AsyncOperation::Complete()
    {
        const PCWSTR function = L"Tarn::AsyncOperation::Complete";
        if (m_completionEvent.IsSet())
        {
            return;
        }

        {
            AutoSynchronizer lock(&m_lock);
            if (m_completionDone)
            {
                return;
            }
            m_completionDone = true;
            // The completion runs on one reference of its own: the self reference when the operation
            // ran, otherwise one taken here. Without it, a waiter woken by the event could drop the
            // last outside reference and destroy the operation while OnCompleted still runs.
            if (m_holdsSelfReference)
            {
                m_holdsSelfReference = false;
            }
            else
            {
                AddRef();
            }
        }

        try
        {
            OnCompleting();
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(function, exception);
        }
        // A failure to signal must not stop the protocol: the reference below would never be dropped.
        try
        {
            m_completionEvent.Set();
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(function, exception);
        }
        try
        {
            OnCompleted();
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(function, exception);
        }
        // May destroy the operation: nothing touches it after this.
        Release();
    }
}
