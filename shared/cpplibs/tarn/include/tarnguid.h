#pragma once

#include <windows.h>

#include "tarnformattable.h"
#include "tarnserializable.h"
#include "tarnstring.h"

namespace Tarn
{
    // A GUID as a value: compared byte by byte, formatted and parsed in the usual text forms, and
    // serialised as 16 bytes.
    //
    // Formats (the format part of a composite item, or ToString's argument):
    //   empty or "B"  {0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}
    //   "D"           0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B
    //   "N"           0F2E4A6C1B3D4E5F8A9B0C1D2E3F4A5B
    //   "P"           (0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B)
    // Parsing accepts exactly these four forms, in either letter case.
    class Guid : public IFormattable, public ISerializableEx
    {
    public:
        // The all-zero GUID.
        static const Guid Empty;

        // The all-zero GUID. Constant-initialised, so static GUIDs may be used by any initialiser.
        constexpr Guid() noexcept : m_guid{} {}
        constexpr Guid(const GUID& guid) noexcept : m_guid(guid) {}
        constexpr Guid(const Guid& other) noexcept : IFormattable(), ISerializableEx(), m_guid(other.m_guid) {}
        // ArgumentException when the text is none of the four forms.
        explicit Guid(const String& text);
        Guid& operator=(const Guid& other) noexcept = default;

        // The text in the format; FormatException for a format other than the four above. The
        // locale plays no part.
        String FormatObject(const String& format, const Locale& locale) const override;
        ~Guid() override = default;

        virtual const GUID& GetGuid() const noexcept { return m_guid; }
        virtual GUID& GetGuid() noexcept { return m_guid; }
        virtual String ToString(const String& format) const;
        // The braced form.
        virtual String ToString() const;

        // 16 bytes.
        UINT32 GetSerializedSize() const override;
        // ArgumentException for a null buffer, SystemException 0x8007007A for one shorter than
        // 16 bytes; returns 16.
        UINT32 Serialize(BYTE* buffer, UINT32 bufferSize) const override;
        // ArgumentException for null bytes or fewer than 16; returns 16.
        UINT32 Deserialize(const BYTE* bytes, UINT32 byteCount) override;
        // In big-endian order the first three fields (32, 16 and 16 bits) are stored most
        // significant byte first; the last eight bytes are stored as they are in either order.
        UINT32 Serialize(BYTE* buffer, UINT32 bufferSize, ByteOrder byteOrder) const override;
        UINT32 Deserialize(const BYTE* bytes, UINT32 byteCount, ByteOrder byteOrder) override;

        // Parses one of the four forms into the result. False, leaving the result unchanged, when
        // the text is none of them; SystemException only when the platform's parser itself fails.
        static bool TryParse(const String& text, Guid& result);

        bool operator==(const Guid& other) const noexcept;
        bool operator!=(const Guid& other) const noexcept;

    private:
        GUID m_guid;
    };
}
