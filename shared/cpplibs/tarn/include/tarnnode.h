#pragma once

namespace Tarn
{
    namespace Containers
    {
        // An element of a doubly linked list. It owns its value only, not its neighbours.
        template <typename T>
        class Node
        {
        public:
            explicit Node(const T& value) : Value(value), Previous(nullptr), Next(nullptr) {}
            Node(const Node&) = delete;
            Node& operator=(const Node&) = delete;
            virtual ~Node() = default;

            T Value;
            Node* Previous;
            Node* Next;
        };
    }
}
