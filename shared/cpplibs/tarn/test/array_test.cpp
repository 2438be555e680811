#include <gtest/gtest.h>

#include "tarnarray.h"
#include "tarnexception.h"

using Tarn::Containers::Array;

TEST(ArrayTest, NewArrayHoldsValueInitialisedElementsAndChecksIndices)
{
    Array<int> array(3);
    ASSERT_EQ(3u, array.GetCount());
    EXPECT_EQ(0, array.GetData()[0] + array.GetData()[1] + array.GetData()[2]);
    array.GetAt(2) = 7;
    EXPECT_EQ(7, array.GetData()[2]);
    EXPECT_THROW(array.GetAt(3), Tarn::ArgumentException);

    Array<int> empty(0);
    EXPECT_EQ(nullptr, empty.GetData());
    EXPECT_THROW(empty.GetAt(0), Tarn::ArgumentException);
}

TEST(ArrayTest, EnumerationWalksBothWaysAndHasNoElementAtEitherEnd)
{
    Array<int> array(3);
    for (UINT32 index = 0; index < 3; ++index)
    {
        array.GetAt(index) = static_cast<int>(index) + 1;
    }
    Tarn::Enumerator<int> enumerator = array.GetEnumerator();
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    EXPECT_FALSE(enumerator.MovePrevious());
    int sum = 0;
    while (enumerator.MoveNext())
    {
        sum = sum * 10 + *enumerator;
    }
    EXPECT_EQ(123, sum);
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    while (enumerator.MovePrevious())
    {
        sum = sum * 10 + *enumerator;
    }
    EXPECT_EQ(123321, sum);
    EXPECT_FALSE(enumerator.MovePrevious());
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_EQ(1, *enumerator);
}

TEST(ArrayTest, EmptyArrayEnumerationFindsNothing)
{
    Array<int> array(0);
    Tarn::Enumerator<int> enumerator = array.GetEnumerator();
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    EXPECT_FALSE(enumerator.MovePrevious());
    EXPECT_FALSE(enumerator.MovePrevious());
}

TEST(ArrayTest, ResizeUnderAnOpenEnumerationMakesEveryPositionOperationThrowUntilReset)
{
    Array<int> array(2);
    Tarn::Enumerator<int> enumerator = array.GetEnumerator();
    ASSERT_TRUE(enumerator.MoveNext());
    Tarn::Enumerator<int> clone = enumerator.Clone();

    array.Resize(3);

    for (Tarn::Enumerator<int>* stale : {&enumerator, &clone})
    {
        EXPECT_THROW(stale->MoveNext(), Tarn::InvalidOperationException);
        EXPECT_THROW(stale->MovePrevious(), Tarn::InvalidOperationException);
        EXPECT_THROW(stale->GetCurrent(), Tarn::InvalidOperationException);
    }
    enumerator.Reset();
    int steps = 0;
    while (enumerator.MoveNext())
    {
        ++steps;
    }
    EXPECT_EQ(3, steps);
}

TEST(ArrayTest, ResizeKeepsTheLeadingElementsAndInitialisesNewOnes)
{
    Array<int> array(2);
    array.GetAt(0) = 1;
    array.GetAt(1) = 2;
    array.Resize(3);
    EXPECT_EQ(1, array.GetAt(0));
    EXPECT_EQ(2, array.GetAt(1));
    EXPECT_EQ(0, array.GetAt(2));
    array.Resize(1);
    ASSERT_EQ(1u, array.GetCount());
    EXPECT_EQ(1, array.GetAt(0));
    array.Resize(0);
    EXPECT_EQ(nullptr, array.GetData());
}
