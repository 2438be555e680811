#include <gtest/gtest.h>

#include <objbase.h>

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "tarnevent.h"
#include "tarnexception.h"
#include "tarnthread.h"
#include "tarntrace.h"
#include "testsupport.h"

namespace
{
    const Tarn::Thread::ComApartment NoCom = Tarn::Thread::ComApartment::None;

    // Runs a callable as the thread's runnable.
    template <typename Work>
    class Runnable : public Tarn::IRunnable
    {
    public:
        explicit Runnable(Work work) : m_work(work) {}
        ~Runnable() override = default;
        void Run() override { m_work(); }

    private:
        Work m_work;
    };

    template <typename Work>
    Runnable<Work> MakeRunnable(Work work)
    {
        return Runnable<Work>(work);
    }

    DWORD FinishedExitCode(const Tarn::Thread& thread)
    {
        EXPECT_TRUE(thread.WaitFor(10000));
        DWORD exitCode = STILL_ACTIVE;
        EXPECT_TRUE(::GetExitCodeThread(thread.GetHandle(), &exitCode));
        return exitCode;
    }

    std::string Hex(DWORD value)
    {
        char text[16];
        std::snprintf(text, sizeof(text), "0x%lX", value);
        return text;
    }

    UINT32 EchoArgument(void* argument)
    {
        return *static_cast<UINT32*>(argument) + 1;
    }

    class Flag
    {
    public:
        void Raise() { m_threadId = ::GetCurrentThreadId(); }
        std::atomic<DWORD> m_threadId{0};
    };
}

class ThreadTest : public testing::Test
{
protected:
    void TearDown() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Warning); }
};

TEST_F(ThreadTest, RunnableRunsOnItsOwnThreadAndEndsWithExitCodeZero)
{
    std::atomic<DWORD> workerId{0};
    auto runnable = MakeRunnable([&workerId] { workerId = ::GetCurrentThreadId(); });
    Tarn::Thread thread(&runnable, NoCom, 0);
    EXPECT_NE(nullptr, thread.GetHandle());
    EXPECT_EQ(0u, FinishedExitCode(thread));
    EXPECT_EQ(workerId, thread.GetThreadId());
    EXPECT_NE(::GetCurrentThreadId(), workerId);
}

TEST_F(ThreadTest, ThreadFunctionGetsItsArgumentAndItsResultIsTheExitCode)
{
    UINT32 value = 41;
    Tarn::Thread thread(&EchoArgument, &value, NoCom, 64 * 1024);
    EXPECT_EQ(42u, FinishedExitCode(thread));
}

TEST_F(ThreadTest, DelegateRunsTheBoundMemberFunction)
{
    Flag flag;
    Tarn::Thread thread(Tarn::Delegate<>(&flag, &Flag::Raise), NoCom, 0);
    EXPECT_EQ(0u, FinishedExitCode(thread));
    EXPECT_EQ(flag.m_threadId, thread.GetThreadId());
}

TEST_F(ThreadTest, MissingWorkIsRefused)
{
    EXPECT_THROW(Tarn::Thread(static_cast<Tarn::IRunnable*>(nullptr), NoCom, 0), Tarn::ArgumentException);
    EXPECT_THROW(Tarn::Thread(static_cast<Tarn::Thread::ThreadFunction>(nullptr), nullptr, NoCom, 0),
                 Tarn::ArgumentException);
    EXPECT_THROW(Tarn::Thread(Tarn::Delegate<>(), NoCom, 0), Tarn::ArgumentException);
}

TEST_F(ThreadTest, RunnableThatThrowsEndsItsThreadWithUnexpectedAndOneErrorTrace)
{
    TarnTest::DebugOutputListener listener;
    auto runnable = MakeRunnable([] { throw Tarn::ArgumentException(); });
    Tarn::Thread thread(&runnable, NoCom, 0);
    EXPECT_EQ(static_cast<DWORD>(E_UNEXPECTED), FinishedExitCode(thread));

    const auto lines = listener.GetLinesContaining(" ERROR ");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" ERROR src\\tarnthread("));
    EXPECT_NE(std::string::npos, lines[0].find(" Tarn::Thread::StaticThreadProc(): Unhandled exception in thread " +
                                               Hex(thread.GetThreadId()) + ". Description: "));

    // The process goes on: the next thread runs normally.
    UINT32 value = 1;
    Tarn::Thread next(&EchoArgument, &value, NoCom, 0);
    EXPECT_EQ(2u, FinishedExitCode(next));
}

TEST_F(ThreadTest, ForeignExceptionIsCaughtToo)
{
    TarnTest::DebugOutputListener listener;
    auto runnable = MakeRunnable([] { throw std::runtime_error("not ours"); });
    Tarn::Thread thread(&runnable, NoCom, 0);
    EXPECT_EQ(static_cast<DWORD>(E_UNEXPECTED), FinishedExitCode(thread));

    const auto lines = listener.GetLinesContaining(" ERROR ");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" Tarn::Thread::StaticThreadProc(): Unhandled exception in thread " +
                                               Hex(thread.GetThreadId()) + "\r\n"));
}

TEST_F(ThreadTest, DestroyingTheObjectLeavesTheThreadRunning)
{
    Tarn::Event release;
    Tarn::Event finished;
    release.Create(true, false);
    finished.Create(true, false);
    auto runnable = MakeRunnable([&release, &finished] {
        if (release.WaitFor(10000))
        {
            finished.Set();
        }
    });
    {
        Tarn::Thread thread(&runnable, NoCom, 0);
    }
    release.Set();
    EXPECT_TRUE(finished.WaitFor(10000));
}

TEST_F(ThreadTest, ComModeChoosesTheApartmentOfTheWork)
{
    // Asking a thread for the other apartment tells which one it is in.
    struct Case
    {
        Tarn::Thread::ComApartment comMode;
        DWORD probe;
        HRESULT expected;
    };
    const Case cases[] = {
        {NoCom, COINIT_MULTITHREADED, S_OK},
        {Tarn::Thread::ComApartment::SingleThreaded, COINIT_MULTITHREADED, RPC_E_CHANGED_MODE},
        {Tarn::Thread::ComApartment::Multithreaded, COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE},
        {static_cast<Tarn::Thread::ComApartment>(-1), COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE},
    };
    for (const Case& test : cases)
    {
        std::atomic<HRESULT> result{E_FAIL};
        auto runnable = MakeRunnable([&result, &test] {
            result = ::CoInitializeEx(nullptr, test.probe);
            if (SUCCEEDED(result))
            {
                ::CoUninitialize();
            }
        });
        Tarn::Thread thread(&runnable, test.comMode, 0);
        EXPECT_EQ(0u, FinishedExitCode(thread));
        EXPECT_EQ(test.expected, result) << "COM mode " << static_cast<INT32>(test.comMode);
    }
}

TEST_F(ThreadTest, VerboseTracesNameTheThreadAtStartAndExit)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Verbose);
    TarnTest::DebugOutputListener listener;
    UINT32 value = 0;
    Tarn::Thread thread(&EchoArgument, &value, NoCom, 0);
    FinishedExitCode(thread);
    const std::string id = Hex(thread.GetThreadId());
    EXPECT_EQ(1u, listener.GetLinesContaining("(): Thread ID " + id + " starting\r\n").size());
    EXPECT_EQ(1u, listener.GetLinesContaining("(): Thread ID " + id + " exiting\r\n").size());
}
