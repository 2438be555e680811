#pragma once

#include <windows.h>

namespace Tarn
{
    // A lock. Implementations are recursive: the holder may lock again and unlocks as often.
    class ISynchronizer
    {
    public:
        // Takes the lock within the timeout in milliseconds; returns whether it was taken.
        // Implementations may accept only some timeouts and throw ArgumentException for others.
        virtual bool TryLock(DWORD timeout) = 0;
        // Takes the lock, waiting as long as needed; always returns true.
        virtual bool Lock() = 0;
        // Releases one level of the lock; only the holding thread may call it.
        virtual void Unlock() = 0;
        virtual ~ISynchronizer() = default;
    };

    // Holds a lock for the length of a scope, so that every exit path releases it.
    class AutoSynchronizer
    {
    public:
        // Attaches the lock (which may be null) and takes it when not null.
        explicit AutoSynchronizer(ISynchronizer* synchronizer);
        AutoSynchronizer(const AutoSynchronizer&) = delete;
        AutoSynchronizer& operator=(const AutoSynchronizer&) = delete;
        // Releases the lock if one is still attached. Never throws.
        virtual ~AutoSynchronizer();

        // Attaches a lock and, when lockNow is true, takes it. InvalidOperationException while another
        // is attached; ArgumentException for a null lock with lockNow true.
        void Attach(ISynchronizer* synchronizer, bool lockNow);
        // Releases the attached lock early and forgets it; does nothing when none is attached.
        void Detach();

    private:
        ISynchronizer* m_synchronizer;
    };
}
