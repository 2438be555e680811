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
        CloseInDestructor(TraceSource, __LINE__, L"Crypto::AlgorithmProvider::~AlgorithmProvider");
    }

    void AlgorithmProvider::ReleaseHandle(BCRYPT_HANDLE handle)
    {
        CRYPTO_CHECK_NTSTATUS(::BCryptCloseAlgorithmProvider(handle, 0), L"Crypto::AlgorithmProvider::Close",
                              L"BCryptCloseAlgorithmProvider() failed, error code 0x{0:X8}");
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
