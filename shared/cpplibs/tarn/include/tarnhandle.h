#pragma once

#include <windows.h>

namespace Tarn
{
    // An object backed by a Windows handle. The handle stays owned by the object: callers may wait
    // on it or pass it to Windows, but never close it.
    class IHandle
    {
    public:
        // The handle, or null when the object has none (yet).
        virtual HANDLE GetHandle() const = 0;

    protected:
        virtual ~IHandle() = default;
    };
}
