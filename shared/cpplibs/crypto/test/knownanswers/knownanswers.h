#pragma once

// Published digests (RFC 1321, FIPS 180-4 examples) shared by the CNG and engine tests.

#include <string>
#include <vector>

#include "hashalgorithm.h"

namespace CryptoTest
{
    struct KnownAnswer
    {
        Crypto::HashAlgorithm algorithm;
        const char* name;
        size_t digestLength;
        const char* empty;
        const char* abc;
        const char* millionA;
    };

    inline const std::vector<KnownAnswer>& KnownAnswers()
    {
        static const std::vector<KnownAnswer> answers = {
            {Crypto::HashAlgorithm::Md5, "MD5", 16,
             "d41d8cd98f00b204e9800998ecf8427e",
             "900150983cd24fb0d6963f7d28e17f72",
             "7707d6ae4e027c70eea2a935c2296f21"},
            {Crypto::HashAlgorithm::Sha1, "SHA-1", 20,
             "da39a3ee5e6b4b0d3255bfef95601890afd80709",
             "a9993e364706816aba3e25717850c26c9cd0d89d",
             "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
            {Crypto::HashAlgorithm::Sha256, "SHA-256", 32,
             "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
             "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
             "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
            {Crypto::HashAlgorithm::Sha384, "SHA-384", 48,
             "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b",
             "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7",
             "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
            {Crypto::HashAlgorithm::Sha512, "SHA-512", 64,
             "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
             "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e",
             "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
             "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
             "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
             "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
        };
        return answers;
    }

    inline std::string ToHex(const unsigned char* bytes, size_t count)
    {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (size_t i = 0; i < count; ++i)
        {
            text += digits[bytes[i] >> 4];
            text += digits[bytes[i] & 0x0F];
        }
        return text;
    }
}
