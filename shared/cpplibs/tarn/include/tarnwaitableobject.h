#pragma once

#include <windows.h>

#include "tarnhandle.h"

namespace Tarn
{
    // A kernel object that can be waited for. Several of them can be waited for together by passing
    // their handles to WaitForMultipleObjects.
    class IWaitableObject : public IHandle
    {
    public:
        // Waits up to timeout milliseconds (INFINITE for no limit). True when the object was
        // signalled; false on a time-out or an abandoned wait.
        virtual bool WaitFor(DWORD timeout) const = 0;

    protected:
        ~IWaitableObject() override = default;
    };

    // Waiting implemented once for every kernel object; derived classes supply the handle.
    class WaitableObject : public IWaitableObject
    {
    public:
        // InvalidOperationException when the object has no handle; SystemException when the wait
        // itself fails.
        bool WaitFor(DWORD timeout) const override;
        ~WaitableObject() override = default;

    protected:
        WaitableObject() = default;
        WaitableObject(const WaitableObject&) = delete;
        WaitableObject& operator=(const WaitableObject&) = delete;
    };
}
