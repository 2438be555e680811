#include <gtest/gtest.h>

#include "tarndelegate.h"

namespace
{
    class Counter
    {
    public:
        void Increment() { ++m_value; }
        void Add(int amount, int* total)
        {
            m_value += amount;
            *total = m_value;
        }
        int m_value = 0;
    };

    // Virtual bases and overriding: the member function pointers the delegate must carry are at
    // their largest and must still dispatch virtually.
    class Base
    {
    public:
        virtual ~Base() = default;
        virtual void Record(const char** name) { *name = "Base"; }
    };

    class Left : public virtual Base
    {
    };

    class Right : public virtual Base
    {
    };

    class Joined : public Left, public Right
    {
    public:
        void Record(const char** name) override { *name = "Joined"; }
        void RecordOwn(const char** name) { *name = "Own"; }
    };
}

TEST(DelegateTest, InvokeCallsTheBoundMemberFunctionWithItsArguments)
{
    Counter counter;
    const Tarn::Delegate<> increment(&counter, &Counter::Increment);
    increment.Invoke();
    increment.Invoke();
    EXPECT_EQ(2, counter.m_value);

    int total = 0;
    const Tarn::Delegate<int, int*> add(&counter, &Counter::Add);
    add.Invoke(5, &total);
    EXPECT_EQ(7, total);
}

TEST(DelegateTest, CopiesKeepTheBindingAndVirtualFunctionsDispatchToTheOverride)
{
    Joined joined;
    const char* name = nullptr;

    Tarn::Delegate<const char**> copy;
    {
        const Tarn::Delegate<const char**> original(static_cast<Base*>(&joined), &Base::Record);
        copy = original;
    }
    copy.Invoke(&name);
    EXPECT_STREQ("Joined", name);

    const Tarn::Delegate<const char**> own(&joined, &Joined::RecordOwn);
    own.Invoke(&name);
    EXPECT_STREQ("Own", name);
}

TEST(DelegateTest, NullMemberFunctionOrTargetIsRefused)
{
    Counter counter;
    void (Counter::*none)() = nullptr;
    EXPECT_THROW(Tarn::Delegate<>(&counter, none), Tarn::ArgumentException);
    EXPECT_THROW(Tarn::Delegate<>(static_cast<Counter*>(nullptr), &Counter::Increment), Tarn::ArgumentException);
}

TEST(DelegateTest, EmptyDelegateHasNoInvokerAndRefusesToBeInvoked)
{
    const Tarn::Delegate<> empty;
    EXPECT_FALSE(empty.HasInvoker());
    try
    {
        empty.Invoke();
        FAIL() << "an empty delegate was invoked";
    }
    catch (const Tarn::InvalidOperationException& exception)
    {
        EXPECT_EQ(static_cast<HRESULT>(0x80004021), exception.GetErrorCode());
    }
}
