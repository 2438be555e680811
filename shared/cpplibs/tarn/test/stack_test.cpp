#include <gtest/gtest.h>

#include "tarnexception.h"
#include "tarnstack.h"

using Tarn::Containers::Stack;

class StackTest : public ::testing::Test
{
protected:
    Stack<int> m_stack;
};

TEST_F(StackTest, PopReturnsTheElementsInReverseOrderOfPush)
{
    m_stack.Push(1);
    m_stack.Push(2);
    m_stack.Push(3);
    EXPECT_EQ(m_stack.GetCount(), 3u);
    EXPECT_EQ(m_stack.Pop(), 3);
    m_stack.Push(4);
    EXPECT_EQ(m_stack.Pop(), 4);
    EXPECT_EQ(m_stack.Pop(), 2);
    EXPECT_EQ(m_stack.Pop(), 1);
    EXPECT_TRUE(m_stack.IsEmpty());
}

TEST_F(StackTest, PeekGivesTheTopInPlace)
{
    m_stack.Push(1);
    m_stack.Push(2);
    m_stack.Peek() = 20;
    EXPECT_EQ(m_stack.GetCount(), 2u);
    EXPECT_EQ(m_stack.Pop(), 20);
    EXPECT_EQ(m_stack.Peek(), 1);
}

TEST_F(StackTest, PopAndPeekOnAnEmptyStackThrowInvalidOperation)
{
    EXPECT_THROW(m_stack.Pop(), Tarn::InvalidOperationException);
    EXPECT_THROW(m_stack.Peek(), Tarn::InvalidOperationException);
    m_stack.Push(1);
    m_stack.Clear();
    EXPECT_THROW(m_stack.Pop(), Tarn::InvalidOperationException);
}

TEST_F(StackTest, CopyFromKeepsTheOrderOfTheOriginal)
{
    m_stack.Push(1);
    m_stack.Push(2);
    Stack<int> copy;
    copy.Push(9);
    copy.CopyFrom(m_stack);
    EXPECT_EQ(copy.Pop(), 2);
    EXPECT_EQ(copy.Pop(), 1);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(m_stack.GetCount(), 2u);
}
