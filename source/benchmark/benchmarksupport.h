#pragma once

// What the benchmarks share: the algorithms, a clock, and the plain platform loop that the engine
// and the page are measured against.

#include <windows.h>

#include <string>
#include <vector>

#include "hashalgorithm.h"

namespace DigestryBenchmark
{
    struct Algorithm
    {
        Crypto::HashAlgorithm value;
        // As the page's combo box lists it.
        const char* name;
        PCWSTR cngId;
    };

    extern const Algorithm Algorithms[5];

    // Reports the failed step and ends the benchmark with exit code 1.
    [[noreturn]] void Fail(const char* what);
    double Seconds();
    double Median(std::vector<double> values);

    // The platform alone: ReadFile of 16384-byte blocks and BCryptHashData, what the engine does
    // minus the engine. Returns the seconds from opening the file to the finished digest, which it
    // stores as lower-case hexadecimal text.
    double RawDigest(const Algorithm& algorithm, const std::wstring& path, std::string& hexDigest);
}
