#pragma once

#include <windows.h>

#include "tarnwaitableobject.h"

namespace Tarn
{
    // Owns one unnamed Windows event. The event exists from Create to Close or destruction; Set and
    // WaitFor may be called from any thread.
    class Event : public WaitableObject
    {
    public:
        // No event yet: the handle is null until Create.
        Event() noexcept;
        // Closes the event; a failure is traced, not thrown.
        ~Event() override;

        HANDLE GetHandle() const override { return m_handle; }

        // Creates the event. InvalidOperationException when it already exists; SystemException when
        // Windows refuses.
        void Create(bool manualReset, bool initialState);
        void Set();
        // Whether the event is signalled now, without waiting.
        bool IsSet() const;
        // Closes the handle if there is one. On failure the handle is kept and SystemException thrown.
        void Close();

    private:
        HANDLE m_handle;
    };
}
