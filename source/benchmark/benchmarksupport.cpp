#include "benchmarksupport.h"

#include <bcrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "testfiles.h"

namespace DigestryBenchmark
{
    namespace
    {
        // The busy loop that checks the thread clock runs until the process has spent this much CPU.
        const double ProbeCpuSeconds = 0.2;
        const unsigned BootstrapSeed = 19;
        const int BootstrapRounds = 2000;

        double CpuSeconds(const FILETIME& kernel, const FILETIME& user)
        {
            const ULONGLONG ticks = (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                                    (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime);
            return static_cast<double>(ticks) / 1e7;
        }

        std::string Format(int decimals, double value)
        {
            char text[32];
            std::snprintf(text, sizeof(text), "%.*f", decimals, value);
            return text;
        }
    }

    const Algorithm Algorithms[AlgorithmCount] = {
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

    double Quantile(std::vector<double> values, double share)
    {
        std::sort(values.begin(), values.end());
        const double position = share * static_cast<double>(values.size() - 1);
        const size_t below = static_cast<size_t>(position);
        const size_t above = std::min(below + 1, values.size() - 1);
        return values[below] + (values[above] - values[below]) * (position - static_cast<double>(below));
    }

    Spread Quartiles(const std::vector<double>& values)
    {
        return {Quantile(values, 0.5), Quantile(values, 0.25), Quantile(values, 0.75)};
    }

    Spread MedianInterval(const std::vector<double>& values)
    {
        std::mt19937 random(BootstrapSeed);
        std::uniform_int_distribution<size_t> pick(0, values.size() - 1);
        std::vector<double> medians;
        std::vector<double> resample(values.size());
        for (int round = 0; round < BootstrapRounds; ++round)
        {
            for (double& value : resample)
            {
                value = values[pick(random)];
            }
            medians.push_back(Median(resample));
        }
        return {Median(values), Quantile(medians, 0.05), Quantile(medians, 0.95)};
    }

    double Median(std::vector<double> values)
    {
        return Quantile(std::move(values), 0.5);
    }

    std::string Describe(const Spread& spread, int decimals)
    {
        return Format(decimals, spread.median) + " (" + Format(decimals, spread.low) + " to " +
               Format(decimals, spread.high) +
               ")";
    }

    bool Missed(const Spread& interval, double target)
    {
        return interval.high < target;
    }

    const char* Verdict(const Spread& interval, double target)
    {
        return interval.median >= target ? "ok" : Missed(interval, target) ? "MISSED" : "within noise";
    }

    CpuClock::CpuClock() : m_threadTimes(true)
    {
        const Reading start = Read();
        const double wallStart = Seconds();
        Reading now = start;
        volatile unsigned sink = 0;
        while (now.process - start.process < ProbeCpuSeconds)
        {
            for (unsigned step = 0; step < 100000; ++step)
            {
                sink = sink + step;
            }
            now = Read();
        }
        const double thread = now.thread - start.thread;
        const double process = now.process - start.process;
        m_threadTimes = thread > process / 2;
        char text[200];
        std::snprintf(text, sizeof(text),
                      "%s; a busy loop read %.2f s from GetThreadTimes and %.2f s from GetProcessTimes in %.2f s wall",
                      m_threadTimes ? "per thread (GetThreadTimes)" : "per process (GetProcessTimes)", thread, process,
                      Seconds() - wallStart);
        m_description = text;
    }

    CpuClock::Reading CpuClock::Read() const
    {
        FILETIME creation;
        FILETIME exit;
        FILETIME kernel;
        FILETIME user;
        Reading reading = {};
        if (!::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user))
        {
            Fail("GetProcessTimes");
        }
        reading.process = CpuSeconds(kernel, user);
        // A system that cannot tell threads apart leaves the thread's part at 0, which the probe notices.
        if (::GetThreadTimes(::GetCurrentThread(), &creation, &exit, &kernel, &user))
        {
            reading.thread = CpuSeconds(kernel, user);
        }
        return reading;
    }

    double CpuClock::OfThisThreadSince(const Reading& start) const
    {
        const Reading now = Read();
        return m_threadTimes ? now.thread - start.thread : now.process - start.process;
    }

