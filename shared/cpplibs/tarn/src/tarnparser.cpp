#include "tarnparser.h"

#include <cmath>
#include <limits>

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnparser";

    constexpr int SeparatorCapacity = 4;
    constexpr UINT64 MaximumUInt64 = 0xFFFFFFFFFFFFFFFFull;

    void ReadSeparator(const Tarn::Locale& locale, LCTYPE type, PWSTR separator, PCWSTR function)
    {
        if (::GetLocaleInfoW(locale.GetIdentifier(), type, separator, SeparatorCapacity) == 0)
        {
            TARN_THROW_WIN32(function, L"GetLocaleInfo() failed. Error code 0x{0:X}", ::GetLastError());
        }
    }

    // The largest magnitude a number of the width may have; the most negative value of a signed
    // width is outside it.
    UINT64 GetLimit(UINT32 bits, bool isSigned)
    {
        if (isSigned)
        {
            return (static_cast<UINT64>(1) << (bits - 1)) - 1;
        }
        return bits == 64 ? MaximumUInt64 : (static_cast<UINT64>(1) << bits) - 1;
    }

    // Writes the value in the requested width. A negative value is stored as its two's complement,
    // which is the same bit pattern for the signed and the unsigned type of a width.
    void Store(UINT64 magnitude, bool negative, UINT32 bits, void* output)
    {
        const UINT64 value = negative ? static_cast<UINT64>(0) - magnitude : magnitude;
        switch (bits)
        {
        case 8:
            *static_cast<UINT8*>(output) = static_cast<UINT8>(value);
            break;
        case 16:
            *static_cast<UINT16*>(output) = static_cast<UINT16>(value);
            break;
        case 32:
            *static_cast<UINT32*>(output) = static_cast<UINT32>(value);
            break;
        default:
            *static_cast<UINT64*>(output) = value;
            break;
        }
    }

    bool BeginsWithMinus(const Tarn::String& text)
    {
        const PCWSTR units = text.GetBuffer();
        const UINT32 length = text.GetLength();
        UINT32 position = 0;
        while (position < length && units[position] == L' ')
        {
            ++position;
        }
        return position < length && units[position] == L'-';
    }
}

namespace Tarn
{
    bool Parser::TryParseDecimalInteger(const String& text, UINT32 bits, bool isSigned, const Locale* locale, void* output)
    {
        if (output == nullptr)
        {
            throw ArgumentException();
        }
        if (bits != 8 && bits != 16 && bits != 32 && bits != 64)
        {
            return false;
        }
        if (text.IsNullOrEmpty())
        {
            return false;
        }

        String digits = text;
        if (locale != nullptr)
        {
            WCHAR separator[SeparatorCapacity];
            ReadSeparator(*locale, LOCALE_STHOUSAND, separator, L"Tarn::Parser::TryParseDecimalInteger");
            if (separator[0] != L'\0')
            {
                digits = text.Replace(String(separator, true), String::Empty);
            }
            if (digits.IsNullOrEmpty())
            {
                return false;
            }
        }

        const PCWSTR units = digits.GetBuffer();
        const UINT32 length = digits.GetLength();
        UINT64 magnitude = 0;
        bool seen = false;
        bool negative = false;
        for (UINT32 position = 0; position < length; ++position)
        {
            const WCHAR unit = units[position];
            if (isSigned && (unit == L'+' || unit == L'-'))
            {
                if (seen)
                {
                    return false;
                }
                seen = true;
                negative = unit == L'-';
            }
            else if (unit >= L'0' && unit <= L'9')
            {
                const UINT64 digit = static_cast<UINT64>(unit - L'0');
                if (magnitude > (MaximumUInt64 - digit) / 10)
                {
                    return false;
                }
                magnitude = magnitude * 10 + digit;
                seen = true;
            }
            else
            {
                return false;
            }
        }

        if (magnitude > GetLimit(bits, isSigned))
        {
            return false;
        }
        Store(magnitude, negative, bits, output);
        return true;
    }

    // The integer and fraction digits are parsed apart; a zero integer part takes its sign from
    // the text, so -0.5 and -.5 stay negative.
    double Parser::ParseDouble(const String& text, const Locale& locale)
    {
        WCHAR separator[SeparatorCapacity];
        ReadSeparator(locale, LOCALE_SDECIMAL, separator, L"Tarn::Parser::ParseDouble");
        const String decimalSeparator(separator, true);
        const UINT32 position = decimalSeparator.IsEmpty() ? String::NotFound : text.IndexOf(decimalSeparator);

        INT64 integerPart = 0;
        if (position == String::NotFound)
        {
            if (!TryParseDecimalInteger(text, 64, true, &locale, &integerPart))
            {
                throw ParseException();
            }
            return static_cast<double>(integerPart);
        }

        const UINT32 fractionStart = position + decimalSeparator.GetLength();
        const UINT32 fractionLength = text.GetLength() - fractionStart;
        if (position > 0 && !TryParseDecimalInteger(text.Substring(0, position), 64, true, &locale, &integerPart))
        {
            throw ParseException();
        }
        UINT64 fractionDigits = 0;
        if (!TryParseDecimalInteger(text.Substring(fractionStart, fractionLength), 64, false, &locale, &fractionDigits))
        {
            throw ParseException();
        }

        const double fraction = static_cast<double>(fractionDigits) / std::pow(10.0, static_cast<double>(fractionLength));
        if (integerPart > 0)
        {
            return static_cast<double>(integerPart) + fraction;
        }
        if (integerPart < 0)
        {
            return static_cast<double>(integerPart) - fraction;
        }
        return BeginsWithMinus(text) ? -fraction : fraction;
    }

    bool Parser::IsNumber(const String& text, const Locale& locale)
    {
        try
        {
            ParseDouble(text, locale);
            return true;
        }
        catch (const ParseException&)
        {
            return false;
        }
    }

    bool Parser::TryParseUInt32(const String& text, UINT32* output)
    {
        if (output == nullptr)
        {
            throw ArgumentException();
        }
        if (text.IsNullOrEmpty())
        {
            return false;
        }

        const PCWSTR units = text.GetBuffer();
        const UINT32 length = text.GetLength();
        UINT64 value = 0;
        for (UINT32 position = 0; position < length; ++position)
        {
            const WCHAR unit = units[position];
            if (unit < L'0' || unit > L'9')
            {
                return false;
            }
            const UINT64 digit = static_cast<UINT64>(unit - L'0');
            if (value > (MaximumUInt64 - digit) / 10)
            {
                return false;
            }
            value = value * 10 + digit;
        }
        if (value > std::numeric_limits<UINT32>::max())
        {
            return false;
        }
        *output = static_cast<UINT32>(value);
        return true;
    }

    UINT32 Parser::ParseUInt32(const String& text)
    {
        UINT32 value = 0;
        if (!TryParseUInt32(text, &value))
        {
            throw ParseException();
        }
        return value;
    }
}
