#pragma once

#include <windows.h>

#include "tarnsynch.h"

namespace Tarn
{
    // The library's lock: a recursive Windows critical section, for use within one process.
    class CriticalSection : public ISynchronizer
    {
    public:
        // A spin count of 0 gives a plain critical section; any other value sets that spin count and
        // leaves out the debug information. SystemException when the section cannot be initialised.
        explicit CriticalSection(DWORD spinCount = 0);
        CriticalSection(const CriticalSection&) = delete;
        CriticalSection& operator=(const CriticalSection&) = delete;
        ~CriticalSection() override;

        // Only two timeouts exist for a critical section: 0 tries without waiting, INFINITE waits.
        // Any other throws ArgumentException.
        bool TryLock(DWORD timeout) override;
        bool Lock() override;
        void Unlock() override;

    private:
        CRITICAL_SECTION m_criticalSection;
    };
}
