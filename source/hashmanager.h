#pragma once

#include <windows.h>

#include "hashalgorithm.h"
#include "tarnbuffer.h"
#include "tarncriticalsection.h"
#include "tarnmap.h"
#include "tarnstring.h"

class ComputeHashOperation;

enum class HashManagerState : INT32
{
    NotInitialized = 0,
    Active = 1,
    ShuttingDown = 2,
    ShutDown = 3,
};

// The digest page's entry point into the hashing engine. It computes the digests of one file, at
// most once per algorithm, each on its own worker, keeps every digest and every failure until
// Shutdown, and posts CompletionMessage to the notification window when a computation ends.
//
// All public operations are meant for the thread that owns the notification window. Calls that
// need an Active manager throw InvalidOperationException in any other state.
class HashManager
{
public:
    // Posted when a computation completed or failed; WPARAM is the CompletionKind, LPARAM the
    // Crypto::HashAlgorithm. Nothing is posted for a cancelled computation.
    static constexpr UINT CompletionMessage = WM_APP;

    // How a computation ended, as CompletionMessage carries it in WPARAM.
    enum class CompletionKind : UINT32
    {
        Completed = 0,
        Failed = 1,
    };

    HashManager();
    HashManager(const HashManager&) = delete;
    HashManager& operator=(const HashManager&) = delete;
    // Shuts the manager down first.
    virtual ~HashManager();

    // Binds the manager to its file and window. InvalidOperationException unless NotInitialized.
    void Initialize(const Tarn::String& filePath, HWND notificationWindow);

    // Starts the computation unless the algorithm has been asked for before. False only when a
    // failure is recorded for it; a start that fails at once returns true, with the failure
    // already recorded and posted. ArgumentException, with nothing opened or started, for a value
    // that names no algorithm.
    bool ComputeHash(Crypto::HashAlgorithm algorithm);
    // The finished digest with a reference added for the caller, or null when there is none (yet).
    Tarn::IBuffer* GetHash(Crypto::HashAlgorithm algorithm) const;
    // The recorded failure, or 0.
    HRESULT GetErrorCode(Crypto::HashAlgorithm algorithm) const;

    // Cancels the running computations, waits until their completion callbacks have returned, and
    // drops every digest and failure. Does nothing unless Active; never throws: a failed wait is
    // traced and leaves the manager Active with its entries.
    void Shutdown();

    HashManagerState GetState() const;

private:
    // One per algorithm asked for: running (Operation), finished (Digest) or failed (ErrorCode).
    struct _HASH_DATA_ENTRY
    {
        Tarn::IBuffer* Digest;              // one reference held, or null
        ComputeHashOperation* Operation;    // the creator's reference until its callback has posted, or null
        HRESULT ErrorCode;

        // Drops the reference to the operation, if the entry still holds it.
        void ReleaseOperation() noexcept;
        // Drops both references the entry may hold.
        void Release() noexcept;
    };
    typedef Tarn::KeyValuePair<Crypto::HashAlgorithm, _HASH_DATA_ENTRY> EntryPair;

    void RequireActive() const;
    void CancelActiveComputeOperations();
    void RemoveAllEntries();
    // The completion callback of every operation; runs on its worker, or on the calling thread
    // inside ComputeHash when the start failed.
    void OnComputeHashOperationCompleted(ComputeHashOperation* operation);

    mutable Tarn::CriticalSection m_lock;   // guards every field below
    HashManagerState m_state;
    Tarn::String m_filePath;
    HWND m_notificationWindow;
    Tarn::Containers::Map<Crypto::HashAlgorithm, _HASH_DATA_ENTRY> m_entries;
};
