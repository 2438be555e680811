#pragma once

#include <windows.h>

namespace Crypto
{
    // The digest algorithms the engine offers. The values are fixed: they key the hash manager's
    // cache, identify the algorithm in the completion message and are stored as combo box item data.
    enum class HashAlgorithm : INT32
    {
        Md5 = 1,
        Sha1 = 2,
        Sha256 = 3,
        Sha384 = 4,
        Sha512 = 5,
    };
}
