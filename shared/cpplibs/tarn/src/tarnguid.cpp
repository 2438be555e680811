#include "tarnguid.h"

#include <objbase.h>

#include <cstring>

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarnformatter.h"
#include "tarnlocale.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnguid";

    const UINT32 GuidSize = sizeof(GUID);
    // StringFromGUID2 writes 38 characters and the terminator.
    const int GuidTextCapacity = 48;
    const UINT32 DigitsLength = 32;
    const UINT32 HyphenatedLength = 36;
    const UINT32 BracedLength = 38;

    // Built on first use; both rebuild the braced form that IIDFromString takes.
    const Tarn::String& DigitsToBracedFormat()
    {
        static const Tarn::String format(L"{{{0}-{1}-{2}-{3}-{4}}}", true);
        return format;
    }

    const Tarn::String& HyphenatedToBracedFormat()
    {
        static const Tarn::String format(L"{{{0}}}", true);
        return format;
    }

    bool IsHexDigit(WCHAR character)
    {
        return (character >= L'0' && character <= L'9') || (character >= L'A' && character <= L'F') ||
               (character >= L'a' && character <= L'f');
    }

    bool IsHexDigits(const Tarn::String& text)
    {
        const UINT32 length = text.GetLength();
        for (UINT32 index = 0; index < length; ++index)
        {
            if (!IsHexDigit(text[index]))
            {
                return false;
            }
        }
        return true;
    }

    // The text rebuilt as the braced form, or null when its length or its outer characters rule
    // out every accepted form. The digits inside are left for IIDFromString to judge.
    Tarn::String ToBracedForm(const Tarn::String& text)
    {
        switch (text.GetLength())
        {
        case DigitsLength:
            if (!IsHexDigits(text))
            {
                return Tarn::String();
            }
            return Tarn::Formatter::Format(DigitsToBracedFormat(), text.Substring(0, 8), text.Substring(8, 4),
                                           text.Substring(12, 4), text.Substring(16, 4), text.Substring(20, 12),
                                           Tarn::Locale::Invariant);
        case HyphenatedLength:
            return Tarn::Formatter::Format(HyphenatedToBracedFormat(), text, Tarn::Locale::Invariant);
        case BracedLength:
            if (text[0] == L'{' && text[BracedLength - 1] == L'}')
            {
                return text;
            }
            if (text[0] == L'(' && text[BracedLength - 1] == L')')
            {
                return Tarn::Formatter::Format(HyphenatedToBracedFormat(), text.Substring(1, HyphenatedLength),
                                               Tarn::Locale::Invariant);
            }
            return Tarn::String();
        default:
            return Tarn::String();
        }
    }

    void WriteBigEndian(BYTE* target, UINT32 value, UINT32 byteCount)
    {
        for (UINT32 index = 0; index < byteCount; ++index)
        {
            target[index] = static_cast<BYTE>(value >> (8 * (byteCount - 1 - index)));
        }
    }

    UINT32 ReadBigEndian(const BYTE* source, UINT32 byteCount)
    {
        UINT32 value = 0;
        for (UINT32 index = 0; index < byteCount; ++index)
        {
            value = (value << 8) | source[index];
        }
        return value;
    }
}

namespace Tarn
{
    const Guid Guid::Empty;

    Guid::Guid(const String& text)
        : m_guid{}
    {
        if (!TryParse(text, *this))
        {
            throw ArgumentException();
        }
    }

    String Guid::FormatObject(const String& format, const Locale&) const
    {
        WCHAR braced[GuidTextCapacity];
        if (::StringFromGUID2(m_guid, braced, GuidTextCapacity) == 0)
        {
            TARN_THROW_TRACED(L"Tarn::Guid::FormatObject", L"StringFromGUID2() failed", SystemException(E_FAIL));
        }
        String text(braced, false);

        if (format.IsNullOrEmpty() || format == String(L"B", true))
        {
            return text;
        }
        if (format == String(L"D", true))
        {
            return text.Substring(1, HyphenatedLength);
        }
        if (format == String(L"N", true))
        {
            return text.Substring(1, HyphenatedLength).Remove(L'-');
        }
        if (format == String(L"P", true))
        {
            String parenthesised(String(L"(", true), text.Substring(1, HyphenatedLength));
            parenthesised.Append(L')');
            return parenthesised;
        }
        TARN_TRACE(TraceLevel::Error, L"Tarn::Guid::FormatObject", L"Invalid Guid format string {0}", format);
        throw FormatException();
    }

    String Guid::ToString(const String& format) const
    {
        return FormatObject(format, Locale::UserDefault);
    }

    String Guid::ToString() const
    {
        return ToString(String::Empty);
    }

    UINT32 Guid::GetSerializedSize() const
    {
        return GuidSize;
    }

    UINT32 Guid::Serialize(BYTE* buffer, UINT32 bufferSize) const
    {
        return Serialize(buffer, bufferSize, ByteOrder::Native);
    }

    UINT32 Guid::Deserialize(const BYTE* bytes, UINT32 byteCount)
    {
        return Deserialize(bytes, byteCount, ByteOrder::Native);
    }

    UINT32 Guid::Serialize(BYTE* buffer, UINT32 bufferSize, ByteOrder byteOrder) const
    {
        if (buffer == nullptr)
        {
            throw ArgumentException();
        }
        if (bufferSize < GuidSize)
        {
            throw SystemException(HResultFromWin32(ERROR_INSUFFICIENT_BUFFER));
        }
        if (byteOrder == ByteOrder::BigEndian)
        {
            WriteBigEndian(buffer, m_guid.Data1, 4);
            WriteBigEndian(buffer + 4, m_guid.Data2, 2);
            WriteBigEndian(buffer + 6, m_guid.Data3, 2);
            std::memcpy(buffer + 8, m_guid.Data4, sizeof(m_guid.Data4));
        }
        else
        {
            std::memcpy(buffer, &m_guid, GuidSize);
        }
        return GuidSize;
    }

    UINT32 Guid::Deserialize(const BYTE* bytes, UINT32 byteCount, ByteOrder byteOrder)
    {
        if (bytes == nullptr || byteCount < GuidSize)
        {
            throw ArgumentException();
        }
        if (byteOrder == ByteOrder::BigEndian)
        {
            m_guid.Data1 = ReadBigEndian(bytes, 4);
            m_guid.Data2 = static_cast<USHORT>(ReadBigEndian(bytes + 4, 2));
            m_guid.Data3 = static_cast<USHORT>(ReadBigEndian(bytes + 6, 2));
            std::memcpy(m_guid.Data4, bytes + 8, sizeof(m_guid.Data4));
        }
        else
        {
            std::memcpy(&m_guid, bytes, GuidSize);
        }
        return GuidSize;
    }

    bool Guid::TryParse(const String& text, Guid& result)
    {
        const String braced = ToBracedForm(text);
        if (braced.IsNull())
        {
            return false;
        }
        GUID parsed;
        const HRESULT hr = ::IIDFromString(braced.GetBuffer(), &parsed);
        if (hr == E_INVALIDARG || hr == CO_E_IIDSTRING)
        {
            return false;
        }
        if (FAILED(hr))
        {
            throw SystemException(hr);
        }
        result.m_guid = parsed;
        return true;
    }

    bool Guid::operator==(const Guid& other) const noexcept
    {
        return std::memcmp(&m_guid, &other.m_guid, GuidSize) == 0;
    }

    bool Guid::operator!=(const Guid& other) const noexcept
    {
        return !(*this == other);
    }
}
