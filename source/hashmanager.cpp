#include "hashmanager.h"

#include "computehashoperation.h"
#include "tarnautoptr.h"
#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarnscopeexit.h"
#include "tarnsynch.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"hashmanager";

}

HashManager::HashManager()
    : m_state(HashManagerState::NotInitialized), m_notificationWindow(nullptr)
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"HashManager::HashManager", L"HashManager constructor");
}

HashManager::~HashManager()
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"HashManager::~HashManager", L"HashManager destructor");
    Shutdown();
}

void HashManager::Initialize(const Tarn::String& filePath, HWND notificationWindow)
{
    Tarn::AutoSynchronizer lock(&m_lock);
    if (m_state != HashManagerState::NotInitialized)
    {
        throw Tarn::InvalidOperationException();
    }
    m_filePath = filePath;
    m_notificationWindow = notificationWindow;
    m_state = HashManagerState::Active;
}

bool HashManager::ComputeHash(Crypto::HashAlgorithm algorithm)
{
    Tarn::AutoSynchronizer lock(&m_lock);
    RequireActive();
    if (algorithm < Crypto::HashAlgorithm::Md5 || algorithm > Crypto::HashAlgorithm::Sha512)
    {
        throw Tarn::ArgumentException();
    }
    const EntryPair* existing = m_entries.Find(algorithm);
    if (existing != nullptr)
    {
        return existing->Value.ErrorCode == S_OK;
    }

    Tarn::AutoRefCountPtr<ComputeHashOperation> operation(new ComputeHashOperation(
        algorithm, m_filePath,
        ComputeHashOperation::CompletionCallback(this, &HashManager::OnComputeHashOperationCompleted)));
    try
    {
        const _HASH_DATA_ENTRY entry = {nullptr, operation.Get(), S_OK};
        m_entries.Add(EntryPair(algorithm, entry));
        // The entry owns the reference now. A failed start completes the operation right here: the
        // completion callback (re-entering the lock this thread holds) records the failure, posts it
        // and drops the entry's reference, which may destroy the operation.
        ComputeHashOperation* started = operation.Detach();
        // A start that throws leaves no entry behind, and only what the entry still holds is
        // released: the callback may have dropped it already.
        Tarn::ScopeExit dropEntry([this, algorithm]() noexcept {
            EntryPair* added = m_entries.Find(algorithm);
            if (added != nullptr)
            {
                added->Value.ReleaseOperation();
                m_entries.Remove(algorithm);
            }
        });
        started->Start();
        dropEntry.Dismiss();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"HashManager::ComputeHash", exception);
        throw;
    }
    return true;
}

Tarn::IBuffer* HashManager::GetHash(Crypto::HashAlgorithm algorithm) const
{
    Tarn::AutoSynchronizer lock(&m_lock);
    RequireActive();
    const EntryPair* entry = m_entries.Find(algorithm);
    if (entry == nullptr || entry->Value.Digest == nullptr)
    {
        return nullptr;
    }
    entry->Value.Digest->AddRef();
    return entry->Value.Digest;
}

HRESULT HashManager::GetErrorCode(Crypto::HashAlgorithm algorithm) const
{
    Tarn::AutoSynchronizer lock(&m_lock);
    RequireActive();
    const EntryPair* entry = m_entries.Find(algorithm);
    return entry == nullptr ? S_OK : entry->Value.ErrorCode;
}

void HashManager::Shutdown()
{
    const PCWSTR function = L"HashManager::Shutdown";
    {
        Tarn::AutoSynchronizer lock(&m_lock);
        if (m_state != HashManagerState::Active)
        {
            return;
        }
        if (m_entries.GetCount() == 0)
        {
            m_state = HashManagerState::ShutDown;
            return;
        }
        m_state = HashManagerState::ShuttingDown;
    }
    try
    {
        TARN_TRACE(Tarn::TraceLevel::Info, function, L"Shutting down HashManager");
        CancelActiveComputeOperations();

        Tarn::AutoSynchronizer lock(&m_lock);
        RemoveAllEntries();
        m_state = HashManagerState::ShutDown;
        TARN_TRACE(Tarn::TraceLevel::Info, function, L"HashManager was shut down successfully");
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(function, exception);
        Tarn::AutoSynchronizer lock(&m_lock);
        m_state = HashManagerState::Active;
    }
}

HashManagerState HashManager::GetState() const
{
    Tarn::AutoSynchronizer lock(&m_lock);
    return m_state;
}

void HashManager::RequireActive() const
{
    if (m_state != HashManagerState::Active)
    {
        throw Tarn::InvalidOperationException();
    }
}

