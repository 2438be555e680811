#include "tarnformatter.h"

#include <limits>

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarnparser.h"
#include "tarntrace.h"

// Last, so that its deprecation of the unbounded C runtime functions cannot touch other headers.
#include <strsafe.h>

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnformatter";
}

namespace Tarn
{
    // Constant-initialised, so they exist before any other static of the module can format.
    const Locale Locale::Invariant(LOCALE_INVARIANT);
    const Locale Locale::SystemDefault(LOCALE_SYSTEM_DEFAULT);
    const Locale Locale::UserDefault(LOCALE_USER_DEFAULT);
}

namespace
{
    using Tarn::FormatException;
    using Tarn::FormatProxy;
    using Tarn::String;

    // Literal-mode strings are constant-initialised: no first-use race, no static-order problem.
    const String LowerHexByteFormat(L"{0:x2}", true);
    const String UpperHexByteFormat(L"{0:X2}", true);
    const String TrueText(L"true", true);
    const String FalseText(L"false", true);

    constexpr UINT32 UnsetPosition = String::NotFound;
    // Reserved per argument on top of the format's own length.
    constexpr UINT32 ReservePerArgument = 10;
    // A precision has at most two digits.
    constexpr UINT32 MaximumPrecision = 99;

    // Every decimal or hexadecimal rendering of a 64-bit integer fits.
    constexpr size_t IntegerTextCapacity = 24;
    // "%p" prints 16 digits on 64-bit Windows.
    constexpr size_t PointerTextCapacity = 32;
    // The integer digits of any 64-bit value or of a double below about 10^30, with the largest
    // precision. A longer text fails rather than being cut into a different number.
    constexpr size_t PlainTextCapacity = 32 + MaximumPrecision;
    // The longest plain text grouped by threes with short separators and a sign pattern; locale
    // data whose output does not fit fails with FormatException.
    constexpr int NumberTextCapacity = 256;
    constexpr int SeparatorCapacity = 16;

    // The parts of one item; absent alignment is 0 and an absent format part is a null string.
    struct FormatItem
    {
        UINT32 index;
        INT32 alignment;
        String format;
    };

    // The letter of a numeric specifier and its precision, -1 when the item gives none.
    struct NumericSpecifier
    {
        WCHAR letter;
        int precision;
    };

    template <typename T>
    void Print(PWSTR buffer, size_t capacity, PCWSTR pattern, T value)
    {
        if (FAILED(::StringCchPrintfW(buffer, capacity, pattern, value)))
        {
            throw FormatException();
        }
    }

    template <typename T>
    T ValueAt(const FormatProxy& argument)
    {
        return *reinterpret_cast<const T*>(argument.GetValue());
    }

    bool IsIntegerKind(FormatProxy::Kind kind)
    {
        return kind >= FormatProxy::KindUInt8 && kind <= FormatProxy::KindInt64;
    }

    bool IsSignedKind(FormatProxy::Kind kind)
    {
        return IsIntegerKind(kind) && (kind % 2) != 0;
    }

    bool IsFloatingKind(FormatProxy::Kind kind)
    {
        return kind == FormatProxy::KindFloat || kind == FormatProxy::KindDouble;
    }

    // Integer arguments widened to 64 bits: unsigned kinds zero-extend, signed kinds sign-extend.
    UINT64 ReadUnsigned(const FormatProxy& argument)
    {
        switch (argument.GetKind())
        {
        case FormatProxy::KindUInt8:
            return ValueAt<UINT8>(argument);
        case FormatProxy::KindUInt16:
            return ValueAt<UINT16>(argument);
        case FormatProxy::KindUInt32:
            return ValueAt<UINT32>(argument);
        case FormatProxy::KindUInt64:
            return ValueAt<UINT64>(argument);
        default:
            throw FormatException();
        }
    }

    INT64 ReadSigned(const FormatProxy& argument)
    {
        switch (argument.GetKind())
        {
        case FormatProxy::KindInt8:
            return ValueAt<INT8>(argument);
        case FormatProxy::KindInt16:
            return ValueAt<INT16>(argument);
        case FormatProxy::KindInt32:
            return ValueAt<INT32>(argument);
        case FormatProxy::KindInt64:
            return ValueAt<INT64>(argument);
        default:
            throw FormatException();
        }
    }

    double ReadFloating(const FormatProxy& argument)
    {
        return argument.GetKind() == FormatProxy::KindFloat ? ValueAt<float>(argument) : ValueAt<double>(argument);
    }

