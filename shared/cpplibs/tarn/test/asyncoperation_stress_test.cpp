#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <vector>

#include "tarnasyncoperation.h"
#include "tarnautoptr.h"
#include "tarnexception.h"
#include "tarnrunnable.h"
#include "tarnthread.h"
#include "testsupport.h"

namespace
{
    const HRESULT InjectedFailure = static_cast<HRESULT>(0x80070005);

    // Counted across a whole run and checked once every thread of it has ended.
    struct Tally
    {
        std::atomic<long> created{0};
        std::atomic<long> destroyed{0};
        std::atomic<long> faults{0};
        std::atomic<long> sleepingWaiters{0};
    };

    enum class Ending
    {
        Cancel,
        Fail,
        Complete,
        None,
    };

    // Gives up the processor now and then, so that threads meet at varied points.
    void Dawdle(unsigned rounds)
    {
        for (unsigned round = 0; round < rounds; ++round)
        {
            if (round % 4 == 0)
            {
                ::SwitchToThread();
            }
            else
            {
                YieldProcessor();
            }
        }
    }

    // Two kinds of worker. A contested one may be ended by another thread at any moment, so it
    // keeps a reference of its own. An owned one is ended only by its worker, which, once running,
    // lives on the self reference alone, as the hashing engine's workers do.
    class StressOperation : public Tarn::AsyncOperation, public Tarn::IRunnable
    {
    public:
        StressOperation(Tally& tally, bool contested, unsigned workRounds)
            : m_tally(tally), m_contested(contested), m_workRounds(workRounds)
        {
            ++m_tally.created;
        }

        // Runs with the reference its starter took for it.
        void Run() override
        {
            if (m_contested)
            {
                const Tarn::AutoRefCountPtr<StressOperation> reference(this);
                if (Start())
                {
                    Work();
                }
            }
            else
            {
                Start();
                Release();
                Work();
            }
        }

        // Ends the operation; false when another ending won the race.
        bool End(Ending ending)
        {
            try
            {
                switch (ending)
                {
                case Ending::Cancel:
                    SetCancelled();
                    break;
                case Ending::Fail:
                    SetFailed(InjectedFailure);
                    break;
                case Ending::Complete:
                    SetCompleted();
                    break;
                case Ending::None:
                    break;
                }
                return true;
            }
            catch (const Tarn::InvalidOperationException&)
            {
                return false;
            }
        }

    protected:
        ~StressOperation() override
        {
            if (m_completings != 1 || m_completeds != 1)
            {
                ++m_tally.faults;
            }
            ++m_tally.destroyed;
        }

        void OnCompleting() override
        {
            if (IsCompleted())
            {
                ++m_tally.faults;
            }
            ++m_completings;
        }

        void OnCompleted() override
        {
            if (!IsCompleted())
            {
                ++m_tally.faults;
            }
            ++m_completeds;
        }

    private:
        bool Start()
        {
            try
            {
                SetRunning();
                return true;
            }
            catch (const Tarn::InvalidOperationException&)
            {
                return false;
            }
        }

        // Ending the operation may destroy it: each End is the last thing done with it.
        void Work()
        {
            for (unsigned round = 0;; ++round)
            {
                if (IsCancellationRequested())
                {
                    End(Ending::Cancel);
                    return;
                }
                if (round == m_workRounds)
                {
                    End(Ending::Complete);
                    return;
                }
                if (m_contested && IsCompleted())
                {
                    return;
                }
                Dawdle(1);
            }
        }

        Tally& m_tally;
        const bool m_contested;
        const unsigned m_workRounds;
        std::atomic<int> m_completings{0};
        std::atomic<int> m_completeds{0};
    };

    struct Plan
    {
        bool contested;
        unsigned workRounds;
        Ending ending;
        unsigned delay;
        bool creatorReleasesEarly;
    };

    // One batch of operations, each started on its own worker while a controller thread ends or
    // cancels them and a waiter thread waits for each, both holding references of their own.
    class Round
    {
    public:
        static const size_t Size = 64;

        Round(Tally& tally, std::mt19937& random) : m_tally(tally)
        {
            for (size_t index = 0; index < Size; ++index)
            {
                Plan plan;
                plan.contested = random() % 2 == 0;
                plan.workRounds = random() % 64;
                plan.ending = static_cast<Ending>(random() % 4);
                if (!plan.contested && plan.ending != Ending::Cancel)
                {
                    plan.ending = Ending::None;
                }
                plan.delay = random() % 48;
                plan.creatorReleasesEarly = random() % 2 == 0;
                m_plans.push_back(plan);
                m_operations.push_back(new StressOperation(tally, plan.contested, plan.workRounds));
            }
        }

        void Execute()
        {
            for (StressOperation* operation : m_operations)
            {
                operation->AddRef();
                operation->AddRef();
            }
            std::vector<std::unique_ptr<Tarn::Thread>> threads;
            threads.emplace_back(new Tarn::Thread(Tarn::Delegate<>(this, &Round::Control), 0, 0));
            threads.emplace_back(new Tarn::Thread(Tarn::Delegate<>(this, &Round::Await), 0, 0));
            for (size_t index = 0; index < Size; ++index)
            {
                StressOperation* operation = m_operations[index];
                operation->AddRef();
                threads.emplace_back(new Tarn::Thread(operation, 0, 0));
                if (m_plans[index].creatorReleasesEarly)
                {
                    operation->Release();
                }
            }
            for (const auto& thread : threads)
            {
                if (!thread->WaitFor(30000))
                {
                    ++m_tally.faults;
                }
            }
            for (size_t index = 0; index < Size; ++index)
            {
                if (!m_plans[index].creatorReleasesEarly)
                {
                    m_operations[index]->Release();
                }
            }
        }

    private:
        void Control()
        {
            for (size_t index = 0; index < Size; ++index)
            {
                const Plan& plan = m_plans[index];
                StressOperation* operation = m_operations[index];
                Dawdle(plan.delay);
                if (plan.ending == Ending::Cancel)
                {
                    operation->Cancel();
                }
                else
                {
                    operation->End(plan.ending);
                }
                operation->Release();
            }
        }

        void Await()
        {
            for (StressOperation* operation : m_operations)
            {
                if (!operation->WaitFor(30000))
                {
                    ++m_tally.sleepingWaiters;
                }
                else
                {
                    const Tarn::AsyncOperationState state = operation->GetState();
                    const bool failed = state == Tarn::AsyncOperationState::Failed;
                    if ((state != Tarn::AsyncOperationState::Cancelled && !failed &&
                         state != Tarn::AsyncOperationState::Completed) ||
                        operation->GetErrorCode() != (failed ? InjectedFailure : 0))
                    {
                        ++m_tally.faults;
                    }
                }
                operation->Release();
            }
        }

        Tally& m_tally;
        std::vector<Plan> m_plans;
        std::vector<StressOperation*> m_operations;
    };
}

TEST(AsyncOperationStressTest, RacingEndingsCompleteEachOperationOnceAndDestroyItOnce)
{
    Tally tally;
    std::mt19937 random(20261208);
    const size_t growth = TarnTest::MeasureHeapGrowth(
        [&tally, &random] {
            Round round(tally, random);
            round.Execute();
        },
        16);

    EXPECT_GE(tally.created, static_cast<long>(32 * Round::Size));
    EXPECT_EQ(tally.created, tally.destroyed);
    EXPECT_EQ(0, tally.faults);
    EXPECT_EQ(0, tally.sleepingWaiters);
    EXPECT_EQ(0u, growth);
}
