#pragma once

#include <windows.h>

#include "tarnformatproxy.h"
#include "tarnstring.h"

namespace Tarn
{
    class Exception;

    // Trace levels in increasing detail. A line is written when its level is at most the process's
    // trace level; level None is never written.
    enum class TraceLevel : INT32
    {
        None = 0,
        Critical = 1,
        Error = 2,
        Warning = 3,
        Info = 4,
        Verbose = 5,
    };

    // Receives every trace line.
    class TraceTarget
    {
    public:
        virtual ~TraceTarget() = default;
        virtual void Trace(const String& traceName, TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function,
                           const String& message) = 0;
    };

    // Writes each line with one OutputDebugStringW call:
    // "0x{thread:X4} [{name} ]{level} {source file}({line}) {function}(): {message}\r\n".
    class DebuggerTraceTarget : public TraceTarget
    {
    public:
        void Trace(const String& traceName, TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function,
                   const String& message) override;
    };

    bool IsTraceEnabled(TraceLevel level) noexcept;
    // Only written at process attach, before other threads of the module run.
    void SetTraceLevel(TraceLevel level) noexcept;
    void SetTraceName(const String& name);
    // The level's display name ("NONE" ... "VERBOSE").
    const String& GetTraceLevelName(TraceLevel level);

    // Writes one line when the level is enabled. With arguments, the message is a composite format
    // string; without, it is written as it stands. Never throws: returns false when the line was
    // filtered out or could not be built or written.
    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message) noexcept;
    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0) noexcept;
    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0, const FormatProxy& a1) noexcept;
    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2) noexcept;
    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2, const FormatProxy& a3) noexcept;

    // The message of the catch convention: "Exception caught. Error code: 0x{0:X8}, Description: {1}".
    extern const String ExceptionCaughtMessage;
    extern const String ExceptionCaughtDescriptionMessage;
    extern const String AssertionFailedMessage;
    extern const String VerifyFailedMessage;
    extern const String UntestedCodeMessage;
    // What a boundary traces for anything thrown that is not a Tarn::Exception: "Unexpected exception caught".
    extern const String UnexpectedExceptionMessage;

    // Traces a caught exception at ERROR by the catch convention (code and description).
    void TraceException(PCWSTR sourceFile, UINT32 line, PCWSTR function, const Exception& exception) noexcept;
    // Traces UnexpectedExceptionMessage at ERROR.
    void TraceUnexpectedException(PCWSTR sourceFile, UINT32 line, PCWSTR function) noexcept;

    // Wraps a message literal in a literal-mode string and forwards to Trace; used by TARN_TRACE.
    template <typename... Arguments>
    bool TraceLiteral(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, PCWSTR message,
                      const Arguments&... arguments) noexcept
    {
        return Trace(level, sourceFile, line, function, String(message, true), FormatProxy(arguments)...);
    }
}

// One trace statement: TARN_TRACE(Tarn::TraceLevel::Error, L"Tarn::String::Load", L"LoadString() failed,
// error code 0x{0:X}", error). The source file is the name TraceSource as seen from the call site: each
// source file defines it once (for example L"src\\tarnstring"), a class template as a static member.
// Nothing is evaluated when the level is disabled.
#define TARN_TRACE(level, function, ...)                                                        \
    do                                                                                          \
    {                                                                                           \
        if (::Tarn::IsTraceEnabled(level))                                                      \
        {                                                                                       \
            ::Tarn::TraceLiteral((level), TraceSource, __LINE__, (function), __VA_ARGS__);      \
        }                                                                                       \
    } while (false)

// The catch convention: TARN_TRACE_EXCEPTION(L"Tarn::Event::~Event", exception).
#define TARN_TRACE_EXCEPTION(function, exception)                                                \
    ::Tarn::TraceException(TraceSource, __LINE__, (function), (exception))
