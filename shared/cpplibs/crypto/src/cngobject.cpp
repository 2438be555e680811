#include "cngobject.h"

#include "cngfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\cngobject";
}

namespace Crypto
{
    void CngObject::Close()
    {
        if (m_handle == nullptr)
        {
            return;
        }
        ReleaseHandle(m_handle);
        m_handle = nullptr;
    }

    ULONG CngObject::GetProperty(PCWSTR propertyName, PUCHAR output, ULONG outputSize) const
    {
        if (!IsOpen())
        {
            throw Tarn::InvalidOperationException();
        }
        ULONG written = 0;
        CRYPTO_CHECK_NTSTATUS(::BCryptGetProperty(m_handle, propertyName, output, outputSize, &written, 0),
                              L"Crypto::CngObject::GetProperty", L"BCryptGetProperty() failed, error code 0x{0:X8}");
        return written;
    }

    void CngObject::CloseInDestructor(PCWSTR traceSource, UINT32 line, PCWSTR destructor) noexcept
    {
        if (m_handle == nullptr)
        {
            return;
        }
        try
        {
            Close();
        }
        catch (const Tarn::Exception& exception)
        {
            Tarn::TraceException(traceSource, line, destructor, exception);
        }
        m_handle = nullptr;
    }
}
