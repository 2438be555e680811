#pragma once

#include <windows.h>

#include "hashalgorithm.h"
#include "tarnasyncoperation.h"
#include "tarnautoptr.h"
#include "tarnbuffer.h"
#include "tarndelegate.h"
#include "tarnevent.h"
#include "tarnfile.h"
#include "tarnrunnable.h"
#include "tarnstring.h"
#include "tarnthread.h"

namespace Crypto
{
    class Hash;
}

// Computes the digest of one file with one algorithm on a worker thread of its own.
//
// Start opens the file on the calling thread, so that a missing or locked file fails at once, and
// hands the reading to the worker, which checks for cancellation before every block. Cancelling
// also aborts a read the worker is waiting in, so that a hung share or a silent pipe cannot keep
// the operation from ending; an operation asked to cancel ends Cancelled even when its aborted
// read fails. When the operation ends (completed, failed or cancelled) it calls its completion
// callback once: on the worker, or on the calling thread when Start failed.
//
// Reference counted: the creator holds the first reference. From a successful Start until its work
// and its callback are done, the worker holds one too, so the creator may release at any time.
class ComputeHashOperation : public Tarn::AsyncOperation, public Tarn::IRunnable
{
public:
    typedef Tarn::Delegate<ComputeHashOperation*> CompletionCallback;

    // Bytes read and hashed per step.
    static const UINT32 BlockSize = 16384;

    ComputeHashOperation(Crypto::HashAlgorithm algorithm, const Tarn::String& filePath,
                         const CompletionCallback& completionCallback);

    // Opens the file and starts the worker. True when the worker runs; false when the start failed,
    // in which case the operation is already Failed and its callback has run (and may have dropped
    // the caller's reference). InvalidOperationException when already started.
    bool Start();

    Crypto::HashAlgorithm GetAlgorithm() const noexcept { return m_algorithm; }
    // The finished digest with a reference added for the caller, or null before completion.
    Tarn::IBuffer* GetDigest() const;
    // Signalled once the completion callback has returned. Waiting for the completion event alone
    // is not enough for an owner that is about to be destroyed: the event is set before the
    // callback runs, and the callback still uses its owner.
    HANDLE GetCallbackReturnedHandle() const { return m_callbackReturned.GetHandle(); }

    // The worker's work; called by the worker thread only.
    void Run() override;

protected:
    ~ComputeHashOperation() override;

    // Aborts the worker's pending read; returns once the worker is not left waiting in one.
    void OnCancel() override;
    // Invokes the completion callback. InvalidOperationException when the callback is empty.
    void OnCompleted() override;

private:
    // Feeds the file to the hash block by block. False when a cancellation was noticed.
    bool HashFile(Crypto::Hash& hash);
    // Reads the next block unless a cancellation has been asked for (false). The read is announced
    // under the lock, so that OnCancel knows to abort it.
    bool ReadBlock(BYTE* block, UINT32& count);
    void CloseFile();

    const Crypto::HashAlgorithm m_algorithm;
    const Tarn::String m_filePath;
    const CompletionCallback m_completionCallback;
    Tarn::Event m_callbackReturned;
    Tarn::AutoPtr<Tarn::Io::File> m_file;   // under the lock, except while the worker reads
    Tarn::IBuffer* m_digest;                // one reference held; under the lock
    Tarn::AutoPtr<Tarn::Thread> m_worker;   // under the lock; its handle is what a read is aborted by
    bool m_reading;                         // under the lock; the worker is in or about to enter a read
};
