#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"
#include "testsupport.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarntracetest";

    std::string ThreadTag(DWORD threadId)
    {
        char text[16];
        snprintf(text, sizeof(text), "0x%04lX", static_cast<unsigned long>(threadId));
        return text;
    }

    std::string CurrentThreadTag()
    {
        return ThreadTag(::GetCurrentThreadId());
    }

    int evaluations = 0;

    int CountedArgument()
    {
        ++evaluations;
        return evaluations;
    }
}

class TraceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
        Tarn::SetTraceName(Tarn::String());
    }

    void TearDown() override
    {
        Tarn::SetTraceLevel(Tarn::TraceLevel::Warning);
        Tarn::SetTraceName(Tarn::String());
    }

    bool TraceMessage(Tarn::TraceLevel level, PCWSTR message)
    {
        return Tarn::Trace(level, L"src\\tarnsample", 120, L"Tarn::Sample::Run", Tarn::String(message, true));
    }

    TarnTest::DebugOutputListener m_listener;
};

TEST_F(TraceTest, LevelsAboveTheTraceLevelAreNotWritten)
{
    EXPECT_FALSE(TraceMessage(Tarn::TraceLevel::Warning, L"warning"));
    EXPECT_TRUE(TraceMessage(Tarn::TraceLevel::Error, L"error"));
    EXPECT_TRUE(TraceMessage(Tarn::TraceLevel::Critical, L"critical"));

    const std::vector<std::string> lines = m_listener.GetLines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(lines[0].find(": error\r\n"), std::string::npos);
    EXPECT_NE(lines[1].find(": critical\r\n"), std::string::npos);
}

TEST_F(TraceTest, IsTraceEnabledComparesWithTheTraceLevel)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    EXPECT_TRUE(Tarn::IsTraceEnabled(Tarn::TraceLevel::Critical));
    EXPECT_TRUE(Tarn::IsTraceEnabled(Tarn::TraceLevel::Info));
    EXPECT_FALSE(Tarn::IsTraceEnabled(Tarn::TraceLevel::Verbose));
    Tarn::SetTraceLevel(Tarn::TraceLevel::None);
    EXPECT_FALSE(Tarn::IsTraceEnabled(Tarn::TraceLevel::Critical));
    EXPECT_FALSE(TraceMessage(Tarn::TraceLevel::Critical, L"critical"));
    EXPECT_TRUE(m_listener.GetLines().empty());
}

TEST_F(TraceTest, LineWithoutTraceNameHasSixFields)
{
    ASSERT_TRUE(TraceMessage(Tarn::TraceLevel::Error, L"LoadString() failed"));
    Tarn::SetTraceName(Tarn::String::Empty);
    ASSERT_TRUE(TraceMessage(Tarn::TraceLevel::Error, L"LoadString() failed"));

    const std::string expected = CurrentThreadTag() + " ERROR src\\tarnsample(120) Tarn::Sample::Run(): LoadString() failed\r\n";
    EXPECT_EQ(m_listener.GetLines(), std::vector<std::string>({expected, expected}));
}

TEST_F(TraceTest, LineWithTraceNameHasTheNameAfterTheThreadIdentifier)
{
    Tarn::SetTraceName(Tarn::String(L"DIGESTRY", false));
    ASSERT_TRUE(TraceMessage(Tarn::TraceLevel::Critical, L"Unexpected result"));

    EXPECT_EQ(m_listener.GetLines(),
              std::vector<std::string>(
                  {CurrentThreadTag() + " DIGESTRY CRITICAL src\\tarnsample(120) Tarn::Sample::Run(): Unexpected result\r\n"}));
}