    double CpuClock::OfOtherThreadsSince(const Reading& start) const
    {
        const Reading now = Read();
        const double process = now.process - start.process;
        return m_threadTimes ? process - (now.thread - start.thread) : process;
    }

    Timing Stopwatch::StopOnThisThread() const
    {
        const double cpu = m_clock.OfThisThreadSince(m_cpu);
        return {Seconds() - m_wall, cpu};
    }

    Timing Stopwatch::StopOnOtherThreads() const
    {
        const double cpu = m_clock.OfOtherThreadsSince(m_cpu);
        return {Seconds() - m_wall, cpu};
    }

    void PairedRuns::Add(size_t algorithm, const Timing& raw, const Timing& measured)
    {
        m_raw[algorithm].push_back(raw);
        m_measured[algorithm].push_back(measured);
    }

    bool PairedRuns::Print(const char* measuredName, const CpuClock& clock, ULONGLONG bytes, double target) const
    {
        std::printf("CPU clock: %s.\n"
                    "A pair's ratio is the raw loop's time over the %s's (above 1: the %s is faster). The target\n"
                    "applies to the median of the paired CPU-time ratios; a median below it whose interval still\n"
                    "reaches it is within the noise.\n",
                    clock.GetDescription().c_str(), measuredName, measuredName);
        std::printf("%-8s %17s   %-24s %17s   %s\n", "", "CPU ns per byte", "paired CPU-time ratio", "wall MB/s",
                    "paired wall-time ratio");
        std::printf("%-8s %8s %8s   %-24s %8s %8s   %-24s target >= %.2f\n", "", "raw", measuredName,
                    "median (90 % interval)", "raw", measuredName, "median (90 % interval)", target);
        const double size = static_cast<double>(bytes);
        bool allMet = true;
        for (size_t index = 0; index < AlgorithmCount; ++index)
        {
            std::vector<double> cpuPerByte[2];
            std::vector<double> throughput[2];
            std::vector<double> cpuRatios;
            std::vector<double> wallRatios;
            for (size_t run = 0; run < m_raw[index].size(); ++run)
            {
                const Timing& raw = m_raw[index][run];
                const Timing& measured = m_measured[index][run];
                cpuPerByte[0].push_back(raw.cpuSeconds * 1e9 / size);
                cpuPerByte[1].push_back(measured.cpuSeconds * 1e9 / size);
                throughput[0].push_back(size / 1e6 / raw.wallSeconds);
                throughput[1].push_back(size / 1e6 / measured.wallSeconds);
                // A run shorter than a step of the CPU clock may read 0.
                if (raw.cpuSeconds > 0 && measured.cpuSeconds > 0)
                {
                    cpuRatios.push_back(raw.cpuSeconds / measured.cpuSeconds);
                }
                wallRatios.push_back(raw.wallSeconds / measured.wallSeconds);
            }
            if (cpuRatios.empty())
            {
                Fail("every run was too short for the CPU clock: use a larger file");
            }
            const Spread cpuRatio = MedianInterval(cpuRatios);
            allMet = allMet && !Missed(cpuRatio, target);
            std::printf("%-8s %8.3f %8.3f   %-24s %8.1f %8.1f   %-24s %s\n", Algorithms[index].name,
                        Median(cpuPerByte[0]), Median(cpuPerByte[1]), Describe(cpuRatio, 3).c_str(),
                        Median(throughput[0]), Median(throughput[1]), Describe(MedianInterval(wallRatios), 3).c_str(),
                        Verdict(cpuRatio, target));
        }
        return allMet;
    }

    long long PrivateCommittedKiB()
    {
        long long kib = 0;
        MEMORY_BASIC_INFORMATION region = {};
        for (const BYTE* address = nullptr; ::VirtualQuery(address, &region, sizeof(region)) == sizeof(region);
             address = static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize)
        {
            if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            {
                kib += static_cast<long long>(region.RegionSize / 1024);
            }
        }
        return kib;
    }

    Timing RawDigest(const CpuClock& clock, const Algorithm& algorithm, const std::wstring& path, std::string& hexDigest)
    {
        const Stopwatch stopwatch(clock);
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
        const Timing timing = stopwatch.StopOnThisThread();
        hexDigest = DigestryTest::HexDigest(digest.data(), digest.size());
        return timing;
    }
}
