#include "tarnbuffer.h"

#include "tarnexception.h"

namespace
{
    BYTE* AllocateBlock(UINT32 capacity)
    {
        if (capacity == 0)
        {
            throw Tarn::ArgumentException();
        }
        return new BYTE[capacity];
    }
}

namespace Tarn
{
    Buffer::Buffer(UINT32 capacity)
        : m_capacity(capacity), m_length(0), m_data(AllocateBlock(capacity))
    {
    }

    Buffer::~Buffer()
    {
        delete[] m_data;
    }

    void Buffer::SetLength(UINT32 length)
    {
        if (length > m_capacity)
        {
            throw ArgumentException();
        }
        m_length = length;
    }
}
