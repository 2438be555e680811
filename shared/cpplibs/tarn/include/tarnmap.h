#pragma once

#include <windows.h>

#include "tarnavltree.h"
#include "tarnenumerator.h"
#include "tarnkeyvaluepair.h"

namespace Tarn
{
    namespace Containers
    {
        // The ordered associative container: unique keys, each with one value, enumerated in ascending
        // key order. Not synchronised; the owner locks around it.
        template <typename TKey, typename TValue>
        class Map
        {
        public:
            using Pair = KeyValuePair<TKey, TValue>;

            Map() noexcept = default;
            Map(const Map&) = delete;
            Map& operator=(const Map&) = delete;
            virtual ~Map() = default;

            // Stores a copy of the pair. DuplicateKeyException when the key is present; the map is
            // then unchanged.
            void Add(const Pair& pair) { m_tree.Add(pair); }
            // The stored pair with the key, or null.
            Pair* Find(const TKey& key) { return m_tree.Find(key); }
            const Pair* Find(const TKey& key) const { return m_tree.Find(key); }
            // True when the key was present; its pair is then gone.
            bool Remove(const TKey& key) { return m_tree.Remove(key); }
            void Clear() noexcept { m_tree.Clear(); }
            UINT32 GetCount() const { return m_tree.GetCount(); }
            // Yields the stored pairs in ascending key order; the map must not change meanwhile.
            Enumerator<Pair> GetEnumerator() { return m_tree.GetEnumerator(); }

        protected:
            // Open to derived classes, which may inspect its shape.
            AvlTree<TKey, TValue> m_tree;
        };
    }
}
