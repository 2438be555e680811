#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "tarnasyncoperation.h"
#include "tarnevent.h"
#include "tarnexception.h"
#include "testsupport.h"

namespace
{
    // What one operation's hooks saw. It outlives the operation, so it can be read after destruction.
    struct HookLog
    {
        std::atomic<int> cancels{0};
        std::atomic<int> completings{0};
        std::atomic<int> completeds{0};
        std::atomic<int> destructions{0};
        std::atomic<bool> signalledInCompleting{false};
        std::atomic<bool> signalledInCompleted{false};
        std::atomic<int> destructionsAfterCompleted{-1};
    };

    class TestOperation : public Tarn::AsyncOperation
    {
    public:
        explicit TestOperation(HookLog& log) : m_log(log) {}

        using AsyncOperation::Complete;
        using AsyncOperation::SetCancelled;
        using AsyncOperation::SetCompleted;
        using AsyncOperation::SetFailed;
        using AsyncOperation::SetRunning;

        // Extra work for the hooks, run after they have logged their call.
        std::function<void()> m_whileCompleting;
        std::function<void()> m_whileCompleted;

    protected:
        ~TestOperation() override { ++m_log.destructions; }

        void OnCancel() override { ++m_log.cancels; }

        void OnCompleting() override
        {
            ++m_log.completings;
            m_log.signalledInCompleting = IsCompleted();
            if (m_whileCompleting)
            {
                m_whileCompleting();
            }
        }

        void OnCompleted() override
        {
            ++m_log.completeds;
            m_log.signalledInCompleted = IsCompleted();
            if (m_whileCompleted)
            {
                m_whileCompleted();
            }
            m_log.destructionsAfterCompleted = m_log.destructions.load();
        }

    private:
        HookLog& m_log;
    };
}

class AsyncOperationTest : public testing::Test
{
protected:
    HookLog m_log;
};

TEST_F(AsyncOperationTest, NewOperationIsNotStartedWithOneReferenceAndNothingSignalled)
{
    TestOperation* operation = new TestOperation(m_log);
    EXPECT_EQ(Tarn::AsyncOperationState::NotStarted, operation->GetState());
    EXPECT_EQ(1, operation->GetReferenceCount());
    EXPECT_FALSE(operation->IsCompleted());
    EXPECT_FALSE(operation->WaitFor(0));
    EXPECT_NE(nullptr, operation->GetHandle());
    EXPECT_EQ(0, operation->GetErrorCode());
    EXPECT_FALSE(operation->IsCancellationRequested());
    EXPECT_TRUE(operation->CanCancel());
    EXPECT_EQ(0, operation->Release());
    EXPECT_EQ(1, m_log.destructions);
    EXPECT_EQ(0, m_log.completeds);
}

TEST_F(AsyncOperationTest, CancelOnlyRaisesTheFlagAndCallsOnCancelOnce)
{
    TestOperation* operation = new TestOperation(m_log);
    operation->Cancel();
    operation->Cancel();
    operation->SetRunning();
    operation->Cancel();
    EXPECT_TRUE(operation->IsCancellationRequested());
    EXPECT_EQ(1, m_log.cancels);
    EXPECT_EQ(Tarn::AsyncOperationState::Running, operation->GetState());
    EXPECT_FALSE(operation->IsCompleted());

    operation->SetCancelled();
    EXPECT_EQ(Tarn::AsyncOperationState::Cancelled, operation->GetState());
    EXPECT_TRUE(operation->IsCompleted());
    operation->Cancel();
    EXPECT_EQ(1, m_log.cancels);
    operation->Release();
}

TEST_F(AsyncOperationTest, SetRunningTakesOneSelfReferenceAndIsRefusedTheSecondTime)
{
    TestOperation* operation = new TestOperation(m_log);
    operation->SetRunning();
    EXPECT_EQ(2, operation->GetReferenceCount());
    EXPECT_THROW(operation->SetRunning(), Tarn::InvalidOperationException);
    EXPECT_EQ(2, operation->GetReferenceCount());
    EXPECT_EQ(Tarn::AsyncOperationState::Running, operation->GetState());

    operation->SetCompleted();
    EXPECT_EQ(1, operation->GetReferenceCount());
    operation->Release();
}

TEST_F(AsyncOperationTest, FinalStatesRefuseEveryFurtherChange)
{
    TestOperation* operation = new TestOperation(m_log);
    operation->SetRunning();
    operation->SetCancelled();
    EXPECT_THROW(operation->SetCompleted(), Tarn::InvalidOperationException);
    EXPECT_THROW(operation->SetFailed(E_FAIL), Tarn::InvalidOperationException);
    EXPECT_THROW(operation->SetCancelled(), Tarn::InvalidOperationException);
    EXPECT_THROW(operation->SetRunning(), Tarn::InvalidOperationException);
    EXPECT_EQ(Tarn::AsyncOperationState::Cancelled, operation->GetState());
    EXPECT_EQ(0, operation->GetErrorCode());
    EXPECT_EQ(1, operation->GetReferenceCount());
    EXPECT_EQ(1, m_log.completings);
    EXPECT_EQ(1, m_log.completeds);
    operation->Release();
}

