#include "hash.h"

#include "cngfailure.h"
#include "tarnautoptr.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\hash";
}

namespace Crypto
{
    Hash::~Hash()
    {
        CloseInDestructor(TraceSource, __LINE__, L"Crypto::Hash::~Hash");
    }

    void Hash::ReleaseHandle(BCRYPT_HANDLE handle)
    {
        CRYPTO_CHECK_NTSTATUS(::BCryptDestroyHash(handle), L"Crypto::Hash::Close",
                              L"BCryptDestroyHash() failed, error code 0x{0:X8}");
    }

    void Hash::HashData(PUCHAR data, ULONG size)
    {
        if (!IsOpen())
        {
            throw Tarn::InvalidOperationException();
        }
        CRYPTO_CHECK_NTSTATUS(::BCryptHashData(m_handle, data, size, 0), L"Crypto::Hash::HashData",
                              L"BCryptHashData() failed, error code 0x{0:X8}");
    }

    void Hash::GetHash(PUCHAR output, ULONG size)
    {
        if (!IsOpen())
        {
            throw Tarn::InvalidOperationException();
        }
        // Checked before finishing: a refused finish could leave the message unusable, while a
        // wrong size caught here leaves the hash open for a corrected call.
        if (output == nullptr || size != GetDigestLength())
        {
            throw Tarn::ArgumentException();
        }
        CRYPTO_CHECK_NTSTATUS(::BCryptFinishHash(m_handle, output, size, 0), L"Crypto::Hash::GetHash",
                              L"BCryptFinishHash() failed, error code 0x{0:X8}");
        // A finished CNG hash cannot be fed again; closing it makes further use fail cleanly.
        Close();
    }

    Tarn::Buffer* Hash::GetHash()
    {
        if (!IsOpen())
        {
            throw Tarn::InvalidOperationException();
        }
        const ULONG length = GetDigestLength();
        Tarn::AutoRefCountPtr<Tarn::Buffer> digest(new Tarn::Buffer(length));
        GetHash(digest->GetData(), length);
        digest->SetLength(length);
        return digest.Detach();
    }

    ULONG Hash::GetDigestLength() const
    {
        ULONG length = 0;
        GetProperty(BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof(length));
        return length;
    }
}
