#pragma once

#include <windows.h>
#include <bcrypt.h>

#include "cngobject.h"
#include "hashalgorithm.h"
#include "tarnbuffer.h"

namespace Crypto
{
    class HashAlgorithmProvider;

    // Owns a CNG hash object: feed it the message with HashData, then read the digest once with
    // GetHash, which closes it. Any use after that throws InvalidOperationException.
    class Hash : public CngObject
    {
    public:
        // Destroys the hash object if still open; a failure is traced, never thrown.
        ~Hash() override;

        HashAlgorithm GetAlgorithm() const noexcept { return m_algorithm; }

        // Appends size bytes to the message.
        void HashData(PUCHAR data, ULONG size);

        // Finishes the digest into output, whose size must equal the digest length exactly
        // (ArgumentException otherwise, and for a null output; the hash then stays open).
        void GetHash(PUCHAR output, ULONG size);
        // Finishes the digest into a new buffer of exactly the digest length. The caller owns the
        // buffer's one reference.
        Tarn::Buffer* GetHash();

    protected:
        void ReleaseHandle(BCRYPT_HANDLE handle) override;

    private:
        friend class HashAlgorithmProvider;

        // Takes ownership of an open hash handle.
        Hash(BCRYPT_HASH_HANDLE handle, HashAlgorithm algorithm) noexcept : CngObject(handle), m_algorithm(algorithm) {}

        ULONG GetDigestLength() const;

        const HashAlgorithm m_algorithm;
    };
}
