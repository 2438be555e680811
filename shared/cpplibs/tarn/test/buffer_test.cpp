#include <gtest/gtest.h>

#include "tarnautoptr.h"
#include "tarnbuffer.h"
#include "tarnexception.h"
#include "testsupport.h"

TEST(BufferTest, NewBufferHasItsCapacityNoLengthAndOneReference)
{
    Tarn::AutoRefCountPtr<Tarn::IBuffer> buffer(new Tarn::Buffer(64));

    EXPECT_EQ(64u, buffer->GetCapacity());
    EXPECT_EQ(0u, buffer->GetLength());
    EXPECT_EQ(1, buffer->GetReferenceCount());
    EXPECT_NE(nullptr, buffer->GetData());
}

TEST(BufferTest, CapacityZeroIsRefused)
{
    try
    {
        Tarn::AutoRefCountPtr<Tarn::IBuffer> buffer(new Tarn::Buffer(0));
        FAIL() << "a buffer of capacity 0 was created";
    }
    catch (const Tarn::ArgumentException& exception)
    {
        EXPECT_EQ(E_INVALIDARG, exception.GetErrorCode());
    }
}

TEST(BufferTest, LengthMayReachTheCapacityButNotExceedIt)
{
    Tarn::AutoRefCountPtr<Tarn::IBuffer> buffer(new Tarn::Buffer(16));
    BYTE* data = buffer->GetData();
    for (BYTE i = 0; i < 16; ++i)
    {
        data[i] = i;
    }

    buffer->SetLength(16);
    EXPECT_EQ(16u, buffer->GetLength());
    EXPECT_THROW(buffer->SetLength(17), Tarn::ArgumentException);
    EXPECT_EQ(16u, buffer->GetLength());

    buffer->SetLength(3);
    const Tarn::IBuffer& reader = *buffer;
    EXPECT_EQ(data, reader.GetData());
    EXPECT_EQ(15, reader.GetData()[15]);
}

TEST(BufferTest, LastReleaseFreesTheBlock)
{
    const size_t growth = TarnTest::MeasureHeapGrowth(
        [] {
            Tarn::IBuffer* buffer = new Tarn::Buffer(100000);
            EXPECT_EQ(2, buffer->AddRef());
            EXPECT_EQ(1, buffer->Release());
            EXPECT_EQ(0, buffer->Release());
        },
        20);

    EXPECT_EQ(0u, growth);
}
