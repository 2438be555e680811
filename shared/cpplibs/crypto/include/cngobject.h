#pragma once

#include <windows.h>
#include <bcrypt.h>

namespace Crypto
{
    // Owns exactly one CNG handle. A derived class decides how the handle is closed; its destructor
    // closes a handle that is still open. Not copyable.
    class CngObject
    {
    public:
        CngObject(const CngObject&) = delete;
        CngObject& operator=(const CngObject&) = delete;
        virtual ~CngObject() = default;

        virtual bool IsOpen() const { return m_handle != nullptr; }
        // Releases the handle; nothing happens when it is already closed. A failed close throws
        // SystemException and leaves the handle set.
        virtual void Close() = 0;

        // Reads a property of the object into output; returns the number of bytes written.
        // InvalidOperationException when closed; SystemException when CNG refuses.
        ULONG GetProperty(PCWSTR propertyName, PUCHAR output, ULONG outputSize) const;

    protected:
        explicit CngObject(BCRYPT_HANDLE handle) noexcept : m_handle(handle) {}

        BCRYPT_HANDLE m_handle;
    };
}
