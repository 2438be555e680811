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

    // Counted over a whole run and checked once every thread of it has ended.
    struct Tally
    {
        std::atomic<long> created{0};
        std::atomic<long> destroyed{0};
        std::atomic<long> faults{0};
    };

    enum class Ending
    {
        None,
        Cancel,
        Fail,
        Complete,
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
            YieldProcessor();
        }
    }

    // Two kinds of worker. A contested operation may also be ended by the controller at any moment,
    // so its worker keeps a reference of its own. An uncontested one is ended by its worker alone,
    // which, once running, lives on the self reference, as the hashing engine's workers do.
    class StressOperation : public Tarn::AsyncOperation, public Tarn::IRunnable
    {
    public:
        StressOperation(Tally& tally, std::mt19937& random)
            : m_tally(tally),
              m_contested(random() % 2 == 0),
              m_workRounds(random() % 64),
              m_controllerEnding(static_cast<Ending>(random() % (m_contested ? 4 : 2))),
              m_controllerDelay(random() % 48)
        {
            ++m_tally.created;
        }

        // Runs on the reference its starter took for it.
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

        // The controller's part, on the reference it was given.
        void Control()
        {
            Dawdle(m_controllerDelay);
            if (m_controllerEnding == Ending::Cancel)
            {
                Cancel();
            }
            else
            {
                End(m_controllerEnding);
            }
            Release();
        }

        // The waiter's part, on the reference it was given.
        void Await()
        {
            const Tarn::AsyncOperationState state = WaitFor(30000) ? GetState() : Tarn::AsyncOperationState::Running;
            const HRESULT expectedError = state == Tarn::AsyncOperationState::Failed ? InjectedFailure : 0;
            if (state < Tarn::AsyncOperationState::Cancelled || GetErrorCode() != expectedError)
            {
                ++m_tally.faults;
            }
            Release();
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
            m_tally.faults += IsCompleted() ? 1 : 0;
            ++m_completings;
        }

        void OnCompleted() override
        {
            m_tally.faults += IsCompleted() ? 0 : 1;
            ++m_completeds;
        }

    private:
        // False when an ending on another thread came first.
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

        // False when another ending came first, or for Ending::None.
        bool End(Ending ending)
        {
            try
            {
                switch (ending)
                {
                case Ending::None:
                    return false;
                case Ending::Cancel:
                    SetCancelled();
                    break;
                case Ending::Fail:
                    SetFailed(InjectedFailure);
                    break;
                case Ending::Complete:
                    SetCompleted();
                    break;
                }
                return true;
            }
            catch (const Tarn::InvalidOperationException&)
            {
                return false;
            }
        }

        // Ending the operation may destroy it: each End here is the last thing done with it.
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
        const Ending m_controllerEnding;
        const unsigned m_controllerDelay;
        std::atomic<int> m_completings{0};
        std::atomic<int> m_completeds{0};
    };

    // One batch: every operation gets a worker thread of its own, while one controller thread ends
    // or cancels them and one waiter thread waits for each. The creator drops its reference either
    // at once or at the end, so the last reference falls on any of the threads.
    class Round
    {
    public:
        static const size_t Size = 64;

        Round(Tally& tally, std::mt19937& random)
        {
            for (size_t index = 0; index < Size; ++index)
            {
                m_operations.push_back(new StressOperation(tally, random));
                m_releasedEarly.push_back(random() % 2 == 0);
            }
        }

        // False when a thread did not end in time.
        bool Execute()
        {
            for (StressOperation* operation : m_operations)
            {
                operation->AddRef();
                operation->AddRef();
            }
            const Tarn::Thread::ComApartment noCom = Tarn::Thread::ComApartment::None;
            std::vector<std::unique_ptr<Tarn::Thread>> threads;
            threads.emplace_back(new Tarn::Thread(Tarn::Delegate<>(this, &Round::Control), noCom, 0));
            threads.emplace_back(new Tarn::Thread(Tarn::Delegate<>(this, &Round::Await), noCom, 0));
            for (size_t index = 0; index < Size; ++index)
            {
                m_operations[index]->AddRef();
                threads.emplace_back(new Tarn::Thread(m_operations[index], noCom, 0));
                if (m_releasedEarly[index])
                {
                    m_operations[index]->Release();
                }
            }
            bool allEnded = true;
            for (const auto& thread : threads)
            {
                allEnded = thread->WaitFor(30000) && allEnded;
            }
            for (size_t index = 0; index < Size; ++index)
            {
                if (!m_releasedEarly[index])
                {
                    m_operations[index]->Release();
                }
            }
            return allEnded;
        }

    private:
        void Control()
        {
            for (StressOperation* operation : m_operations)
            {
                operation->Control();
            }
        }

        void Await()
        {
            for (StressOperation* operation : m_operations)
            {
                operation->Await();
            }
        }

        std::vector<StressOperation*> m_operations;
        std::vector<bool> m_releasedEarly;
    };
}

TEST(AsyncOperationStressTest, RacingEndingsCompleteEachOperationOnceAndDestroyItOnce)
{
    Tally tally;
    std::mt19937 random(20261208);
    const auto runRound = [&tally, &random] {
        Round round(tally, random);
        if (!round.Execute())
        {
            ++tally.faults;
        }
    };
    const size_t growth = TarnTest::MeasureHeapGrowth(runRound, 16);

    EXPECT_GE(tally.created, static_cast<long>(32 * Round::Size));
    EXPECT_EQ(tally.created, tally.destroyed);
    EXPECT_EQ(0, tally.faults);
    EXPECT_EQ(0u, growth);
}
