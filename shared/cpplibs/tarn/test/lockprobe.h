#pragma once

#include <thread>

#include "tarnsynch.h"

namespace TarnTest
{
    // Whether another thread could take the lock right now; a lock held by the calling thread, at
    // any recursion depth, is not free.
    inline bool IsFreeForOtherThreads(Tarn::ISynchronizer& lock)
    {
        bool taken = false;
        std::thread probe([&lock, &taken] {
            taken = lock.TryLock(0);
            if (taken)
            {
                lock.Unlock();
            }
        });
        probe.join();
        return taken;
    }
}
