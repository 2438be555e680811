#include "hashalgorithmprovider.h"

#include "cngfailure.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\hashalgorithmprovider";
}

namespace Crypto
{
    HashAlgorithmProvider::HashAlgorithmProvider(HashAlgorithm algorithm)
        : AlgorithmProvider(OpenAlgorithm(GetAlgorithmId(algorithm))), m_algorithm(algorithm)
    {
    }

    Hash HashAlgorithmProvider::CreateHash()
    {
        if (!IsOpen())
        {
            throw Tarn::InvalidOperationException();
        }
        BCRYPT_HASH_HANDLE handle = nullptr;
        CRYPTO_CHECK_NTSTATUS(::BCryptCreateHash(m_handle, &handle, nullptr, 0, nullptr, 0, 0),
                              L"Crypto::HashAlgorithmProvider::CreateHash",
                              L"BCryptCreateHash() failed, error code 0x{0:X8}");
        return Hash(handle, m_algorithm);
    }

    PCWSTR HashAlgorithmProvider::GetAlgorithmId(HashAlgorithm algorithm)
    {
        switch (algorithm)
        {
        case HashAlgorithm::Md5:
            return BCRYPT_MD5_ALGORITHM;
        case HashAlgorithm::Sha1:
            return BCRYPT_SHA1_ALGORITHM;
        case HashAlgorithm::Sha256:
            return BCRYPT_SHA256_ALGORITHM;
        case HashAlgorithm::Sha384:
            return BCRYPT_SHA384_ALGORITHM;
        case HashAlgorithm::Sha512:
            return BCRYPT_SHA512_ALGORITHM;
        }
        throw Tarn::ArgumentException();
    }
}
