#include "benchmarksupport.h"

#include <bcrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "testfiles.h"

namespace DigestryBenchmark
{
    const Algorithm Algorithms[5] = {
        {Crypto::HashAlgorithm::Md5, "MD5", BCRYPT_MD5_ALGORITHM},
        {Crypto::HashAlgorithm::Sha1, "SHA-1", BCRYPT_SHA1_ALGORITHM},
        {Crypto::HashAlgorithm::Sha256, "SHA-256", BCRYPT_SHA256_ALGORITHM},
        {Crypto::HashAlgorithm::Sha384, "SHA-384", BCRYPT_SHA384_ALGORITHM},
        {Crypto::HashAlgorithm::Sha512, "SHA-512", BCRYPT_SHA512_ALGORITHM},
    };

    void Fail(const char* what)
    {
        std::fprintf(stderr, "benchmark failed: %s\n", what);
        std::exit(1);
    }

    double Seconds()
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }

    double Median(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        const size_t middle = values.size() / 2;
        return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
    }

    double RawDigest(const Algorithm& algorithm, const std::wstring& path, std::string& hexDigest)
    {
        const double start = Seconds();
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
        {
            Fail("CreateFileW");
        }
        BCRYPT_ALG_HANDLE provider = nullptr;
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&provider, algorithm.cngId, MS_PRIMITIVE_PROVIDER, 0)) ||
            !BCRYPT_SUCCESS(::BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0)))
        {
            Fail("CNG set-up");
        }
        std::vector<UCHAR> block(16384);
        for (;;)
        {
            DWORD count = 0;
            if (!::ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &count, nullptr))
            {
                Fail("ReadFile");
            }
            if (count == 0)
            {
                break;
            }
            if (!BCRYPT_SUCCESS(::BCryptHashData(hash, block.data(), count, 0)))
            {
                Fail("BCryptHashData");
            }
        }
        ULONG length = 0;
        ULONG written = 0;
        ::BCryptGetProperty(hash, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof(length), &written, 0);
        std::vector<UCHAR> digest(length);
        if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest.data(), length, 0)))
        {
            Fail("BCryptFinishHash");
        }
        ::BCryptDestroyHash(hash);
        ::BCryptCloseAlgorithmProvider(provider, 0);
        ::CloseHandle(file);
        const double elapsed = Seconds() - start;
        hexDigest = DigestryTest::HexDigest(digest.data(), digest.size());
        return elapsed;
    }
}
