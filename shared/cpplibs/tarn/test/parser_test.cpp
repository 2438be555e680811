#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "tarnexception.h"
#include "tarnlocale.h"
#include "tarnparser.h"
#include "tarnstring.h"
#include "tarntrace.h"
#include "testsupport.h"

using TarnTest::ThrownCode;

namespace
{
    using Tarn::Locale;
    using Tarn::Parser;
    using Tarn::String;

    // Not a locale Windows knows, so every locale query for it fails.
    const Locale UnknownLocale(0x12345);

    // The parsed value, or the sentinel when the text is refused.
    template <typename T>
    T ParseOr(PCWSTR text, bool isSigned, T refused, const Locale* locale = nullptr)
    {
        T value = refused;
        const bool parsed = Parser::TryParseDecimalInteger(String(text, true), sizeof(T) * 8, isSigned, locale, &value);
        return parsed ? value : refused;
    }

    bool Refuses8(PCWSTR text, bool isSigned)
    {
        INT8 value = 0;
        return !Parser::TryParseDecimalInteger(String(text, true), 8, isSigned, nullptr, &value);
    }

    double ParseInvariant(PCWSTR text)
    {
        return Parser::ParseDouble(String(text, true), Locale::Invariant);
    }
}

class ParserTest : public testing::Test
{
protected:
    // Failure lines are written at ERROR; the module starts at WARNING and is left there.
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
    void TearDown() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Warning); }
};

TEST_F(ParserTest, UnsignedIntegersAreLimitedToTheirWidthAndRefuseSigns)
{
    EXPECT_EQ(255, ParseOr<UINT8>(L"255", false, 0));
    EXPECT_TRUE(Refuses8(L"256", false));
    EXPECT_TRUE(Refuses8(L"-1", false));
    EXPECT_TRUE(Refuses8(L"+1", false));
    EXPECT_EQ(65535, ParseOr<UINT16>(L"65535", false, 0));
    EXPECT_EQ(0u, ParseOr<UINT16>(L"65536", false, 0));
    EXPECT_EQ(4294967295u, ParseOr<UINT32>(L"4294967295", false, 0));
    EXPECT_EQ(0u, ParseOr<UINT32>(L"4294967296", false, 0));
    EXPECT_EQ(std::numeric_limits<UINT64>::max(), ParseOr<UINT64>(L"18446744073709551615", false, 0));
    EXPECT_EQ(0u, ParseOr<UINT64>(L"18446744073709551616", false, 0));
    EXPECT_EQ(0u, ParseOr<UINT64>(L"30000000000000000000", false, 0));
    EXPECT_EQ(7u, ParseOr<UINT32>(L"0007", false, 0));
}

TEST_F(ParserTest, SignedIntegersTakeOneLeadingSignAndRefuseTheMostNegativeValue)
{
    EXPECT_EQ(127, ParseOr<INT8>(L"127", true, 0));
    EXPECT_EQ(-127, ParseOr<INT8>(L"-127", true, 0));
    EXPECT_EQ(5, ParseOr<INT8>(L"+5", true, 0));
    EXPECT_EQ(0, ParseOr<INT8>(L"-", true, 99));
    for (PCWSTR text : { L"-128", L"128", L"5-", L"+-5", L"-+5", L"--5" })
    {
        EXPECT_TRUE(Refuses8(text, true)) << text;
    }
    EXPECT_EQ(-32767, ParseOr<INT16>(L"-32767", true, 0));
    EXPECT_EQ(0, ParseOr<INT16>(L"-32768", true, 0));
    EXPECT_EQ(std::numeric_limits<INT64>::max(), ParseOr<INT64>(L"9223372036854775807", true, 0));
    EXPECT_EQ(0, ParseOr<INT64>(L"-9223372036854775808", true, 0));
}

TEST_F(ParserTest, IntegersRefuseSpacesOtherUnitsEmptyTextAndUnknownWidths)
{
    for (PCWSTR text : { L" 5", L"5 ", L"1.5", L"0x10", L"", L"1,234" })
    {
        EXPECT_TRUE(Refuses8(text, true)) << text;
    }
    INT8 value = 0;
    EXPECT_FALSE(Parser::TryParseDecimalInteger(String(), 8, true, nullptr, &value));
    EXPECT_FALSE(Parser::TryParseDecimalInteger(String(L"5", true), 12, true, nullptr, &value));
    EXPECT_EQ(E_INVALIDARG,
              ThrownCode([] { Parser::TryParseDecimalInteger(String(L"5", true), 8, true, nullptr, nullptr); }));
}

TEST_F(ParserTest, TheLocalesThousandsSeparatorIsIgnoredWhereverItStands)
{
    EXPECT_EQ(2147483647, ParseOr<INT32>(L"2,147,483,647", true, 0, &Locale::Invariant));
    EXPECT_EQ(1234, ParseOr<INT32>(L"12,34", true, 0, &Locale::Invariant));
    EXPECT_EQ(-1, ParseOr<INT32>(L",,,", true, -1, &Locale::Invariant));
}