TEST_F(AsyncOperationTest, FailureBeforeStartCompletesWithTheEventSetBetweenTheHooks)
{
    TestOperation* operation = new TestOperation(m_log);
    operation->SetFailed(static_cast<HRESULT>(0x80070005));
    EXPECT_EQ(Tarn::AsyncOperationState::Failed, operation->GetState());
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), operation->GetErrorCode());
    EXPECT_TRUE(operation->WaitFor(0));
    EXPECT_EQ(1, m_log.completings);
    EXPECT_FALSE(m_log.signalledInCompleting);
    EXPECT_EQ(1, m_log.completeds);
    EXPECT_TRUE(m_log.signalledInCompleted);
    EXPECT_EQ(1, operation->GetReferenceCount());

    operation->Complete();
    EXPECT_EQ(1, m_log.completeds);
    EXPECT_EQ(1, operation->GetReferenceCount());
    operation->Release();
}

TEST_F(AsyncOperationTest, RunningOperationReleasedByItsCreatorIsDestroyedRightAfterOnCompleted)
{
    TestOperation* operation = new TestOperation(m_log);
    operation->SetRunning();
    EXPECT_EQ(1, operation->Release());
    EXPECT_EQ(0, m_log.destructions);

    operation->SetCompleted();
    EXPECT_EQ(1, m_log.completeds);
    EXPECT_EQ(0, m_log.destructionsAfterCompleted);
    EXPECT_EQ(1, m_log.destructions);
}

TEST_F(AsyncOperationTest, WaiterOnAnotherThreadWakesWhenTheOperationCompletes)
{
    TestOperation* operation = new TestOperation(m_log);
    operation->SetRunning();
    std::atomic<bool> woken{false};
    std::thread waiter([operation, &woken] { woken = operation->WaitFor(10000); });
    ::Sleep(50);
    EXPECT_FALSE(woken);
    operation->SetCompleted();
    waiter.join();
    EXPECT_TRUE(woken);
    EXPECT_EQ(Tarn::AsyncOperationState::Completed, operation->GetState());
    operation->Release();
}

TEST_F(AsyncOperationTest, HookExceptionsAreTracedAndCompletionGoesOn)
{
    TarnTest::DebugOutputListener listener;
    TestOperation* operation = new TestOperation(m_log);
    operation->m_whileCompleting = [] { throw Tarn::ArgumentException(); };
    operation->m_whileCompleted = [] { throw Tarn::InvalidOperationException(); };
    operation->SetRunning();
    operation->Release();

    operation->SetCompleted();
    EXPECT_EQ(1, m_log.completeds);
    EXPECT_TRUE(m_log.signalledInCompleted);
    EXPECT_EQ(1, m_log.destructions);

    const auto lines = listener.GetLinesContaining(" ERROR src\\tarnasyncoperation(");
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" Tarn::AsyncOperation::Complete(): Exception caught. "
                                               "Error code: 0x80070057, Description: "));
    EXPECT_NE(std::string::npos, lines[1].find(" Tarn::AsyncOperation::Complete(): Exception caught. "
                                               "Error code: 0x80004021, Description: "));
}

// A waiter woken by the event may drop the last outside reference while OnCompleted still runs on
// an operation that never ran (a failed start): completion must keep the operation alive itself.
TEST_F(AsyncOperationTest, WaiterDroppingTheLastReferenceCannotDestroyTheOperationDuringOnCompleted)
{
    Tarn::Event dropped;
    dropped.Create(true, false);
    TestOperation* operation = new TestOperation(m_log);
    operation->m_whileCompleted = [&dropped] { dropped.WaitFor(10000); };

    std::thread waiter([operation, &dropped] {
        if (operation->WaitFor(10000))
        {
            operation->Release();
            dropped.Set();
        }
    });
    operation->SetFailed(E_FAIL);
    waiter.join();

    EXPECT_TRUE(dropped.IsSet());
    EXPECT_EQ(0, m_log.destructionsAfterCompleted);
    EXPECT_EQ(1, m_log.destructions);
}

// Completion must end even when the event cannot be signalled: otherwise the operation would keep
// its self reference, and OnCompleted would never run.
TEST_F(AsyncOperationTest, FailureToSignalIsTracedAndCompletionStillEnds)
{
    TarnTest::DebugOutputListener listener;
    TestOperation* operation = new TestOperation(m_log);
    operation->m_whileCompleting = [operation] { ::CloseHandle(operation->GetHandle()); };
    operation->SetRunning();
    operation->Release();

    operation->SetCompleted();
    EXPECT_EQ(1, m_log.completings);
    EXPECT_EQ(1, m_log.completeds);
    EXPECT_EQ(1, m_log.destructions);

    const auto lines = listener.GetLinesContaining(" ERROR ");
    ASSERT_LE(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" Tarn::Event::Set(): SetEvent() failed, error code 0x6\r\n"));
    EXPECT_NE(std::string::npos, lines[1].find(" Tarn::AsyncOperation::Complete(): Exception caught. "
                                               "Error code: 0x80070006, Description: "));
}
