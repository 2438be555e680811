#pragma once

// Shared test helpers for the foundation's tests: the test module object, a listener for debugger
// output lines, and heap accounting for leak checks.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace TarnTest
{
    // Listens to OutputDebugString output exactly as a debug-output viewer does (the DBWIN_BUFFER
    // protocol), so tests see the lines as a developer would. Lines arrive as ANSI text. Only one
    // listener may exist at a time; lines written before construction are not seen.
    class DebugOutputListener
    {
    public:
        DebugOutputListener();
        ~DebugOutputListener();
        DebugOutputListener(const DebugOutputListener&) = delete;
        DebugOutputListener& operator=(const DebugOutputListener&) = delete;

        // Every line received so far, as written (terminators included).
        std::vector<std::string> GetLines();
        // Lines received so far that contain the text.
        std::vector<std::string> GetLinesContaining(const std::string& text);
        void Clear();
    };

    // Bytes in use on every heap of the process (busy blocks), for leak checks.
    size_t GetHeapBytesInUse();

    // Runs the workload a number of times to warm caches, then measures the heap before and after
    // running it `iterations` more times; returns the growth in bytes (0 when it shrank).
    size_t MeasureHeapGrowth(const std::function<void()>& workload, int iterations);

    // The module handle of the test executable, which carries the test string table.
    HINSTANCE GetTestInstance();
}
