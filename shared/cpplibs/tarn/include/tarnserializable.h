#pragma once

#include <windows.h>

namespace Tarn
{
    // An object that converts itself to and from a byte representation of its own.
    class ISerializable
    {
    public:
        // Bytes Serialize needs.
        virtual UINT32 GetSerializedSize() const = 0;
        // Writes the representation; returns the bytes written.
        virtual UINT32 Serialize(BYTE* buffer, UINT32 bufferSize) const = 0;
        // Reads the representation; returns the bytes consumed.
        virtual UINT32 Deserialize(const BYTE* bytes, UINT32 byteCount) = 0;

    protected:
        ~ISerializable() = default;
    };

    // How multi-byte fields are laid out in a serialised representation.
    enum class ByteOrder : INT32
    {
        // As they lie in memory (little-endian on every Windows processor).
        Native = 0,
        // Most significant byte first, as network protocols and many file formats want it.
        BigEndian = 1,
    };

    // A serialisable object whose representation can also be written and read in a chosen byte
    // order; the operations of ISerializable use ByteOrder::Native.
    class ISerializableEx : public ISerializable
    {
    public:
        using ISerializable::Deserialize;
        using ISerializable::Serialize;

        virtual UINT32 Serialize(BYTE* buffer, UINT32 bufferSize, ByteOrder byteOrder) const = 0;
        virtual UINT32 Deserialize(const BYTE* bytes, UINT32 byteCount, ByteOrder byteOrder) = 0;

    protected:
        ~ISerializableEx() = default;
    };
}
