#include "computehashoperation.h"

#include "hashalgorithmprovider.h"
#include "tarnexception.h"
#include "tarnscopeexit.h"
#include "tarnsynch.h"
#include "tarnthread.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"computehashoperation";
}

ComputeHashOperation::ComputeHashOperation(Crypto::HashAlgorithm algorithm, const Tarn::String& filePath,
                                           const CompletionCallback& completionCallback)
    : m_algorithm(algorithm), m_filePath(filePath), m_completionCallback(completionCallback), m_digest(nullptr),
      m_reading(false)
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"ComputeHashOperation::ComputeHashOperation", L"ComputeHashOperation constructor");
    m_callbackReturned.Create(true, false);
}

ComputeHashOperation::~ComputeHashOperation()
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"ComputeHashOperation::~ComputeHashOperation", L"ComputeHashOperation destructor");
    if (m_digest != nullptr)
    {
        m_digest->Release();
    }
}

bool ComputeHashOperation::Start()
{
    {
        // The state stays NotStarted until the worker runs, so the file it is about to read is what
        // tells that the operation has been started already.
        Tarn::AutoSynchronizer lock(GetLock());
        if (GetState() != Tarn::AsyncOperationState::NotStarted || !m_file.IsNull())
        {
            throw Tarn::InvalidOperationException();
        }
    }
    try
    {
        {
            Tarn::AutoSynchronizer lock(GetLock());
            m_file = new Tarn::Io::File(m_filePath);
        }
        // The worker gets a reference of its own, released when Run returns. The self reference of
        // a running operation is taken only once the worker runs, so without this one a creator
        // that releases right after Start would destroy the operation under the new thread.
        AddRef();
        Tarn::AutoRefCountPtr<ComputeHashOperation> workerReference(this);
        // The worker runs detached; its end is observed through the operation itself. Its handle is
        // kept to abort its reads.
        Tarn::AutoPtr<Tarn::Thread> worker(
            new Tarn::Thread(this, Tarn::Thread::ComApartment::None, Tarn::Thread::DefaultStackSize));
        workerReference.Detach();
        Tarn::AutoSynchronizer lock(GetLock());
        m_worker = worker.Detach();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"ComputeHashOperation::Start", exception);
        CloseFile();
        // Runs the callback here, which may drop the last reference: nothing is touched after it.
        SetFailed(exception.GetErrorCode());
        return false;
    }
    return true;
}

Tarn::IBuffer* ComputeHashOperation::GetDigest() const
{
    Tarn::AutoSynchronizer lock(GetLock());
    if (m_digest != nullptr)
    {
        m_digest->AddRef();
    }
    return m_digest;
}

void ComputeHashOperation::Run()
{
    // Dropped last, when Run returns: the operation may be destroyed right there, on this thread.
    const Tarn::AutoRefCountPtr<ComputeHashOperation> workerReference(this);
    bool cancelled = false;
    try
    {
        SetRunning();
        // The hash is declared after the provider, so it is destroyed first, as CNG requires.
        Crypto::HashAlgorithmProvider provider(m_algorithm);
        Crypto::Hash hash = provider.CreateHash();
        cancelled = !HashFile(hash);

        Tarn::AutoSynchronizer lock(GetLock());
        m_file = nullptr;
        if (!cancelled)
        {
            m_digest = hash.GetHash();
        }
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"ComputeHashOperation::Run", exception);
        CloseFile();
        // A read aborted by the cancellation fails; the owner asked to stop, not for a failure.
        if (IsCancellationRequested())
        {
            SetCancelled();
        }
        else
        {
            SetFailed(exception.GetErrorCode());
        }
        return;
    }
    if (cancelled)
    {
        SetCancelled();
    }
    else
    {
        SetCompleted();
    }
}

void ComputeHashOperation::OnCancel()
{
    // The worker announces a read under the lock after its last look at the cancellation flag, so
    // from here on it starts no new read; the one it announced may not have reached the system yet,
    // and cannot be aborted before it has.
    for (;;)
    {
        {
            Tarn::AutoSynchronizer lock(GetLock());
            if (!m_reading || (!m_worker.IsNull() && ::CancelSynchronousIo(m_worker->GetHandle())))
            {
                return;
            }
        }
        ::Sleep(1);
    }
}

void ComputeHashOperation::OnCompleted()
{
    // Completion holds a reference of its own until this returns, so the operation outlives the
    // callback even when the callback drops the last outside reference. The manager waits on the
    // event for the callback to have returned, whichever way it returns.
    const Tarn::ScopeExit callbackReturned([this]() noexcept {
        try
        {
            m_callbackReturned.Set();
        }
        catch (const Tarn::Exception& exception)
        {
            TARN_TRACE_EXCEPTION(L"ComputeHashOperation::OnCompleted", exception);
        }
    });
    m_completionCallback.Invoke(this);
}

bool ComputeHashOperation::HashFile(Crypto::Hash& hash)
{
    Tarn::AutoArrayPtr<BYTE> block(new BYTE[BlockSize]);
    for (;;)
    {
        UINT32 count = 0;
        if (!ReadBlock(block.Get(), count))
        {
            return false;
        }
        if (count == 0)
        {
            return true;
        }
        hash.HashData(block.Get(), count);
    }
}

bool ComputeHashOperation::ReadBlock(BYTE* block, UINT32& count)
{
    {
        Tarn::AutoSynchronizer lock(GetLock());
        if (IsCancellationRequested())
        {
            return false;
        }
        m_reading = true;
    }
    const Tarn::ScopeExit readDone([this]() noexcept {
        Tarn::AutoSynchronizer lock(GetLock());
        m_reading = false;
    });
    // The worker is the file's only user while it runs, so it reads without the lock.
    count = m_file->Read(block, BlockSize);
    return true;
}

void ComputeHashOperation::CloseFile()
{
    Tarn::AutoSynchronizer lock(GetLock());
    m_file = nullptr;
}
