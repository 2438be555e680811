#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "tarnexception.h"
#include "tarnformatter.h"
#include "tarnlocale.h"
#include "tarnstring.h"
#include "tarntrace.h"
#include "testsupport.h"

using TarnTest::ThrownCode;

namespace
{
    using Tarn::FormatException;
    using Tarn::Formatter;
    using Tarn::Locale;
    using Tarn::String;

    // Not a locale Windows knows, so every locale query for it fails.
    const Locale UnknownLocale(0x12345);

    std::wstring Text(const String& text)
    {
        return text.IsNull() ? std::wstring() : std::wstring(text.GetBuffer(), text.GetLength());
    }

    std::wstring Format(PCWSTR format, const Tarn::FormatProxy& argument)
    {
        return Text(Formatter::Format(String(format, true), argument, Locale::Invariant));
    }

    HRESULT FormatFailure(PCWSTR format, const Tarn::FormatProxy& argument, const Locale& locale = Locale::Invariant)
    {
        return ThrownCode([&] { Formatter::Format(String(format, true), argument, locale); });
    }

    // Remembers what it was asked and answers with a fixed text.
    class RecordingFormattable : public Tarn::IFormattable
    {
    public:
        String FormatObject(const String& format, const Locale& locale) const override
        {
            formatWasNull = format.IsNull();
            receivedFormat = Text(format);
            receivedLocale = locale.GetIdentifier();
            return String(L"object", true);
        }

        mutable bool formatWasNull = false;
        mutable std::wstring receivedFormat;
        mutable LCID receivedLocale = 0;
    };

    // The error code a failure trace line reports, as the hexadecimal text after "0x".
    DWORD ReportedError(const std::string& line, const std::string& message)
    {
        const size_t start = line.find(message);
        return start == std::string::npos ? 0 : std::strtoul(line.c_str() + start + message.size(), nullptr, 16);
    }

    // Names a case after its row: its number, which keeps apart formats that differ only in punctuation
    // or argument, then the format's letters and digits, as GoogleTest takes no other characters.
    struct NamedAfterFormat
    {
        template <typename Row>
        std::string operator()(const testing::TestParamInfo<Row>& info) const
        {
            std::string name = std::to_string(info.index) + "_";
            for (PCWSTR unit = info.param.format; *unit != L'\0'; ++unit)
            {
                if (*unit < 0x80 && std::isalnum(*unit) != 0)
                {
                    name += static_cast<char>(*unit);
                }
            }
            return name;
        }
    };
}

class FormatterTest : public testing::Test
{
protected:
    // Failure lines are written at ERROR; the module starts at WARNING and is left there.
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
    void TearDown() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Warning); }

    // Expects exactly one failure line from the function and returns it.
    static std::string SingleFailureLine(TarnTest::DebugOutputListener& listener, const std::string& function,
                                         const std::string& message)
    {
        const auto lines = listener.GetLinesContaining(" " + function + "(): " + message);
        EXPECT_EQ(1u, lines.size());
        if (lines.empty())
        {
            return std::string();
        }
        EXPECT_NE(std::string::npos, lines[0].find(" ERROR src\\tarnformatter("));
        return lines[0];
    }
};

namespace
{
    struct Item
    {
        PCWSTR format;
        Tarn::FormatProxy argument;
        PCWSTR expected;
    };

    void PrintTo(const Item& item, std::ostream* out) { *out << testing::PrintToString(item.format); }