void HashManager::CancelActiveComputeOperations()
{
    const PCWSTR function = L"HashManager::CancelActiveComputeOperations";
    TARN_TRACE(Tarn::TraceLevel::Info, function, L"Cancelling all active compute operations");
    try
    {
        // No entry is added while the manager shuts down, so the count bounds the operations found.
        UINT32 capacity = 0;
        {
            Tarn::AutoSynchronizer lock(&m_lock);
            capacity = m_entries.GetCount();
        }
        if (capacity == 0)
        {
            return;
        }
        // Each operation waited for holds a reference taken here, so that none goes meanwhile.
        Tarn::AutoArrayPtr<ComputeHashOperation*> operations(new ComputeHashOperation*[capacity]);
        UINT32 count = 0;
        const Tarn::ScopeExit releaseOperations([&operations, &count]() noexcept {
            for (UINT32 i = 0; i < count; ++i)
            {
                operations[i]->Release();
            }
        });
        {
            Tarn::AutoSynchronizer lock(&m_lock);
            Tarn::Enumerator<EntryPair> enumerator = m_entries.GetEnumerator();
            while (count < capacity && enumerator.MoveNext())
            {
                ComputeHashOperation* operation = enumerator.GetCurrent()->Value.Operation;
                if (operation != nullptr)
                {
                    operation->AddRef();
                    operations[count++] = operation;
                }
            }
            TARN_TRACE(Tarn::TraceLevel::Info, function, L"Found {0} active compute operations", count);
        }

        if (count > 0)
        {
            // The completion event is set before the completion callback runs, and the callback uses
            // this manager; so the wait is for the callbacks to have returned, after which no worker
            // touches the manager again and it may be destroyed.
            Tarn::AutoArrayPtr<HANDLE> handles(new HANDLE[count]);
            for (UINT32 i = 0; i < count; ++i)
            {
                handles[i] = operations[i]->GetCallbackReturnedHandle();
                operations[i]->Cancel();
            }
            TARN_TRACE(Tarn::TraceLevel::Info, function, L"Waiting for {0} active compute operations to complete...",
                       count);
            if (::WaitForMultipleObjects(count, handles.Get(), TRUE, INFINITE) == WAIT_FAILED)
            {
                TARN_THROW_WIN32(function, L"WaitForMultipleObjects() failed. Error code 0x{0:X8}", ::GetLastError());
            }
            TARN_TRACE(Tarn::TraceLevel::Info, function, L"Wait succeded");
        }
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(function, exception);
        throw;
    }
}

void HashManager::RemoveAllEntries()
{
    Tarn::Enumerator<EntryPair> enumerator = m_entries.GetEnumerator();
    while (enumerator.MoveNext())
    {
        enumerator.GetCurrent()->Value.Release();
    }
    enumerator.Close();
    m_entries.Clear();
}

void HashManager::OnComputeHashOperationCompleted(ComputeHashOperation* operation)
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"HashManager::OnComputeHashOperationCompleted", L"Compute hash operation completed");
    const Tarn::AsyncOperationState state = operation->GetState();
    const Crypto::HashAlgorithm algorithm = operation->GetAlgorithm();
    HWND window = nullptr;
    {
        Tarn::AutoSynchronizer lock(&m_lock);
        EntryPair* entry = m_entries.Find(algorithm);
        if (entry == nullptr || entry->Value.Operation != operation)
        {
            return;
        }
        if (state == Tarn::AsyncOperationState::Completed)
        {
            entry->Value.Digest = operation->GetDigest();
        }
        else if (state == Tarn::AsyncOperationState::Failed)
        {
            entry->Value.ErrorCode = operation->GetErrorCode();
        }
        window = m_notificationWindow;
    }
    if (state == Tarn::AsyncOperationState::Completed || state == Tarn::AsyncOperationState::Failed)
    {
        const CompletionKind kind =
            state == Tarn::AsyncOperationState::Failed ? CompletionKind::Failed : CompletionKind::Completed;
        ::PostMessageW(window, CompletionMessage, static_cast<WPARAM>(kind), static_cast<LPARAM>(algorithm));
    }
    // The entry keeps its operation until the message is posted, so that a Shutdown meanwhile finds
    // the operation and waits for this callback to return instead of returning before the post.
    Tarn::AutoSynchronizer lock(&m_lock);
    EntryPair* entry = m_entries.Find(algorithm);
    if (entry != nullptr && entry->Value.Operation == operation)
    {
        entry->Value.ReleaseOperation();
    }
}

void HashManager::_HASH_DATA_ENTRY::ReleaseOperation() noexcept
{
    // Forgotten before the release, which may destroy the operation.
    ComputeHashOperation* const held = Operation;
    Operation = nullptr;
    if (held != nullptr)
    {
        held->Release();
    }
}

void HashManager::_HASH_DATA_ENTRY::Release() noexcept
{
    ReleaseOperation();
    if (Digest != nullptr)
    {
        Digest->Release();
        Digest = nullptr;
    }
}
