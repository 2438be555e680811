#include "tarnsynch.h"

#include "tarnexception.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnsynch";
}

namespace Tarn
{
    AutoSynchronizer::AutoSynchronizer(ISynchronizer* synchronizer) : m_synchronizer(synchronizer)
    {
        if (m_synchronizer != nullptr)
        {
            m_synchronizer->Lock();
        }
    }

    AutoSynchronizer::~AutoSynchronizer()
    {
        try
        {
            Detach();
        }
        catch (const Exception& exception)
        {
            if (IsTraceEnabled(TraceLevel::Error))
            {
                Trace(TraceLevel::Error, TraceSource, __LINE__, L"Tarn::AutoSynchronizer::~AutoSynchronizer",
                      ExceptionCaughtDescriptionMessage, exception.GetDescription());
            }
        }
    }

    void AutoSynchronizer::Attach(ISynchronizer* synchronizer, bool lockNow)
    {
        if (m_synchronizer != nullptr)
        {
            TARN_TRACE(TraceLevel::Error, L"Tarn::AutoSynchronizer::Attach",
                       L"Cannot attach new synch object while one is already attached");
            throw InvalidOperationException();
        }
        if (synchronizer == nullptr && lockNow)
        {
            throw ArgumentException();
        }
        if (lockNow)
        {
            synchronizer->Lock();
        }
        m_synchronizer = synchronizer;
    }

    void AutoSynchronizer::Detach()
    {
        if (m_synchronizer != nullptr)
        {
            ISynchronizer* synchronizer = m_synchronizer;
            m_synchronizer = nullptr;
            synchronizer->Unlock();
        }
    }
}