    // The arguments are static: a proxy refers to its argument.
    std::vector<Item> Items()
    {
        static const INT32 accessDenied = -2147024891;
        static const UINT32 five = 5;
        static const UINT32 six = 6;
        static const UINT32 twentySix = 26;
        static const UINT32 oneTwoThree = 123;
        static const UINT32 million = 1234567;
        static const INT32 minusSeven = -7;
        static const INT32 minusTwelve = -12;
        static const INT32 minusMillion = -1234567;
        static const int zero = 0;
        static const int fortyTwo = 42;
        static const BYTE byte = 171;
        static const signed char minusOne8 = -1;
        static const short minusOne16 = -1;
        static const int minusOne32 = -1;
        static const long long minusOne64 = -1;
        static const long long int64 = std::numeric_limits<long long>::min();
        static const unsigned long long large = 0x123456789ABCDEFull;
        static const unsigned long long largest = std::numeric_limits<unsigned long long>::max();
        static const unsigned short word = 0xBEEF;
        static const double fraction = 1234.5;
        static const double negative = -0.126;
        static const double half = 0.5;
        static const float single = 0.5f;
        static const String text(L"text", true);
        static const String null;
        static const String ab(L"ab", true);
        static const void* pointer = reinterpret_cast<const void*>(0x1234ABCDull);
        return {
            // The hexadecimal items of the system's messages.
            {L"0x{0:X8}", accessDenied, L"0x80070005"},
            {L"0x{0:X}", five, L"0x5"},
            {L"{0:X4}", twentySix, L"001A"},
            {L"{0:x2}", byte, L"ab"},
            {L"{0:X2}", byte, L"AB"},
            // Narrow signed values in hexadecimal at 32 bits, the others at their own width.
            {L"{0:X}", minusOne8, L"FFFFFFFF"},
            {L"{0:X}", minusOne16, L"FFFFFFFF"},
            {L"{0:x}", minusOne32, L"ffffffff"},
            {L"{0:X}", minusOne64, L"FFFFFFFFFFFFFFFF"},
            {L"{0:X}", large, L"123456789ABCDEF"},
            {L"{0:X8}", word, L"0000BEEF"},
            // Decimal pads with zeros, before the sign.
            {L"{0:D2}", six, L"06"},
            {L"{0:D2}", oneTwoThree, L"123"},
            {L"{0}", minusSeven, L"-7"},
            {L"{0:D4}", minusTwelve, L"0-12"},
            {L"{0:d3}", minusTwelve, L"-12"},
            {L"{0}", int64, L"-9223372036854775808"},
            // Strings give their text, the null string none.
            {L"[{0}]", text, L"[text]"},
            {L"[{0}]", null, L"[]"},
            {L"{{{0}}}", text, L"{text}"},
            // Doubled braces are literal; a single closing brace waits for its pair.
            {L"}}", zero, L"}"},
            {L"{{", zero, L"{"},
            {L"a}b}c", zero, L"ab}c"},
            {L"plain text {{x}}", zero, L"plain text {x}"},
            // An item that closes drops the held-back brace.
            {L"a}{0}b", zero, L"a0b"},
            // A "{" inside an item is written and the abandoned item's text is dropped.
            {L"{ab{{0}", zero, L"{0"},
            // Alignment pads with spaces on the left when positive, on the right when negative.
            {L"{0,5}", fortyTwo, L"   42"},
            {L"{0,-5}|", fortyTwo, L"42   |"},
            {L"{0,1}", fortyTwo, L"42"},
            {L"{0,-2}", fortyTwo, L"42"},
            {L"{0,6:X4}", twentySix, L"  001A"},
            {L"{0,-4}|", ab, L"ab  |"},
            // Pointers and characters ignore the format part.
            {L"{0}", pointer, L"000000001234ABCD"},
            {L"{0:Q}", pointer, L"000000001234ABCD"},
            {L"[{0:X}]", L'Z', L"[Z]"},
            // A number with a precision groups by threes under the invariant locale.
            {L"{0:N2}", million, L"1,234,567.00"},
            {L"{0:n1}", minusMillion, L"-1,234,567.0"},
            {L"{0:N3}", fraction, L"1,234.500"},
            {L"{0:N2}", single, L"0.50"},
            // Fixed point never groups and rounds to the precision.
            {L"{0:F}", million, L"1234567.00"},
            {L"{0:F2}", fraction, L"1234.50"},
            {L"{0:f2}", negative, L"-0.13"},
            {L"{0:F0}", half, L"1"},
            {L"{0:F10}", half, L"0.5000000000"},
            {L"{0:F1}", largest, L"18446744073709551615.0"},
        };
    }
}