    // An index, alignment digits or precision: anything that is no number at all is a malformed
    // format; a number of another form (signed, fractional, too large) fails to parse.
    UINT32 ParseField(const String& text)
    {
        if (!Tarn::Parser::IsNumber(text, Tarn::Locale::Invariant))
        {
            throw FormatException();
        }
        return Tarn::Parser::ParseUInt32(text);
    }

    INT32 ParseAlignment(const String& text)
    {
        if (!Tarn::Parser::IsNumber(text, Tarn::Locale::Invariant))
        {
            throw FormatException();
        }
        const bool negative = text.StartsWith(L'-');
        const UINT32 magnitude = Tarn::Parser::ParseUInt32(negative ? text.Substring(1, text.GetLength() - 1) : text);
        // Beyond the signed 32-bit range the sign would be lost in the conversion.
        if (magnitude > static_cast<UINT32>(std::numeric_limits<INT32>::max()))
        {
            throw Tarn::ParseException();
        }
        return negative ? -static_cast<INT32>(magnitude) : static_cast<INT32>(magnitude);
    }

    // The text from begin up to end; an empty part is refused by Substring.
    String ItemPart(const String& item, UINT32 begin, UINT32 end)
    {
        return item.Substring(begin, end - begin);
    }

    // index[,alignment][:format]
    FormatItem ParseItem(const String& item, UINT32 argumentCount)
    {
        const UINT32 length = item.GetLength();
        String indexText;
        String alignmentText;
        FormatItem parsed = { 0, 0, String() };
        const UINT32 comma = item.IndexOf(L',');
        if (comma == String::NotFound)
        {
            const UINT32 colon = item.IndexOf(L':');
            if (colon == String::NotFound)
            {
                indexText = item;
            }
            else
            {
                indexText = ItemPart(item, 0, colon);
                parsed.format = ItemPart(item, colon + 1, length);
            }
        }
        else
        {
            indexText = ItemPart(item, 0, comma);
            const UINT32 colon = comma + 1 < length ? item.IndexOf(L':', comma + 1) : String::NotFound;
            if (colon == String::NotFound)
            {
                alignmentText = ItemPart(item, comma + 1, length);
            }
            else
            {
                alignmentText = ItemPart(item, comma + 1, colon);
                parsed.format = ItemPart(item, colon + 1, length);
            }
        }

        parsed.index = ParseField(indexText);
        if (!alignmentText.IsNull())
        {
            parsed.alignment = ParseAlignment(alignmentText);
        }
        if (parsed.index >= argumentCount)
        {
            throw FormatException();
        }
        return parsed;
    }

    NumericSpecifier ParseSpecifier(const String& format, bool floating)
    {
        if (format.IsNull())
        {
            return NumericSpecifier{ floating ? L'N' : L'D', -1 };
        }
        const UINT32 length = format.GetLength();
        if (length < 1 || length > 3)
        {
            throw FormatException();
        }
        const int precision = length == 1 ? -1 : static_cast<int>(ParseField(format.Substring(1, length - 1)));
        return NumericSpecifier{ format[0], precision };
    }

    // Zeros in front up to the precision; for a negative number they precede the sign.
    String PadWithZeros(PCWSTR text, int precision)
    {
        const UINT32 length = String::GetStringLength(text);
        if (precision < 0 || length >= static_cast<UINT32>(precision))
        {
            return String(text, false);
        }
        String padded;
        padded.Reserve(static_cast<UINT32>(precision) + 1);
        padded.Append(L'0', static_cast<UINT32>(precision) - length);
        padded.Append(text);
        return padded;
    }

    String FormatNumeric_D(const FormatProxy& argument, int precision)
    {
        WCHAR text[IntegerTextCapacity];
        if (IsSignedKind(argument.GetKind()))
        {
            Print(text, IntegerTextCapacity, L"%I64d", ReadSigned(argument));
        }
        else
        {
            Print(text, IntegerTextCapacity, L"%I64u", ReadUnsigned(argument));
        }
        return PadWithZeros(text, precision);
    }

