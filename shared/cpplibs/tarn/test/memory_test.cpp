#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "tarnexception.h"
#include "testsupport.h"

namespace
{
    // Far beyond what the heap can give, but not so large that sizing an array overflows.
    std::size_t ImpossibleSize()
    {
        volatile std::size_t size = ~static_cast<std::size_t>(0) / 4;
        return size;
    }
}

class AllocatorTest : public ::testing::Test
{
protected:
    void TearDown() override { TarnTest::GetTestModule().AllowOutOfMemoryRetries(0); }
};

TEST_F(AllocatorTest, ZeroByteRequestsReturnDistinctBlocks)
{
    void* first = ::operator new(0);
    void* second = ::operator new(0);
    char* array = new char[0];
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(array, nullptr);
    EXPECT_NE(first, second);
    ::operator delete(first);
    ::operator delete(second);
    delete[] array;
}

TEST_F(AllocatorTest, DeletingNullIsIgnored)
{
    const size_t before = TarnTest::GetHeapBytesInUse();
    ::operator delete(nullptr);
    ::operator delete[](nullptr);
    EXPECT_EQ(before, TarnTest::GetHeapBytesInUse());
}

TEST_F(AllocatorTest, FailedAllocationThrowsMemoryExceptionWithOutOfMemoryCode)
{
    try
    {
        ::operator delete(::operator new(ImpossibleSize()));
        FAIL() << "the allocation succeeded";
    }
    catch (const Tarn::Exception& exception)
    {
        EXPECT_EQ(typeid(exception), typeid(Tarn::MemoryException));
        EXPECT_EQ(E_OUTOFMEMORY, exception.GetErrorCode());
    }
    // Kept observable: the compiler may drop an allocation whose result is never used.
    char* volatile array = nullptr;
    EXPECT_THROW(array = new char[ImpossibleSize()], Tarn::MemoryException);
    delete[] array;
}

TEST_F(AllocatorTest, ModuleIsAskedOnceBeforeGivingUp)
{
    EXPECT_THROW(::operator delete(::operator new(ImpossibleSize())), Tarn::MemoryException);
    EXPECT_EQ(1, TarnTest::GetTestModule().GetOutOfMemoryCalls());
}

TEST_F(AllocatorTest, AllocationIsRetriedForAsLongAsTheModuleAsksForIt)
{
    TarnTest::GetTestModule().AllowOutOfMemoryRetries(3);
    EXPECT_THROW(::operator delete[](::operator new[](ImpossibleSize())), Tarn::MemoryException);
    EXPECT_EQ(4, TarnTest::GetTestModule().GetOutOfMemoryCalls());
}

TEST_F(AllocatorTest, BlocksAreReturnedToTheHeap)
{
    const size_t growth = TarnTest::MeasureHeapGrowth(
        [] {
            delete[] new char[3000];
            ::operator delete(::operator new(200));
        },
        200);
    EXPECT_LT(growth, 4096u);
}

TEST(HeapAccountingTest, SeesADeliberateLeakOfSmallAndLargeBlocks)
{
    const int iterations = 200;
    std::vector<void*> leaked;
    leaked.reserve(4 * iterations);
    for (size_t blockSize : {size_t(24), size_t(4000)})
    {
        const size_t growth = TarnTest::MeasureHeapGrowth([&leaked, blockSize] { leaked.push_back(::operator new(blockSize)); },
                                                          iterations);
        EXPECT_GE(growth, blockSize * iterations / 2) << blockSize;
    }
    for (void* block : leaked)
    {
        ::operator delete(block);
    }
}