TEST_F(TraceTest, EachLevelIsWrittenWithItsName)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Verbose);
    const char* names[] = {"NONE", "CRITICAL", "ERROR", "WARNING", "INFO", "VERBOSE"};
    for (int level = 1; level <= 5; ++level)
    {
        ASSERT_TRUE(TraceMessage(static_cast<Tarn::TraceLevel>(level), L"m"));
    }
    const std::vector<std::string> lines = m_listener.GetLines();
    ASSERT_EQ(5u, lines.size());
    for (int level = 0; level <= 5; ++level)
    {
        const Tarn::String& name = Tarn::GetTraceLevelName(static_cast<Tarn::TraceLevel>(level));
        EXPECT_EQ(std::wstring(name.GetBuffer()), std::wstring(names[level], names[level] + strlen(names[level])));
        if (level > 0)
        {
            EXPECT_EQ(lines[level - 1], CurrentThreadTag() + " " + names[level] + " src\\tarnsample(120) Tarn::Sample::Run(): m\r\n");
        }
    }
}

TEST_F(TraceTest, LevelOutsideTheTableIsLostInsteadOfReadingBeyondIt)
{
    Tarn::SetTraceLevel(static_cast<Tarn::TraceLevel>(9));
    EXPECT_FALSE(TraceMessage(static_cast<Tarn::TraceLevel>(7), L"m"));
    EXPECT_THROW(Tarn::GetTraceLevelName(static_cast<Tarn::TraceLevel>(6)), Tarn::ArgumentException);
    EXPECT_TRUE(m_listener.GetLines().empty());
}

TEST_F(TraceTest, ArgumentsAreFormattedIntoTheMessage)
{
    const DWORD error = 0x13D;
    const int count = -42;
    const Tarn::String name(L"file.txt", true);
    EXPECT_TRUE(Tarn::Trace(Tarn::TraceLevel::Error, L"src\\tarnsample", 7, L"F", Tarn::String(L"0x{0:X}", true), error));
    EXPECT_TRUE(Tarn::Trace(Tarn::TraceLevel::Error, L"src\\tarnsample", 7, L"F", Tarn::String(L"{0} {1}", true), count, name));
    EXPECT_TRUE(Tarn::Trace(Tarn::TraceLevel::Error, L"src\\tarnsample", 7, L"F", Tarn::String(L"{3}{2}{1}{0}", true), 1, 2, 3, 4));

    const std::string prefix = CurrentThreadTag() + " ERROR src\\tarnsample(7) F(): ";
    EXPECT_EQ(m_listener.GetLines(),
              std::vector<std::string>({prefix + "0x13D\r\n", prefix + "-42 file.txt\r\n", prefix + "4321\r\n"}));
}

TEST_F(TraceTest, MessageWithoutArgumentsIsWrittenWithItsBracesUnchanged)
{
    ASSERT_TRUE(TraceMessage(Tarn::TraceLevel::Error, L"{0} and {{x}} and {"));
    EXPECT_EQ(m_listener.GetLines(),
              std::vector<std::string>({CurrentThreadTag() + " ERROR src\\tarnsample(120) Tarn::Sample::Run(): {0} and {{x}} and {\r\n"}));
}

TEST_F(TraceTest, MalformedMessageIsLostAndTheCallerContinues)
{
    const int value = 1;
    EXPECT_FALSE(Tarn::Trace(Tarn::TraceLevel::Error, L"src\\tarnsample", 7, L"F", Tarn::String(L"{1}", true), value));
    EXPECT_FALSE(Tarn::Trace(Tarn::TraceLevel::Error, L"src\\tarnsample", 7, L"F", Tarn::String(L"{0", true), value));
    EXPECT_TRUE(m_listener.GetLines().empty());
}

TEST_F(TraceTest, TraceMacroNamesItsSourceAndLineAndEvaluatesNothingWhenDisabled)
{
    evaluations = 0;
    TARN_TRACE(Tarn::TraceLevel::Info, L"TraceTest::Macro", L"value {0}", CountedArgument());
    EXPECT_EQ(0, evaluations);

    const int line = __LINE__ + 1;
    TARN_TRACE(Tarn::TraceLevel::Error, L"TraceTest::Macro", L"value {0}", CountedArgument());
    EXPECT_EQ(1, evaluations);
    EXPECT_EQ(m_listener.GetLines(), std::vector<std::string>({CurrentThreadTag() + " ERROR src\\tarntracetest(" +
                                                               std::to_string(line) + ") TraceTest::Macro(): value 1\r\n"}));
}

