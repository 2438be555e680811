#pragma once

// Real files for the engine's tests and benchmark.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "hashalgorithm.h"

namespace DigestryTest
{
    // A file in the temporary folder, deleted when the object goes.
    class TemporaryFile
    {
    public:
        // A file holding exactly these bytes.
        explicit TemporaryFile(const std::string& content);
        // A file holding these bytes under this name in the temporary folder (a new name when empty).
        TemporaryFile(const std::string& content, const std::wstring& name);
        // A file of size bytes, cheap to create: the same pseudo-random MiB over and over.
        static TemporaryFile OfSize(uint64_t size);
        // A file of size bytes, all zero, that takes no room on the disk.
        static TemporaryFile Sparse(uint64_t size);
        TemporaryFile(TemporaryFile&& other) noexcept;
        TemporaryFile(const TemporaryFile&) = delete;
        TemporaryFile& operator=(const TemporaryFile&) = delete;
        ~TemporaryFile();

        const std::wstring& GetPath() const { return m_path; }

    private:
        explicit TemporaryFile(std::wstring path);

        std::wstring m_path;
    };

    // A named pipe that stands for a file whose reads never complete, like one on a hung network
    // share: the test writes nothing unless it feeds a byte. A watchdog disconnects the pipe should
    // its reader still be waiting a minute after the pipe was made, so that a reader nobody stops
    // fails its test instead of hanging it.
    class SilentPipe
    {
    public:
        SilentPipe();
        SilentPipe(const SilentPipe&) = delete;
        SilentPipe& operator=(const SilentPipe&) = delete;
        ~SilentPipe();

        // The name a reader opens, as a file.
        const std::wstring& GetPath() const { return m_path; }
        // Writes one byte and returns once the reader has taken it: the pipe buffers nothing.
        bool Feed();
        // Whether the watchdog had to end a read.
        bool WatchdogFired() const { return m_watchdogFired; }

    private:
        std::wstring m_path;
        HANDLE m_pipe;
        HANDLE m_stop;
        std::atomic<bool> m_watchdogFired;
        std::thread m_watchdog;
    };

    // Deterministic bytes, different for each seed.
    std::string PseudoRandomBytes(size_t count, uint32_t seed);
    // The digest of the bytes hashed in one piece, as lower-case hexadecimal text.
    std::string HexDigest(Crypto::HashAlgorithm algorithm, const std::string& content);
    std::string HexDigest(const BYTE* bytes, size_t count);
    // Threads of this process right now.
    size_t CountProcessThreads();
}
