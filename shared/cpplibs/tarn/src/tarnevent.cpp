#include "tarnevent.h"

#include "tarnexception.h"
#include "tarnfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnevent";
}

namespace Tarn
{
    Event::Event() noexcept : m_handle(nullptr)
    {
    }

    Event::~Event()
    {
        try
        {
            Close();
        }
        catch (const Exception& exception)
        {
            TARN_TRACE_EXCEPTION(L"Tarn::Event::~Event", exception);
        }
    }

    void Event::Create(bool manualReset, bool initialState)
    {
        // A second event would silently replace, and leak, the first.
        if (m_handle != nullptr)
        {
            throw InvalidOperationException();
        }
        const HANDLE handle = ::CreateEventW(nullptr, manualReset, initialState, nullptr);
        if (handle == nullptr)
        {
            TARN_THROW_WIN32(L"Tarn::Event::Create", L"CreateEvent() failed, error code 0x{0:X}", ::GetLastError());
        }
        m_handle = handle;
    }

    void Event::Set()
    {
        if (!::SetEvent(m_handle))
        {
            TARN_THROW_WIN32(L"Tarn::Event::Set", L"SetEvent() failed, error code 0x{0:X}", ::GetLastError());
        }
    }

    bool Event::IsSet() const
    {
        return WaitFor(0);
    }

    void Event::Close()
    {
        if (m_handle != nullptr)
        {
            if (!::CloseHandle(m_handle))
            {
                TARN_THROW_WIN32(L"Tarn::Event::Close", L"CloseHandle() failed, error code 0x{0:X}", ::GetLastError());
            }
            m_handle = nullptr;
        }
    }
}