TEST_F(TraceTest, CaughtExceptionIsTracedWithCodeAndDescription)
{
    try
    {
        throw Tarn::DuplicateKeyException();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"TraceTest::Catch", exception);
    }
    const std::vector<std::string> lines = m_listener.GetLines();
    ASSERT_EQ(1u, lines.size());
    const std::string suffix = " TraceTest::Catch(): Exception caught. Error code: 0xA0010007, Description: Tarn error 0xA0010007\r\n";
    EXPECT_EQ(0u, lines[0].rfind(CurrentThreadTag() + " ERROR src\\tarntracetest(", 0)) << lines[0];
    EXPECT_EQ(lines[0].substr(lines[0].size() - suffix.size()), suffix);
}

TEST_F(TraceTest, FailedWindowsCallIsTracedThenThrownAsSystemException)
{
    try
    {
        TARN_THROW_WIN32(L"TraceTest::Open", L"CreateFileW() failed, GetLastError() returns 0x{0:X}", ERROR_PATH_NOT_FOUND);
    }
    catch (const Tarn::SystemException& exception)
    {
        EXPECT_EQ(static_cast<HRESULT>(0x80070003), exception.GetErrorCode());
    }
    const std::vector<std::string> lines = m_listener.GetLinesContaining("TraceTest::Open(): CreateFileW() failed, GetLastError() returns 0x3\r\n");
    EXPECT_EQ(1u, lines.size());
}

TEST_F(TraceTest, ConcurrentLinesAreNeverMixed)
{
    const int threadCount = 4;
    const int linesPerThread = 25;
    std::vector<std::thread> threads;
    std::vector<DWORD> threadIds(threadCount);
    for (int index = 0; index < threadCount; ++index)
    {
        threads.emplace_back([index, &threadIds] {
            threadIds[index] = ::GetCurrentThreadId();
            for (int line = 0; line < linesPerThread; ++line)
            {
                Tarn::Trace(Tarn::TraceLevel::Error, L"src\\tarnsample", line, L"Worker", Tarn::String(L"{0}", true), index);
            }
        });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }

    const std::vector<std::string> lines = m_listener.GetLines();
    ASSERT_EQ(static_cast<size_t>(threadCount * linesPerThread), lines.size());
    std::vector<int> seen(threadCount);
    for (const std::string& line : lines)
    {
        int index = -1;
        for (int candidate = 0; candidate < threadCount; ++candidate)
        {
            if (line.rfind(ThreadTag(threadIds[candidate]) + " ERROR src\\tarnsample(", 0) == 0)
            {
                index = candidate;
            }
        }
        ASSERT_GE(index, 0) << line;
        EXPECT_EQ(line.substr(line.find(") Worker(): ")), ") Worker(): " + std::to_string(index) + "\r\n");
        ++seen[index];
    }
    EXPECT_EQ(seen, std::vector<int>(threadCount, linesPerThread));
}

TEST_F(TraceTest, SharedMessagesHaveTheirFixedTexts)
{
    EXPECT_STREQ(Tarn::ExceptionCaughtMessage.GetBuffer(), L"Exception caught. Error code: 0x{0:X8}, Description: {1}");
    EXPECT_STREQ(Tarn::ExceptionCaughtDescriptionMessage.GetBuffer(), L"Exception caught. Description: {0}");
    EXPECT_STREQ(Tarn::AssertionFailedMessage.GetBuffer(), L"DEBUG ASSERTION FAILED. Expression: ({0})");
    EXPECT_STREQ(Tarn::VerifyFailedMessage.GetBuffer(), L"VERIFY FAILED. Expression: ({0})");
    EXPECT_STREQ(Tarn::UntestedCodeMessage.GetBuffer(), L"UNTESTED CODE");
}
