#pragma once

// What the benchmarks share: the algorithms, the clocks, the plain platform loop that the engine
// and the page are measured against, and the statistics that tell a difference from the noise of
// a shared machine.

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

    const size_t AlgorithmCount = 5;
    extern const Algorithm Algorithms[AlgorithmCount];

    // Reports the failed step and ends the benchmark with exit code 1.
    [[noreturn]] void Fail(const char* what);
    double Seconds();

    // A sample's median and a range around it. The statistics below take samples that are not empty.
    struct Spread
    {
        double median;
        double low;
        double high;
    };

    // The median and the quartiles: how far single values spread.
    Spread Quartiles(const std::vector<double>& values);
    // The median and the range that holds 90 % of the medians of resamples (drawn with a fixed seed,
    // so that a sample always gives the same range): how far the median itself may be off.
    Spread MedianInterval(const std::vector<double>& values);
    double Median(std::vector<double> values);
    // The value below which the share (0 to 1) of the sample lies, interpolated between neighbours.
    double Quantile(std::vector<double> values, double share);
    // "median (low to high)", each with the number of decimals given.
    std::string Describe(const Spread& spread, int decimals);
    // For a figure that should reach the target: missed when the whole interval lies below it.
    bool Missed(const Spread& interval, double target);
    // "ok" when the median reaches the target, "MISSED" when missed, "within noise" otherwise.
    const char* Verdict(const Spread& interval, double target);

    // CPU seconds of the process, split into the calling thread and all the others (ended ones
    // included). Wine reports the times of running threads only: an ended thread's read 0, so the
    // work of a thread that ends by itself is counted as the process's less the caller's.
    class CpuClock
    {
    public:
        struct Reading
        {
            double process;
            double thread;
        };

        // Runs a busy loop to check that the system reports single threads' times; when it does
        // not, both parts read the whole process's time.
        CpuClock();

        // Which clock is read, for the report.
        const std::string& GetDescription() const { return m_description; }
        Reading Read() const;
        // CPU seconds of the calling thread since the reading (taken on this thread).
        double OfThisThreadSince(const Reading& start) const;
        // CPU seconds of the process's other threads since the reading (taken on this thread).
        double OfOtherThreadsSince(const Reading& start) const;

    private:
        bool m_threadTimes;
        std::string m_description;
    };

    // What one run cost.
    struct Timing
    {
        double wallSeconds;
        double cpuSeconds;
    };

    // Times one run from construction: wall clock and the CPU of the thread(s) that do the work.
    class Stopwatch
    {
    public:
        explicit Stopwatch(const CpuClock& clock) : m_clock(clock), m_cpu(clock.Read()), m_wall(Seconds()) {}
        // For work done on the calling thread.
        Timing StopOnThisThread() const;
        // For work done on the process's other threads while this one waits.
        Timing StopOnOtherThreads() const;

    private:
        const CpuClock& m_clock;
        CpuClock::Reading m_cpu;
        double m_wall;
    };

    // Runs of the raw loop, each paired with the run beside it of what is measured against it, per
    // algorithm. Pairs cancel what the machine's load does to both sides of a moment; the median
    // of their ratios ignores the moments when the load hit one side only.
    class PairedRuns
    {
    public:
        void Add(size_t algorithm, const Timing& raw, const Timing& measured);
        // One row per algorithm with the medians of CPU time per byte and wall-clock throughput of
        // both sides and the paired ratios of the raw loop's times over the measured side's (1 is
        // parity, above is faster), after a note on the clock. Returns false when the target on
        // the paired CPU-time ratios is missed for an algorithm.
        bool Print(const char* measuredName, const CpuClock& clock, ULONGLONG bytes, double target) const;

    private:
        std::vector<Timing> m_raw[AlgorithmCount];
        std::vector<Timing> m_measured[AlgorithmCount];
    };

    // The process's committed private memory, by walking its address space: under Wine the private
    // bytes of GetProcessMemoryInfo read 0.
    long long PrivateCommittedKiB();

    // The platform alone: ReadFile of 16384-byte blocks and BCryptHashData, what the engine does
    // minus the engine. Returns what it took from opening the file to the finished digest, which it
    // stores as lower-case hexadecimal text.
    Timing RawDigest(const CpuClock& clock, const Algorithm& algorithm, const std::wstring& path, std::string& hexDigest);
}
