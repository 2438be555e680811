#pragma once

#include <windows.h>
#include <bcrypt.h>

#include "cngobject.h"

namespace Crypto
{
    // Owns a CNG algorithm-provider handle. Every object created from the provider must be closed
    // before the provider is.
    class AlgorithmProvider : public CngObject
    {
    public:
        // Closes the provider; a failure is traced, never thrown.
        ~AlgorithmProvider() override;

        // Opens the Microsoft Primitive Provider for a CNG algorithm identifier ("SHA256", ...) and
        // returns the raw handle, which the caller owns. SystemException when CNG refuses.
        static BCRYPT_ALG_HANDLE OpenAlgorithm(PCWSTR algorithmId);

    protected:
        // Takes ownership of an open provider handle.
        explicit AlgorithmProvider(BCRYPT_ALG_HANDLE handle) noexcept : CngObject(handle) {}

        void ReleaseHandle(BCRYPT_HANDLE handle) override;
    };
}
