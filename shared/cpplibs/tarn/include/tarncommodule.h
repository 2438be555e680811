#pragma once

#include <windows.h>

namespace Tarn
{
    namespace Com
    {
        // The server's side of its objects' lifetimes: every live object and every server lock
        // keeps the module loaded. Callable from any thread.
        class IComModule
        {
        public:
            // An object of the module was created or destroyed.
            virtual void IncrementObjectCount() = 0;
            virtual void DecrementObjectCount() = 0;
            // IClassFactory::LockServer: true adds a lock, false removes one. Returns S_OK.
            virtual HRESULT LockServer(bool lock) = 0;

        protected:
            ~IComModule() = default;
        };
    }
}
