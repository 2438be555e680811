#pragma once

#include <windows.h>

namespace Tarn
{
    // An object that converts itself to and from a NUL-terminated byte representation.
    class ISerializable
    {
    public:
        // Bytes Serialize needs, terminator included.
        virtual UINT32 GetSerializedSize() const = 0;
        // Writes the representation; returns the bytes written, terminator included.
        virtual UINT32 Serialize(BYTE* buffer, UINT32 bufferSize) const = 0;
        // Reads the representation; returns the bytes consumed.
        virtual UINT32 Deserialize(const BYTE* bytes, UINT32 byteCount) = 0;

    protected:
        ~ISerializable() = default;
    };
}
