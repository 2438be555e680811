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
    EXPECT_EQ(3u, m_stack.GetCount());
    EXPECT_EQ(3, m_stack.Pop());
    m_stack.Push(4);
    EXPECT_EQ(4, m_stack.Pop());
    EXPECT_EQ(2, m_stack.Pop());
    EXPECT_EQ(1, m_stack.Pop());
    EXPECT_TRUE(m_stack.IsEmpty());
}

TEST_F(StackTest, PeekGivesTheTopInPlace)
{
    m_stack.Push(1);
    m_stack.Push(2);
    m_stack.Peek() = 20;
    EXPECT_EQ(2u, m_stack.GetCount());
    EXPECT_EQ(20, m_stack.Pop());
    EXPECT_EQ(1, m_stack.Peek());
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
    EXPECT_EQ(2, copy.Pop());
    EXPECT_EQ(1, copy.Pop());
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(2u, m_stack.GetCount());
}