// One argument, one item: what each specifier, alignment and kind of argument makes of it.
class FormatterItemTest : public FormatterTest, public testing::WithParamInterface<Item>
{
};

TEST_P(FormatterItemTest, FormatsAnArgumentByItsItem)
{
    const Item& item = GetParam();
    EXPECT_EQ(item.expected, Format(item.format, item.argument)) << item.format;
}
INSTANTIATE_TEST_SUITE_P(, FormatterItemTest, testing::ValuesIn(Items()), NamedAfterFormat());

TEST_F(FormatterTest, DecimalWidensEveryIntegerKind)
{
    const unsigned char uint8 = 255;
    const signed char int8 = -128;
    const unsigned short uint16 = 65535;
    const short int16 = -32768;
    const unsigned long uint32 = 4294967295ul;
    const long int32 = std::numeric_limits<long>::min();
    const unsigned long long uint64 = std::numeric_limits<unsigned long long>::max();
    EXPECT_EQ(L"255 -128 65535 -32768 4294967295 -2147483648 18446744073709551615",
              Text(Formatter::Format(String(L"{0} {1} {2} {3} {4} {5} {6}", true), uint8, int8, uint16, int16, uint32,
                                     int32, uint64, Locale::Invariant)));
}
TEST_F(FormatterTest, NullOrEmptyFormatGivesAnEmptyNonNullString)
{
    const int unused = 0;
    const String fromEmpty = Formatter::Format(String(L"", true), unused, Locale::Invariant);
    const String fromNull = Formatter::Format(String(), unused, Locale::Invariant);
    EXPECT_TRUE(fromEmpty.IsEmpty());
    EXPECT_TRUE(fromNull.IsEmpty());
}

namespace
{
    struct FaultyFormat
    {
        PCWSTR format;
        Tarn::FormatProxy argument;
        HRESULT code;
    };

    void PrintTo(const FaultyFormat& format, std::ostream* out) { *out << testing::PrintToString(format.format); }

    // The arguments are static: a proxy refers to its argument.
    std::vector<FaultyFormat> FaultyFormats()
    {
        static const int value = 1;
        static const double floating = 1.5;
        static const double huge = 1e300;
        static const String text(L"text", true);
        const HRESULT malformed = FormatException::Code;
        const HRESULT wrongNumber = Tarn::ParseException::Code;
        return {
            {L"a}b", value, malformed}, {L"{0", value, malformed}, {L"{}", value, malformed},
            {L"{1}", value, malformed}, {L"{x}", value, malformed}, {L"{0,abc}", value, malformed},
            {L"{0:X123}", value, malformed}, {L"{0:Q}", value, malformed}, {L"{0:Xab}", value, malformed},
            {L"{0,--5}", value, malformed}, {L"{0:X,5}", value, malformed},
            {L"{0:D}", floating, malformed}, {L"{0:X}", floating, malformed}, {L"{0}", Tarn::FormatProxy(), malformed},
            // The exception of the object's own FormatObject passes through unchanged.
            {L"{0:X}", text, malformed},
            // A number too long for its text fails instead of being cut.
            {L"{0:F}", huge, malformed}, {L"{0:N2}", huge, malformed},
            {L"{0.5}", value, wrongNumber}, {L"{-0}", value, wrongNumber}, {L"{0,1.5}", value, wrongNumber},
            {L"{0:D-1}", value, wrongNumber}, {L"{0,+5}", value, wrongNumber}, {L"{0,2147483648}", value, wrongNumber},
            {L"{:X}", value, E_INVALIDARG}, {L"{0:}", value, E_INVALIDARG}, {L"{0,}", value, E_INVALIDARG},
            {L"{,5}", value, E_INVALIDARG}, {L"{0,5:}", value, E_INVALIDARG},
            {L"{0:C}", value, E_NOTIMPL}, {L"{0:c}", value, E_NOTIMPL}, {L"{0:E}", value, E_NOTIMPL},
            {L"{0:e2}", value, E_NOTIMPL}, {L"{0:G}", value, E_NOTIMPL}, {L"{0:g}", value, E_NOTIMPL},
            {L"{0:P}", value, E_NOTIMPL}, {L"{0:p}", value, E_NOTIMPL}, {L"{0:R}", value, E_NOTIMPL},
            {L"{0:r}", value, E_NOTIMPL},
        };
    }
}

