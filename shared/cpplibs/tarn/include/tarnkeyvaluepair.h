#pragma once

namespace Tarn
{
    // A key and its value, both held and copied by value.
    template <typename TKey, typename TValue>
    class KeyValuePair
    {
    public:
        KeyValuePair(const TKey& key, const TValue& value) : Key(key), Value(value) {}
        KeyValuePair(const KeyValuePair&) = default;
        KeyValuePair& operator=(const KeyValuePair&) = default;
        virtual ~KeyValuePair() = default;

        TKey Key;
        TValue Value;
    };
}