    String FormatNumeric_X(const FormatProxy& argument, bool upperCase, int precision)
    {
        WCHAR text[IntegerTextCapacity];
        switch (argument.GetKind())
        {
        case FormatProxy::KindInt8:
        case FormatProxy::KindInt16:
        case FormatProxy::KindInt32:
            // Printed at 32 bits, so -1 of any of these widths gives eight F digits.
            Print(text, IntegerTextCapacity, upperCase ? L"%lX" : L"%lx",
                  static_cast<unsigned long>(static_cast<INT32>(ReadSigned(argument))));
            break;
        case FormatProxy::KindInt64:
            Print(text, IntegerTextCapacity, upperCase ? L"%I64X" : L"%I64x", static_cast<UINT64>(ReadSigned(argument)));
            break;
        default:
            Print(text, IntegerTextCapacity, upperCase ? L"%I64X" : L"%I64x", ReadUnsigned(argument));
            break;
        }
        return PadWithZeros(text, precision);
    }

    // The number as GetNumberFormatW reads it. Floating values get the precision's decimals (6 for
    // none or 0), which GetNumberFormatW then rounds or extends to its own digit count.
    void FormatPlainText(const FormatProxy& argument, int precision, PWSTR text)
    {
        const FormatProxy::Kind kind = argument.GetKind();
        if (IsFloatingKind(kind))
        {
            WCHAR pattern[16];
            Print(pattern, ARRAYSIZE(pattern), L"%%.%luf", static_cast<unsigned long>(precision > 0 ? precision : 6));
            Print(text, PlainTextCapacity, pattern, ReadFloating(argument));
        }
        else if (IsSignedKind(kind))
        {
            Print(text, PlainTextCapacity, L"%I64d", ReadSigned(argument));
        }
        else
        {
            Print(text, PlainTextCapacity, L"%I64u", ReadUnsigned(argument));
        }
    }

    UINT ReadLocaleNumber(LCID locale, LCTYPE type, PCWSTR function)
    {
        DWORD value = 0;
        if (::GetLocaleInfoW(locale, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&value),
                             sizeof(value) / sizeof(WCHAR)) == 0)
        {
            TARN_THROW_WIN32(function, L"GetLocaleInfo() failed, GetLastError() returns 0x{0:X}", ::GetLastError());
        }
        return value;
    }

    void ReadLocaleText(LCID locale, LCTYPE type, PWSTR text, PCWSTR function)
    {
        if (::GetLocaleInfoW(locale, type, text, SeparatorCapacity) == 0)
        {
            TARN_THROW_WIN32(function, L"GetLocaleInfo() failed, GetLastError() returns 0x{0:X}", ::GetLastError());
        }
    }

    // GetNumberFormatW of the plain text; a null format uses all of the locale's own settings.
    String FormatNumber(LCID locale, PCWSTR plainText, const NUMBERFMTW* format, PCWSTR function)
    {
        WCHAR text[NumberTextCapacity];
        if (::GetNumberFormatW(locale, 0, plainText, format, text, NumberTextCapacity) == 0)
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(Tarn::TraceLevel::Error, function, L"GetNumberFormat() failed, GetLastError() returns 0x{0:X}", error);
            throw FormatException();
        }
        return String(text, false);
    }

    String FormatNumeric(const FormatProxy& argument, const String& format, const Tarn::Locale& locale)
    {
        const bool floating = IsFloatingKind(argument.GetKind());
        const NumericSpecifier specifier = ParseSpecifier(format, floating);
        switch (specifier.letter)
        {
        case L'D':
        case L'd':
            if (floating)
            {
                throw FormatException();
            }
            return FormatNumeric_D(argument, specifier.precision);
        case L'X':
        case L'x':
            if (floating)
            {
                throw FormatException();
            }
            return FormatNumeric_X(argument, specifier.letter == L'X', specifier.precision);
        case L'F':
        case L'f':
            return Tarn::Formatter::FormatNumeric_F(argument, specifier.precision, locale);
        case L'N':
        case L'n':
            return Tarn::Formatter::FormatNumeric_N(argument, specifier.precision, locale);
        case L'C':
        case L'c':
        case L'E':
        case L'e':
        case L'G':
        case L'g':
        case L'P':
        case L'p':
        case L'R':
        case L'r':
            throw Tarn::NotImplementedException();
        default:
            throw FormatException();
        }
    }

    String FormatArgument(const FormatProxy& argument, const String& format, const Tarn::Locale& locale)
    {
        const FormatProxy::Kind kind = argument.GetKind();
        if (IsIntegerKind(kind) || IsFloatingKind(kind))
        {
            return FormatNumeric(argument, format, locale);
        }
        switch (kind)
        {
        case FormatProxy::KindFormattable:
            return reinterpret_cast<const Tarn::IFormattable*>(argument.GetValue())->FormatObject(format, locale);
        case FormatProxy::KindPointer:
        {
            WCHAR text[PointerTextCapacity];
            Print(text, PointerTextCapacity, L"%p", reinterpret_cast<const void*>(argument.GetValue()));
            return String(text, false);
        }
        case FormatProxy::KindBool:
            return argument.GetValue() != 0 ? TrueText : FalseText;
        case FormatProxy::KindCharacter:
        {
            const WCHAR text[] = { static_cast<WCHAR>(argument.GetValue()), L'\0' };
            return String(text, false);
        }
        default:
            throw FormatException();
        }
    }

    // Spaces before the text for a positive alignment, after it for a negative one.
    void AppendAligned(String& result, const String& text, INT32 alignment)
    {
        const UINT32 width = alignment < 0 ? 0u - static_cast<UINT32>(alignment) : static_cast<UINT32>(alignment);
        const UINT32 length = text.GetLength();
        const UINT32 padding = length < width ? width - length : 0;
        if (alignment > 0)
        {
            result.Append(L' ', padding);
        }
        result.Append(text);
        if (alignment < 0)
        {
            result.Append(L' ', padding);
        }
    }
}

