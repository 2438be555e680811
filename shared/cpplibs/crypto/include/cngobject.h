#pragma once

#include <windows.h>
#include <bcrypt.h>

namespace Crypto
{
    // Owns exactly one CNG handle. A derived class supplies the CNG call that releases its kind of
    // handle, and its destructor closes a handle that is still open. Not copyable.
    class CngObject
    {
    public:
        CngObject(const CngObject&) = delete;
        CngObject& operator=(const CngObject&) = delete;
        virtual ~CngObject() = default;

        virtual bool IsOpen() const { return m_handle != nullptr; }
        // Releases the handle; nothing happens when it is already closed. A failed close throws
        // SystemException and leaves the handle set.
        virtual void Close();

        // Reads a property of the object into output; returns the number of bytes written.
        // InvalidOperationException when closed; SystemException when CNG refuses.
        ULONG GetProperty(PCWSTR propertyName, PUCHAR output, ULONG outputSize) const;

    protected:
        explicit CngObject(BCRYPT_HANDLE handle) noexcept : m_handle(handle) {}

        // Releases an open handle through the CNG call for its kind; a refusal is traced and thrown
        // as SystemException.
        virtual void ReleaseHandle(BCRYPT_HANDLE handle) = 0;
        // For a derived destructor, which names itself (source file, line, function): closes a
        // handle that is still open and forgets it whatever happens. A failed close is traced by
        // the catch convention under those names.
        void CloseInDestructor(PCWSTR traceSource, UINT32 line, PCWSTR destructor) noexcept;

        BCRYPT_HANDLE m_handle;
    };
}