// A format that cannot be followed throws by the kind of its fault: a malformed item or an argument the
// specifier does not fit, a number of the wrong form inside an item, an empty part of an item, or a
// standard specifier that is not implemented.
class FormatterFaultTest : public FormatterTest, public testing::WithParamInterface<FaultyFormat>
{
};

TEST_P(FormatterFaultTest, FormatsThatCannotBeFollowedThrowByTheKindOfTheirFault)
{
    const FaultyFormat& format = GetParam();
    EXPECT_EQ(format.code, FormatFailure(format.format, format.argument)) << format.format;
}
INSTANTIATE_TEST_SUITE_P(, FormatterFaultTest, testing::ValuesIn(FaultyFormats()), NamedAfterFormat());

TEST_F(FormatterTest, FormattableObjectsReceiveTheFormatPartAndTheLocale)
{
    RecordingFormattable object;
    EXPECT_EQ(L"<object>", Text(Formatter::Format(String(L"<{0}>", true), object, Locale::UserDefault)));
    EXPECT_TRUE(object.formatWasNull);
    EXPECT_EQ(static_cast<LCID>(LOCALE_USER_DEFAULT), object.receivedLocale);

    EXPECT_EQ(L"  object", Format(L"{0,8:anything at all}", object));
    EXPECT_EQ(L"anything at all", object.receivedFormat);
}

TEST_F(FormatterTest, BooleansIgnoreTheFormatPart)
{
    EXPECT_EQ(L"true false", Text(Formatter::Format(String(L"{0} {1:D2}", true), true, false, Locale::Invariant)));
}
TEST_F(FormatterTest, ArgumentsAreSelectedByIndexInEveryOverload)
{
    const int a = 0, b = 1, c = 2, d = 3, e = 4, f = 5, g = 6;
    const String reversed(L"{6}{5}{4}{3}{2}{1}{0}", true);
    EXPECT_EQ(L"6543210", Text(Formatter::Format(reversed, a, b, c, d, e, f, g, Locale::Invariant)));
    EXPECT_EQ(L"5-0", Text(Formatter::Format(String(L"{5}-{0}", true), a, b, c, d, e, f, Locale::Invariant)));
    EXPECT_EQ(L"4", Text(Formatter::Format(String(L"{4}", true), a, b, c, d, e, Locale::Invariant)));
    EXPECT_EQ(L"3", Text(Formatter::Format(String(L"{3}", true), a, b, c, d, Locale::Invariant)));
    EXPECT_EQ(L"2", Text(Formatter::Format(String(L"{2}", true), a, b, c, Locale::Invariant)));
    EXPECT_EQ(L"1", Text(Formatter::Format(String(L"{1}", true), a, b, Locale::Invariant)));
    EXPECT_EQ(FormatException::Code,
              ThrownCode([&] { Formatter::Format(String(L"{2}", true), a, b, Locale::Invariant); }));
    EXPECT_EQ(E_INVALIDARG, ThrownCode([] { Formatter::Format(String(L"{0}", true), nullptr, 1, Locale::Invariant); }));
}

TEST_F(FormatterTest, StringFormatAssignsTheFormattedText)
{
    const UINT32 value = 255;
    String result(L"old", true);
    String::Format(result, String(L"0x{0:X4}", true), value, Locale::Invariant);
    EXPECT_EQ(L"0x00FF", Text(result));
}

TEST_F(FormatterTest, NumberWithoutPrecisionUsesTheLocalesOwnSettings)
{
    // Only the digits and the decimals are fixed: the grouping is the platform's locale data.
    const UINT32 million = 1234567;
    const double fraction = 1234567.126;
    std::wstring integerText = Format(L"{0:N}", million);
    std::wstring floatingText = Format(L"{0}", fraction);
    integerText.erase(std::remove(integerText.begin(), integerText.end(), L','), integerText.end());
    floatingText.erase(std::remove(floatingText.begin(), floatingText.end(), L','), floatingText.end());
    EXPECT_EQ(L"1234567.00", integerText);
    EXPECT_EQ(L"1234567.13", floatingText);
}

