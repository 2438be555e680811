// Process-wide trace state and the trace entry points. Every static here is constant-initialised,
// so code in any translation unit may trace during its own static initialisation.

#include "tarntrace.h"

#include "tarnexception.h"
#include "tarnformatter.h"
#include "tarnlocale.h"

namespace
{
    // Written only at process attach, before other threads of the module run; read without a lock.
    Tarn::TraceLevel ProcessTraceLevel = Tarn::TraceLevel::Warning;
    Tarn::String ProcessTraceName;

    Tarn::DebuggerTraceTarget ProcessDebuggerTarget;
    Tarn::TraceTarget* const ProcessTraceTarget = &ProcessDebuggerTarget;

    const Tarn::String TraceLevelNames[] = {
        Tarn::String(L"NONE", true),
        Tarn::String(L"CRITICAL", true),
        Tarn::String(L"ERROR", true),
        Tarn::String(L"WARNING", true),
        Tarn::String(L"INFO", true),
        Tarn::String(L"VERBOSE", true),
    };

    const Tarn::String LineWithoutName(L"0x{0:X4} {1} {2}({3}) {4}(): {5}\r\n", true);
    const Tarn::String LineWithName(L"0x{0:X4} {1} {2} {3}({4}) {5}(): {6}\r\n", true);

    void WriteLine(Tarn::TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const Tarn::String& text)
    {
        ProcessTraceTarget->Trace(ProcessTraceName, level, sourceFile, line, function, text);
    }

    bool TraceFormatted(Tarn::TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function,
                        const Tarn::String& message, const Tarn::FormatProxy* arguments, UINT32 argumentCount) noexcept
    {
        if (!Tarn::IsTraceEnabled(level))
        {
            return false;
        }
        // A line that cannot be built or written is lost; the caller's own failure handling follows.
        try
        {
            const Tarn::String text = Tarn::Formatter::Format(message, arguments, argumentCount, Tarn::Locale::Invariant);
            WriteLine(level, sourceFile, line, function, text);
            return true;
        }
        catch (...)
        {
            return false;
        }
    }
}

namespace Tarn
{
    const String ExceptionCaughtMessage(L"Exception caught. Error code: 0x{0:X8}, Description: {1}", true);
    const String ExceptionCaughtDescriptionMessage(L"Exception caught. Description: {0}", true);
    const String AssertionFailedMessage(L"DEBUG ASSERTION FAILED. Expression: ({0})", true);
    const String VerifyFailedMessage(L"VERIFY FAILED. Expression: ({0})", true);
    const String UntestedCodeMessage(L"UNTESTED CODE", true);
    const String UnexpectedExceptionMessage(L"Unexpected exception caught", true);

    bool IsTraceEnabled(TraceLevel level) noexcept
    {
        return static_cast<INT32>(level) <= static_cast<INT32>(ProcessTraceLevel);
    }

    void SetTraceLevel(TraceLevel level) noexcept
    {
        ProcessTraceLevel = level;
    }

    void SetTraceName(const String& name)
    {
        ProcessTraceName = name;
    }

    const String& GetTraceLevelName(TraceLevel level)
    {
        const INT32 index = static_cast<INT32>(level);
        if (index < 0 || index >= static_cast<INT32>(ARRAYSIZE(TraceLevelNames)))
        {
            throw ArgumentException();
        }
        return TraceLevelNames[index];
    }

    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message) noexcept
    {
        if (!IsTraceEnabled(level))
        {
            return false;
        }
        // Without arguments the message is not a format string: its braces are written as they are.
        try
        {
            WriteLine(level, sourceFile, line, function, message);
            return true;
        }
        catch (...)
        {
            return false;
        }
    }

    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0) noexcept
    {
        const FormatProxy arguments[] = {a0};
        return TraceFormatted(level, sourceFile, line, function, message, arguments, ARRAYSIZE(arguments));
    }

    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0, const FormatProxy& a1) noexcept
    {
        const FormatProxy arguments[] = {a0, a1};
        return TraceFormatted(level, sourceFile, line, function, message, arguments, ARRAYSIZE(arguments));
    }

    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2) noexcept
    {
        const FormatProxy arguments[] = {a0, a1, a2};
        return TraceFormatted(level, sourceFile, line, function, message, arguments, ARRAYSIZE(arguments));
    }

    bool Trace(TraceLevel level, PCWSTR sourceFile, UINT32 line, PCWSTR function, const String& message,
               const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2, const FormatProxy& a3) noexcept
    {
        const FormatProxy arguments[] = {a0, a1, a2, a3};
        return TraceFormatted(level, sourceFile, line, function, message, arguments, ARRAYSIZE(arguments));
    }

    void TraceException(PCWSTR sourceFile, UINT32 line, PCWSTR function, const Exception& exception) noexcept
    {
        if (!IsTraceEnabled(TraceLevel::Error))
        {
            return;
        }
        const UINT32 errorCode = static_cast<UINT32>(exception.GetErrorCode());
        Trace(TraceLevel::Error, sourceFile, line, function, ExceptionCaughtMessage, errorCode, exception.GetDescription());
    }

    void TraceUnexpectedException(PCWSTR sourceFile, UINT32 line, PCWSTR function) noexcept
    {
        Trace(TraceLevel::Error, sourceFile, line, function, UnexpectedExceptionMessage);
    }

    void DebuggerTraceTarget::Trace(const String& traceName, TraceLevel level, PCWSTR sourceFile, UINT32 line,
                                    PCWSTR function, const String& message)
    {
        const UINT32 threadId = ::GetCurrentThreadId();
        const String source(sourceFile, true);
        const String functionName(function, true);
        const String& levelName = GetTraceLevelName(level);
        const String text = traceName.IsNullOrEmpty()
            ? Formatter::Format(LineWithoutName, threadId, levelName, source, line, functionName, message,
                                Locale::Invariant)
            : Formatter::Format(LineWithName, threadId, traceName, levelName, source, line, functionName, message,
                                Locale::Invariant);
        // One call per line, so lines written by concurrent threads never interleave.
        ::OutputDebugStringW(text.GetBuffer());
    }
}