TEST_F(ParserTest, ParseDoubleReadsIntegerAndFractionWithTheSignOfTheText)
{
    EXPECT_DOUBLE_EQ(1.5, ParseInvariant(L"1.5"));
    EXPECT_DOUBLE_EQ(-1.5, ParseInvariant(L"-1.5"));
    EXPECT_DOUBLE_EQ(-0.25, ParseInvariant(L"-0.25"));
    EXPECT_DOUBLE_EQ(-0.5, ParseInvariant(L"-.5"));
    EXPECT_DOUBLE_EQ(0.5, ParseInvariant(L".5"));
    EXPECT_DOUBLE_EQ(42.0, ParseInvariant(L"42"));
    EXPECT_DOUBLE_EQ(1000.5, ParseInvariant(L"1,000.5"));
    EXPECT_DOUBLE_EQ(3.05, ParseInvariant(L"3.05"));
}

TEST_F(ParserTest, ParseDoubleThrowsParseExceptionForTextThatIsNoNumber)
{
    for (PCWSTR text : { L"1.2.3", L"1.-5", L"abc", L"", L"1e5", L"- 1.5" })
    {
        EXPECT_EQ(Tarn::ParseException::Code, ThrownCode([text] { ParseInvariant(text); })) << text;
    }
    EXPECT_EQ(Tarn::ParseException::Code, ThrownCode([] { Parser::ParseDouble(String(), Locale::Invariant); }));
}

TEST_F(ParserTest, ATrailingDecimalSeparatorThrowsArgumentExceptionAlsoThroughIsNumber)
{
    EXPECT_EQ(E_INVALIDARG, ThrownCode([] { ParseInvariant(L"5."); }));
    EXPECT_EQ(E_INVALIDARG, ThrownCode([] { Parser::IsNumber(String(L"5.", true), Locale::Invariant); }));
}

TEST_F(ParserTest, IsNumberAcceptsWhatParseDoubleAccepts)
{
    EXPECT_TRUE(Parser::IsNumber(String(L"1.5", true), Locale::Invariant));
    EXPECT_TRUE(Parser::IsNumber(String(L"-7", true), Locale::Invariant));
    EXPECT_FALSE(Parser::IsNumber(String(L"1.5x", true), Locale::Invariant));
    EXPECT_FALSE(Parser::IsNumber(String(L"x", true), Locale::Invariant));
}

TEST_F(ParserTest, UInt32AcceptsOnlyPlainDigitsWithinRange)
{
    UINT32 value = 0;
    EXPECT_TRUE(Parser::TryParseUInt32(String(L"4294967295", true), &value));
    EXPECT_EQ(4294967295u, value);
    for (PCWSTR text : { L"4294967296", L"99999999999999999999", L"1.5", L"+1", L"-1", L" 1", L"1,000", L"" })
    {
        EXPECT_FALSE(Parser::TryParseUInt32(String(text, true), &value)) << text;
    }
    EXPECT_FALSE(Parser::TryParseUInt32(String(), &value));
    EXPECT_EQ(E_INVALIDARG, ThrownCode([] { Parser::TryParseUInt32(String(L"1", true), nullptr); }));

    EXPECT_EQ(1234u, Parser::ParseUInt32(String(L"01234", true)));
    EXPECT_EQ(Tarn::ParseException::Code, ThrownCode([] { Parser::ParseUInt32(String(L"1.5", true)); }));
}

TEST_F(ParserTest, FailedLocaleQueriesAreTracedThenThrowSystemExceptionWithTheError)
{
    TarnTest::DebugOutputListener listener;
    const std::string message = "GetLocaleInfo() failed. Error code 0x";
    const struct
    {
        std::string function;
        HRESULT code;
    } failures[] = {
        { "Tarn::Parser::ParseDouble",
          ThrownCode([] { Parser::ParseDouble(String(L"1.5", true), UnknownLocale); }) },
        { "Tarn::Parser::TryParseDecimalInteger",
          ThrownCode([] { ParseOr<INT32>(L"15", true, 0, &UnknownLocale); }) },
    };

    for (const auto& failure : failures)
    {
        const auto lines = listener.GetLinesContaining(" " + failure.function + "(): " + message);
        ASSERT_EQ(1u, lines.size()) << failure.function;
        EXPECT_NE(std::string::npos, lines[0].find(" ERROR src\\tarnparser("));
        const DWORD error = std::strtoul(lines[0].c_str() + lines[0].find(message) + message.size(), nullptr, 16);
        EXPECT_NE(0u, error);
        EXPECT_EQ(Tarn::HResultFromWin32(error), failure.code) << failure.function;
    }
}

TEST_F(ParserTest, ParseFailuresWriteNoTraceLine)
{
    TarnTest::DebugOutputListener listener;
    ThrownCode([] { ParseInvariant(L"abc"); });
    ThrownCode([] { Parser::ParseUInt32(String(L"x", true)); });
    EXPECT_TRUE(listener.GetLinesContaining("src\\tarnparser").empty());
}
