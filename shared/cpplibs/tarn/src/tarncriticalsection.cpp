#include "tarncriticalsection.h"

#include "tarnexception.h"
#include "tarnfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarncriticalsection";
}

namespace Tarn
{
    CriticalSection::CriticalSection(DWORD spinCount)
    {
        if (spinCount == 0)
        {
            ::InitializeCriticalSection(&m_criticalSection);
        }
        else if (!::InitializeCriticalSectionEx(&m_criticalSection, spinCount, CRITICAL_SECTION_NO_DEBUG_INFO))
        {
            TARN_THROW_WIN32(L"Tarn::CriticalSection::CriticalSection",
                             L"InitializeCriticalSectionEx() failed, error code 0x{0:X}", ::GetLastError());
        }
    }

    CriticalSection::~CriticalSection()
    {
        ::DeleteCriticalSection(&m_criticalSection);
    }

    bool CriticalSection::TryLock(DWORD timeout)
    {
        if (timeout == 0)
        {
            return ::TryEnterCriticalSection(&m_criticalSection) != FALSE;
        }
        if (timeout == INFINITE)
        {
            ::EnterCriticalSection(&m_criticalSection);
            return true;
        }
        throw ArgumentException();
    }

    bool CriticalSection::Lock()
    {
        ::EnterCriticalSection(&m_criticalSection);
        return true;
    }

    void CriticalSection::Unlock()
    {
        ::LeaveCriticalSection(&m_criticalSection);
    }
}
