#include "tarnwaitableobject.h"

#include "tarnexception.h"
#include "tarnfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnwaitableobject";
}

namespace Tarn
{
    bool WaitableObject::WaitFor(DWORD timeout) const
    {
        const HANDLE handle = GetHandle();
        if (handle == nullptr)
        {
            throw InvalidOperationException();
        }
        const DWORD result = ::WaitForSingleObject(handle, timeout);
        if (result == WAIT_FAILED)
        {
            TARN_THROW_WIN32(L"Tarn::WaitableObject::WaitFor", L"WaitForSingleObject() failed, error code 0x{0:X}",
                             ::GetLastError());
        }
        return result == WAIT_OBJECT_0;
    }
}
