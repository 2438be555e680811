#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tarnautoptr.h"
#include "tarnreferencecounted.h"
#include "tarnstring.h"
#include "testsupport.h"

namespace AutoPtrTesting
{
    // A template, so that the owning pointer's instantiation nests one in another.
    template <typename T>
    class ThrowingOnDestruction
    {
    public:
        ~ThrowingOnDestruction() noexcept(false) { throw Tarn::InvalidOperationException(); }
    };
}

namespace
{
    class Tracked
    {
    public:
        explicit Tracked(int& destructions) : m_destructions(destructions) {}
        virtual ~Tracked() { ++m_destructions; }

    private:
        int& m_destructions;
    };


    class Counted : public Tarn::ReferenceCountedObject
    {
    public:
        explicit Counted(std::atomic<int>& destructions, LONG initialCount = 1)
            : Tarn::ReferenceCountedObject(initialCount), m_destructions(destructions)
        {
        }

    protected:
        ~Counted() override { ++m_destructions; }

    private:
        std::atomic<int>& m_destructions;
    };

    void CreateTracked(Tracked** result, int& destructions)
    {
        *result = new Tracked(destructions);
    }
}

class AutoPtrTest : public ::testing::Test
{
protected:
    int m_destructions = 0;
};

TEST_F(AutoPtrTest, DeletesTheObjectWhenTheScopeEndsAlsoByAnException)
{
    {
        Tarn::AutoPtr<Tracked> pointer(new Tracked(m_destructions));
        EXPECT_EQ(0, m_destructions);
    }
    EXPECT_EQ(1, m_destructions);

    EXPECT_THROW(
        {
            Tarn::AutoPtr<Tracked> pointer(new Tracked(m_destructions));
            throw Tarn::ArgumentException();
        },
        Tarn::ArgumentException);
    EXPECT_EQ(2, m_destructions);
}

TEST_F(AutoPtrTest, AssigningAnotherObjectDeletesTheFormerOne)
{
    Tracked* first = new Tracked(m_destructions);
    Tarn::AutoPtr<Tracked> pointer(first);
    pointer = first;
    EXPECT_EQ(0, m_destructions);
    Tracked* second = new Tracked(m_destructions);
    pointer = second;
    EXPECT_EQ(1, m_destructions);
    EXPECT_EQ(second, pointer.Get());
    pointer = nullptr;
    EXPECT_EQ(2, m_destructions);
    EXPECT_TRUE(pointer.IsNull());
}

TEST_F(AutoPtrTest, DetachGivesUpOwnershipAndLeavesNull)
{
    Tracked* object = new Tracked(m_destructions);
    {
        Tarn::AutoPtr<Tracked> pointer(object);
        EXPECT_EQ(object, pointer.Detach());
        EXPECT_EQ(nullptr, pointer.Get());
    }
    EXPECT_EQ(0, m_destructions);
    delete object;
}

TEST_F(AutoPtrTest, OutParameterStoredThroughGetAddressIsOwned)
{
    {
        Tarn::AutoPtr<Tracked> pointer;
        CreateTracked(pointer.GetAddress(), m_destructions);
        EXPECT_FALSE(pointer.IsNull());
    }
    EXPECT_EQ(1, m_destructions);
}

TEST_F(AutoPtrTest, ExceptionFromTheObjectsDestructorIsStoppedAndTraced)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
    TarnTest::DebugOutputListener listener;
    {
        Tarn::AutoPtr<AutoPtrTesting::ThrowingOnDestruction<Tarn::String*>> pointer(
            new AutoPtrTesting::ThrowingOnDestruction<Tarn::String*>());
    }
    Tarn::SetTraceLevel(Tarn::TraceLevel::Warning);

    const std::vector<std::string> lines = listener.GetLinesContaining(" ERROR tarnautoptr(");
    ASSERT_EQ(1u, lines.size());
    // The instantiation's name tells which owning pointer it was.
    EXPECT_NE(lines[0].find(" Tarn::AutoPtr<AutoPtrTesting::ThrowingOnDestruction<Tarn::String *> >::~AutoPtr(): "
                            "Exception caught. Error code: 0x80004021, Description: "),
              std::string::npos)
        << lines[0];
}

TEST(AutoArrayPtrTest, DestroysEveryElementOfTheArray)
{
    static int destructions;
    struct Element
    {
        int value = 7;
        ~Element() { ++destructions; }
    };
    destructions = 0;
    {
        Tarn::AutoArrayPtr<Element> elements(new Element[5]);
        EXPECT_EQ(7, elements[4].value);
    }
    EXPECT_EQ(5, destructions);
}

class AutoRefCountPtrTest : public ::testing::Test
{
protected:
    std::atomic<int> m_destructions{0};
};

TEST_F(AutoRefCountPtrTest, TakesOverTheCallersReferenceAndReleasesItOnce)
{
    Counted* object = new Counted(m_destructions);
    object->AddRef();
    {
        Tarn::AutoRefCountPtr<Counted> pointer(object);
        EXPECT_EQ(2, object->GetReferenceCount());
    }
    EXPECT_EQ(1, object->GetReferenceCount());
    EXPECT_EQ(0, m_destructions);
    {
        Tarn::AutoRefCountPtr<Counted> pointer(object);
    }
    EXPECT_EQ(1, m_destructions);
}

TEST_F(AutoRefCountPtrTest, DetachHandsTheReferenceBack)
{
    Counted* object;
    {
        Tarn::AutoRefCountPtr<Counted> pointer(new Counted(m_destructions));
        object = pointer.Detach();
    }
    EXPECT_EQ(1, object->GetReferenceCount());
    EXPECT_EQ(0, object->Release());
    EXPECT_EQ(1, m_destructions);
}

class ReferenceCountedObjectTest : public ::testing::Test
{
protected:
    std::atomic<int> m_destructions{0};
};

TEST_F(ReferenceCountedObjectTest, CountsFromTheInitialValueAndReturnsEachNewCount)
{
    Counted* object = new Counted(m_destructions, 2);
    EXPECT_EQ(2, object->GetReferenceCount());
    EXPECT_EQ(3, object->AddRef());
    EXPECT_EQ(2, object->Release());
    EXPECT_EQ(1, object->Release());
    EXPECT_EQ(0, m_destructions);
    EXPECT_EQ(0, object->Release());
    EXPECT_EQ(1, m_destructions);
}

TEST_F(ReferenceCountedObjectTest, LastReleaseDeletesExactlyOnceWhenThreadsRace)
{
    const int objectCount = 2000;
    std::vector<Counted*> objects;
    for (int index = 0; index < objectCount; ++index)
    {
        objects.push_back(new Counted(m_destructions, 2));
    }
    auto releaseAll = [&objects] {
        for (Counted* object : objects)
        {
            object->Release();
        }
    };
    std::thread first(releaseAll);
    std::thread second(releaseAll);
    first.join();
    second.join();
    EXPECT_EQ(m_destructions, objectCount);
}
