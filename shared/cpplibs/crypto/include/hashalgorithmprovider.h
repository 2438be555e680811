#pragma once

#include <windows.h>

#include "algorithmprovider.h"
#include "hash.h"
#include "hashalgorithm.h"

namespace Crypto
{
    // A provider opened for one digest algorithm; it creates the hash objects that compute digests.
    class HashAlgorithmProvider : public AlgorithmProvider
    {
    public:
        // Opens the provider. ArgumentException for a value that is not a HashAlgorithm (nothing is
        // opened); SystemException when CNG refuses.
        explicit HashAlgorithmProvider(HashAlgorithm algorithm);

        HashAlgorithm GetAlgorithm() const noexcept { return m_algorithm; }

        // A new hash object for a plain digest (no HMAC secret); CNG allocates its memory. The hash
        // must be destroyed before this provider is closed. InvalidOperationException when closed.
        Hash CreateHash();

    private:
        static PCWSTR GetAlgorithmId(HashAlgorithm algorithm);

        const HashAlgorithm m_algorithm;
    };
}
