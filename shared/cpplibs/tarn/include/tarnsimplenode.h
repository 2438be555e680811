#pragma once

namespace Tarn
{
    namespace Containers
    {
        // An element of a singly linked list. It owns its value only, not its successor.
        template <typename T>
        class SimpleNode
        {
        public:
            explicit SimpleNode(const T& value) : Value(value), Next(nullptr) {}
            SimpleNode(const SimpleNode&) = delete;
            SimpleNode& operator=(const SimpleNode&) = delete;
            virtual ~SimpleNode() = default;

            T Value;
            SimpleNode* Next;
        };
    }
}
