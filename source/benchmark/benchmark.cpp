// Measures the hashing engine against the plain platform loop it is built on.
//
//   digestry_benchmark [size in MiB, default 1024] [repetitions, default 5]
//
// On one generated file it times, for every algorithm and interleaved over the repetitions, the
// raw loop (ReadFile of 16384 bytes plus BCryptHashData) and the whole engine (HashManager request
// to completion message), in CPU time of the hashing thread and in wall-clock time, and compares
// each raw run with the engine run beside it. It also times Shutdown during a running computation
// and reports the process's peak working set after hashing a 1 MiB file and after hashing the
// large file.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "benchmarksupport.h"
#include "hashmanager.h"
#include "notificationwindow.h"
#include "testfiles.h"

using namespace DigestryBenchmark;
using DigestryTest::NotificationWindow;
using DigestryTest::TemporaryFile;

namespace
{
    double PeakWorkingSetMiB()
    {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof(counters);
        if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)))
        {
            Fail("GetProcessMemoryInfo");
        }
        return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
    }

    // The engine as the page drives it: one request, then the message loop until the notification.
    // Returns what it took from the request to the completion message; the CPU time is the
    // worker's, as this thread only waits.
    Timing EngineDigest(const CpuClock& clock, const Algorithm& algorithm, const std::wstring& path,
                        NotificationWindow& window, std::string& hexDigest)
    {
        window.Clear();
        HashManager manager;
        manager.Initialize(Tarn::String(path.c_str(), false), window.GetHandle());
        const Stopwatch stopwatch(clock);
        manager.ComputeHash(algorithm.value);
        if (!window.WaitForNotifications(1, INFINITE) || window.GetNotifications()[0].kind != 0)
        {
            Fail("the engine reported no digest");
        }
        const Timing timing = stopwatch.StopOnOtherThreads();
        Tarn::IBuffer* digest = manager.GetHash(algorithm.value);
        hexDigest = DigestryTest::HexDigest(digest->GetData(), digest->GetLength());
        digest->Release();
        manager.Shutdown();
        return timing;
    }

    void HashWithEngine(const CpuClock& clock, const std::wstring& path, NotificationWindow& window)
    {
        std::string digest;
        for (const Algorithm& algorithm : Algorithms)
        {
            EngineDigest(clock, algorithm, path, window, digest);
        }
    }
}

int main(int argc, char** argv)
{
    const unsigned long sizeMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    if (sizeMiB == 0 || repetitions <= 0)
    {
        std::fprintf(stderr, "usage: digestry_benchmark [size in MiB, default 1024] [repetitions, default 5]\n");
        return 2;
    }
    const ULONGLONG size = static_cast<ULONGLONG>(sizeMiB) << 20;
    NotificationWindow window;

    // Peak working set first, before the throughput runs can raise it.
    const CpuClock clock;
    const TemporaryFile small = TemporaryFile::OfSize(1 << 20);
    HashWithEngine(clock, small.GetPath(), window);
    const double peakSmall = PeakWorkingSetMiB();
    std::printf("Generating a %lu MiB file...\n", sizeMiB);
    const TemporaryFile large = TemporaryFile::OfSize(size);
    HashWithEngine(clock, large.GetPath(), window);
    const double peakLarge = PeakWorkingSetMiB();

    PairedRuns pairs;
    for (int run = 0; run < repetitions; ++run)
    {
        for (size_t index = 0; index < AlgorithmCount; ++index)
        {
            // Alternating the order evens out what the first of a pair pays for the second.
            const bool rawFirst = run % 2 == 0;
            std::string rawDigest;
            std::string engineDigest;
            Timing raw = {};
            if (rawFirst)
            {
                raw = RawDigest(clock, Algorithms[index], large.GetPath(), rawDigest);
            }
            const Timing engine = EngineDigest(clock, Algorithms[index], large.GetPath(), window, engineDigest);
            if (!rawFirst)
            {
                raw = RawDigest(clock, Algorithms[index], large.GetPath(), rawDigest);
            }
            if (rawDigest != engineDigest)
            {
                Fail("the engine and the raw loop disagree on the digest");
            }
            pairs.Add(index, raw, engine);
        }
    }
    std::printf("\nThe engine against the raw loop on %lu MiB, %d pairs of runs side by side per algorithm.\n",
                sizeMiB, repetitions);
    bool allMet = pairs.Print("engine", clock, size, 0.97);

    std::vector<double> shutdownMs;
    for (int run = 0; run < std::max(repetitions, 5); ++run)
    {
        window.Clear();
        HashManager manager;
        manager.Initialize(Tarn::String(large.GetPath().c_str(), false), window.GetHandle());
        manager.ComputeHash(Crypto::HashAlgorithm::Sha256);
        manager.ComputeHash(Crypto::HashAlgorithm::Sha512);
        ::Sleep(100);
        const double start = Seconds();
        manager.Shutdown();
        shutdownMs.push_back((Seconds() - start) * 1000.0);
        window.DispatchPending();
        if (!window.GetNotifications().empty())
        {
            Fail("a computation finished before Shutdown: use a larger file");
        }
    }
    const double slowestShutdown = *std::max_element(shutdownMs.begin(), shutdownMs.end());
    allMet = allMet && slowestShutdown < 50.0;
    std::printf("\nShutdown during two running computations: median %.3f ms, slowest %.3f ms (target < 50 ms: %s)\n",
                Median(shutdownMs), slowestShutdown, slowestShutdown < 50.0 ? "ok" : "MISSED");

    const double growth = peakLarge - peakSmall;
    allMet = allMet && growth < 1.0;
    std::printf("Peak working set: %.2f MiB after a 1 MiB file, %.2f MiB after the %lu MiB file, growth %.3f MiB "
                "(target < 1 MiB: %s)\n",
                peakSmall, peakLarge, sizeMiB, growth, growth < 1.0 ? "ok" : "MISSED");
    std::printf("\nAll targets %s.\n", allMet ? "met" : "NOT met");
    return 0;
}