namespace Tarn
{
    String Formatter::Format(const String& format, const FormatProxy& a0, const Locale& locale)
    {
        return Format(format, &a0, 1, locale);
    }

    // The proxies are copied into a local array: they are only a kind and a word each.
    String Formatter::Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const Locale& locale)
    {
        const FormatProxy arguments[] = { a0, a1 };
        return Format(format, arguments, ARRAYSIZE(arguments), locale);
    }

    String Formatter::Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const Locale& locale)
    {
        const FormatProxy arguments[] = { a0, a1, a2 };
        return Format(format, arguments, ARRAYSIZE(arguments), locale);
    }

    String Formatter::Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const Locale& locale)
    {
        const FormatProxy arguments[] = { a0, a1, a2, a3 };
        return Format(format, arguments, ARRAYSIZE(arguments), locale);
    }

    String Formatter::Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const FormatProxy& a4, const Locale& locale)
    {
        const FormatProxy arguments[] = { a0, a1, a2, a3, a4 };
        return Format(format, arguments, ARRAYSIZE(arguments), locale);
    }

    String Formatter::Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const FormatProxy& a4, const FormatProxy& a5, const Locale& locale)
    {
        const FormatProxy arguments[] = { a0, a1, a2, a3, a4, a5 };
        return Format(format, arguments, ARRAYSIZE(arguments), locale);
    }

    String Formatter::Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const FormatProxy& a4, const FormatProxy& a5, const FormatProxy& a6,
                             const Locale& locale)
    {
        const FormatProxy arguments[] = { a0, a1, a2, a3, a4, a5, a6 };
        return Format(format, arguments, ARRAYSIZE(arguments), locale);
    }

    // Plain text is copied in runs; a single "}" is held back until a second one (or an item)
    // decides whether it was an escape.
    String Formatter::Format(const String& format, const FormatProxy* arguments, UINT32 argumentCount, const Locale& locale)
    {
        if (arguments == nullptr && argumentCount != 0)
        {
            throw ArgumentException();
        }
        if (format.IsNullOrEmpty())
        {
            return String::Empty;
        }

        const PCWSTR units = format.GetBuffer();
        const UINT32 length = format.GetLength();
        String result;
        result.Reserve(length + ReservePerArgument * argumentCount);

        UINT32 open = UnsetPosition;
        bool pendingClose = false;
        UINT32 runStart = 0;
        for (UINT32 position = 0; position < length; ++position)
        {
            const WCHAR unit = units[position];
            if (unit != L'{' && unit != L'}')
            {
                continue;
            }
            if (open == UnsetPosition)
            {
                result.Append(units + runStart, position - runStart);
            }

            if (unit == L'{')
            {
                if (open == UnsetPosition)
                {
                    open = position;
                    runStart = position + 1;
                }
                else
                {
                    // "{{", or a "{" inside an item, which abandons the item: the "{" is literal.
                    open = UnsetPosition;
                    runStart = position;
                }
            }
            else if (open != UnsetPosition)
            {
                if (position == open + 1)
                {
                    throw FormatException();
                }
                const FormatItem item = ParseItem(ItemPart(format, open + 1, position), argumentCount);
                AppendAligned(result, FormatArgument(arguments[item.index], item.format, locale), item.alignment);
                open = UnsetPosition;
                pendingClose = false;
                runStart = position + 1;
            }
            else if (!pendingClose)
            {
                pendingClose = true;
                runStart = position + 1;
            }
            else
            {
                pendingClose = false;
                runStart = position;
            }
        }

        if (open != UnsetPosition || pendingClose)
        {
            throw FormatException();
        }
        result.Append(units + runStart, length - runStart);
        return result;
    }

    String Formatter::FormatHexBytes(const BYTE* bytes, UINT32 byteCount, bool upperCase)
    {
        // Two digits per byte and the terminator must stay countable.
        if (bytes == nullptr || byteCount == 0 || byteCount > (std::numeric_limits<UINT32>::max() - 1) / 2)
        {
            throw ArgumentException();
        }
        const String& byteFormat = upperCase ? UpperHexByteFormat : LowerHexByteFormat;
        String result;
        result.Reserve(2 * byteCount + 1);
        for (UINT32 i = 0; i < byteCount; ++i)
        {
            result.Append(Format(byteFormat, FormatProxy(bytes[i]), Locale::Invariant));
        }
        return result;
    }

    // Never groups digits: the thousands separator is empty whatever the locale says.
    String Formatter::FormatNumeric_F(const FormatProxy& argument, int precision, const Locale& locale)
    {
        const PCWSTR function = L"Tarn::Formatter::FormatNumeric_F";
        const LCID identifier = locale.GetIdentifier();
        const UINT digits =
            precision < 0 ? ReadLocaleNumber(identifier, LOCALE_IDIGITS, function) : static_cast<UINT>(precision);

        WCHAR decimalSeparator[SeparatorCapacity];
        ReadLocaleText(identifier, LOCALE_SDECIMAL, decimalSeparator, function);
        WCHAR plainText[PlainTextCapacity];
        FormatPlainText(argument, static_cast<int>(digits), plainText);

        WCHAR noThousandSeparator[] = L"";
        NUMBERFMTW numberFormat = {};
        numberFormat.NumDigits = digits;
        numberFormat.LeadingZero = 1;
        numberFormat.Grouping = 3;
        numberFormat.lpDecimalSep = decimalSeparator;
        numberFormat.lpThousandSep = noThousandSeparator;
        numberFormat.NegativeOrder = 1;
        return FormatNumber(identifier, plainText, &numberFormat, function);
    }

    // Without a precision the locale's own number settings apply in full; with one, the locale's
    // separators and patterns but always groups of three.
    String Formatter::FormatNumeric_N(const FormatProxy& argument, int precision, const Locale& locale)
    {
        const PCWSTR function = L"Tarn::Formatter::FormatNumeric_N";
        const LCID identifier = locale.GetIdentifier();
        WCHAR plainText[PlainTextCapacity];
        if (precision < 0)
        {
            const UINT digits = IsFloatingKind(argument.GetKind()) ? ReadLocaleNumber(identifier, LOCALE_IDIGITS, function) : 0;
            FormatPlainText(argument, static_cast<int>(digits), plainText);
            return FormatNumber(identifier, plainText, nullptr, function);
        }

        WCHAR decimalSeparator[SeparatorCapacity];
        WCHAR thousandSeparator[SeparatorCapacity];
        NUMBERFMTW numberFormat = {};
        numberFormat.NumDigits = static_cast<UINT>(precision);
        numberFormat.LeadingZero = ReadLocaleNumber(identifier, LOCALE_ILZERO, function);
        numberFormat.Grouping = 3;
        ReadLocaleText(identifier, LOCALE_SDECIMAL, decimalSeparator, function);
        ReadLocaleText(identifier, LOCALE_STHOUSAND, thousandSeparator, function);
        numberFormat.lpDecimalSep = decimalSeparator;
        numberFormat.lpThousandSep = thousandSeparator;
        numberFormat.NegativeOrder = ReadLocaleNumber(identifier, LOCALE_INEGNUMBER, function);
        FormatPlainText(argument, precision, plainText);
        return FormatNumber(identifier, plainText, &numberFormat, function);
    }

    void String::Format(String& result, const String& format, const FormatProxy& argument, const Locale& locale)
    {
        result = Formatter::Format(format, argument, locale);
    }
}
