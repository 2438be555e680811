#include "algorithmprovider.h"

#include "cngfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\algorithmprovider";
}

namespace Crypto
{
    AlgorithmProvider::~AlgorithmProvider()
    {
        if (m_handle != nullptr)
        {
            try
            {
                Close();
            }
            catch (const Tarn::Exception& exception)
            {
                TARN_TRACE_EXCEPTION(L"Crypto::AlgorithmProvider::~AlgorithmProvider", exception);
            }
            m_handle = nullptr;
        }
    }

    void AlgorithmProvider::Close()
    {
        if (m_handle == nullptr)
        {
            return;
        }
        CRYPTO_CHECK_NTSTATUS(::BCryptCloseAlgorithmProvider(m_handle, 0), L"Crypto::AlgorithmProvider::Close",
                              L"BCryptCloseAlgorithmProvider() failed, error code 0x{0:X8}");
        m_handle = nullptr;
    }

    BCRYPT_ALG_HANDLE AlgorithmProvider::OpenAlgorithm(PCWSTR algorithmId)
    {
        BCRYPT_ALG_HANDLE handle = nullptr;
        CRYPTO_CHECK_NTSTATUS(::BCryptOpenAlgorithmProvider(&handle, algorithmId, MS_PRIMITIVE_PROVIDER, 0),
                              L"Crypto::AlgorithmProvider::OpenAlgorithm",
                              L"BCryptOpenAlgorithmProvider() failed, error code 0x{0:X8}");
        return handle;
    }
}