TEST_F(FormatterTest, FailedNumberFormattingIsTracedThenThrowsFormatException)
{
    const double notANumber = std::numeric_limits<double>::quiet_NaN();
    TarnTest::DebugOutputListener listener;

    EXPECT_EQ(FormatException::Code, FormatFailure(L"{0:F2}", notANumber));
    SingleFailureLine(listener, "Tarn::Formatter::FormatNumeric_F", "GetNumberFormat() failed, GetLastError() returns 0x");

    EXPECT_EQ(FormatException::Code, FormatFailure(L"{0:N2}", notANumber));
    SingleFailureLine(listener, "Tarn::Formatter::FormatNumeric_N", "GetNumberFormat() failed, GetLastError() returns 0x");
}

TEST_F(FormatterTest, FailedLocaleQueriesAreTracedThenThrowSystemExceptionWithTheError)
{
    const double value = 1.5;
    const std::string message = "GetLocaleInfo() failed, GetLastError() returns 0x";
    TarnTest::DebugOutputListener listener;

    const HRESULT fixedPoint = FormatFailure(L"{0:F2}", value, UnknownLocale);
    const std::string fixedPointLine = SingleFailureLine(listener, "Tarn::Formatter::FormatNumeric_F", message);
    EXPECT_EQ(Tarn::HResultFromWin32(ReportedError(fixedPointLine, message)), fixedPoint);
    EXPECT_EQ(FACILITY_WIN32, HRESULT_FACILITY(fixedPoint));

    const HRESULT number = FormatFailure(L"{0:N}", value, UnknownLocale);
    const std::string numberLine = SingleFailureLine(listener, "Tarn::Formatter::FormatNumeric_N", message);
    EXPECT_EQ(Tarn::HResultFromWin32(ReportedError(numberLine, message)), number);
}

TEST_F(FormatterTest, MalformedFormatsWriteNoTraceLine)
{
    const int value = 1;
    TarnTest::DebugOutputListener listener;
    FormatFailure(L"{1}", value);
    FormatFailure(L"{0:Q}", value);
    EXPECT_TRUE(listener.GetLinesContaining("src\\tarnformatter").empty());
}

TEST_F(FormatterTest, HexBytesGivesTwoDigitsPerByteInTheRequestedCase)
{
    const BYTE bytes[] = { 0, 15, 255 };
    EXPECT_EQ(L"000fff", Text(Formatter::FormatHexBytes(bytes, 3, false)));
    EXPECT_EQ(L"000FFF", Text(Formatter::FormatHexBytes(bytes, 3, true)));
    EXPECT_EQ(E_INVALIDARG, ThrownCode([] { Formatter::FormatHexBytes(nullptr, 3, false); }));
    EXPECT_EQ(E_INVALIDARG, ThrownCode([&] { Formatter::FormatHexBytes(bytes, 0, false); }));
}

TEST_F(FormatterTest, FormattingLeavesNoMemoryBehind)
{
    const BYTE digest[] = { 0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67 };
    const INT32 code = -2147024891;
    const UINT32 thread = 0x1A2C;
    const double fraction = 1234.5;
    const String name(L"DIGESTRY", true);
    const size_t growth = TarnTest::MeasureHeapGrowth(
        [&] {
            Formatter::Format(String(L"0x{0:X4} {1,-10} {2:N2} {3:F1} {{{4}}}", true), thread, name, fraction, fraction,
                              code, Locale::Invariant);
            Formatter::FormatHexBytes(digest, ARRAYSIZE(digest), false);
            FormatFailure(L"{0:Q}", code);
            FormatFailure(L"{0,}", code);
            FormatFailure(L"{0:F2}", fraction, UnknownLocale);
        },
        2000);
    EXPECT_LT(growth, 2000u);
}
