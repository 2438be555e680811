#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tarnexception.h"
#include "tarnlocale.h"
#include "tarnstring.h"
#include "testresources.h"
#include "testsupport.h"

using TarnTest::ThrownCode;

namespace
{
    // A string that owns a buffer of its own with the given text.
    Tarn::String Owned(PCWSTR text)
    {
        return Tarn::String(text, false);
    }

    // Names a case after its row's call; GoogleTest takes only letters, digits and underscores.
    struct NamedAfterCall
    {
        template <typename Row>
        std::string operator()(const testing::TestParamInfo<Row>& info) const
        {
            return TarnTest::CaseName(info.param.call);
        }
    };
}

TEST(StringBufferTest, CapacityIsTheLargerOfRequestAndTextLengthPlusOne)
{
    Tarn::StringBuffer* small = new Tarn::StringBuffer(L"abc", 2);
    EXPECT_EQ(4u, small->GetCapacity());
    EXPECT_STREQ(L"abc", small->GetCharacters());
    small->Release();

    Tarn::StringBuffer* large = new Tarn::StringBuffer(L"ab", 10);
    EXPECT_EQ(10u, large->GetCapacity());
    EXPECT_STREQ(L"ab", large->GetCharacters());
    for (UINT32 index = 2; index < 10; ++index)
    {
        EXPECT_EQ(L'\0', large->GetCharacters()[index]) << index;
    }
    large->Release();
}

TEST(StringBufferTest, NullTextGivesZeroFilledArrayOfRequestedCapacity)
{
    Tarn::StringBuffer* buffer = new Tarn::StringBuffer(nullptr, 5);
    EXPECT_EQ(5u, buffer->GetCapacity());
    EXPECT_EQ(std::wstring(5, L'\0'), std::wstring(buffer->GetCharacters(), 5));
    EXPECT_EQ(1, buffer->GetReferenceCount());
    buffer->Release();
}

TEST(StringTest, DefaultStringIsNullNotEmpty)
{
    const Tarn::String text;
    EXPECT_TRUE(text.IsNull());
    EXPECT_FALSE(text.IsEmpty());
    EXPECT_TRUE(text.IsNullOrEmpty());
    EXPECT_EQ(0u, text.GetLength());
    EXPECT_EQ(0u, text.GetCapacity());
    EXPECT_EQ(nullptr, text.GetBuffer());
}

TEST(StringTest, EmptyIsANonNullLiteral)
{
    EXPECT_FALSE(Tarn::String::Empty.IsNull());
    EXPECT_TRUE(Tarn::String::Empty.IsEmpty());
    EXPECT_EQ(0u, Tarn::String::Empty.GetCapacity());
}

TEST(StringTest, LiteralRefersToTheTextWithoutCopying)
{
    static const wchar_t literal[] = L"static text";
    const Tarn::String text(literal, true);
    EXPECT_EQ(literal, text.GetBuffer());
    EXPECT_EQ(0u, text.GetCapacity());
    EXPECT_EQ(11u, text.GetLength());

    const Tarn::String copy(text);
    EXPECT_EQ(literal, copy.GetBuffer());
}

TEST(StringTest, NonLiteralTextIsCopiedIntoAnExactBuffer)
{
    const wchar_t source[] = L"copied";
    const Tarn::String text(source, false);
    EXPECT_NE(source, text.GetBuffer());
    EXPECT_STREQ(L"copied", text.GetBuffer());
    EXPECT_EQ(7u, text.GetCapacity());
}

TEST(StringTest, CopiesShareTheBufferUntilOneOfThemWrites)
{
    Tarn::String original = Owned(L"abc");
    Tarn::String copy(original);
    EXPECT_EQ(original.GetBuffer(), copy.GetBuffer());

    copy.Append(L"d");
    EXPECT_STREQ(L"abc", original.GetBuffer());
    EXPECT_STREQ(L"abcd", copy.GetBuffer());
    EXPECT_NE(original.GetBuffer(), copy.GetBuffer());

    Tarn::String assigned;
    assigned = original;
    assigned.Append(L'!');
    EXPECT_STREQ(L"abc", original.GetBuffer());
    EXPECT_STREQ(L"abc!", assigned.GetBuffer());
}

TEST(StringTest, AppendingToACopyOfALiteralGivesTheCopyABuffer)
{
    static const wchar_t literal[] = L"lit";
    const Tarn::String text(literal, true);
    Tarn::String copy(text);
    copy.Append(L"eral");
    EXPECT_STREQ(L"literal", copy.GetBuffer());
    EXPECT_GE(copy.GetCapacity(), 8u);
    EXPECT_EQ(literal, text.GetBuffer());
    EXPECT_STREQ(L"lit", literal);
}

TEST(StringTest, MoveLeavesTheSourceNull)
{
    Tarn::String source = Owned(L"moved");
    const PWSTR data = source.GetBuffer();
    Tarn::String target(std::move(source));
    EXPECT_TRUE(source.IsNull());
    EXPECT_EQ(data, target.GetBuffer());

    Tarn::String assigned = Owned(L"old");
    assigned = std::move(target);
    EXPECT_TRUE(target.IsNull());
    EXPECT_EQ(data, assigned.GetBuffer());
}

TEST(StringTest, SelfAssignmentKeepsTheText)
{
    Tarn::String text = Owned(L"self");
    Tarn::String& alias = text;
    text = alias;
    EXPECT_STREQ(L"self", text.GetBuffer());
    text = std::move(alias);
    EXPECT_STREQ(L"self", text.GetBuffer());
}

TEST(StringTest, ConcatenatingConstructorJoinsBothTexts)
{
    const Tarn::String joined(Tarn::String(L"left ", true), Owned(L"right"));
    EXPECT_STREQ(L"left right", joined.GetBuffer());
    const Tarn::String withNull{Tarn::String(), Tarn::String()};
    EXPECT_TRUE(withNull.IsNull());
}

TEST(StringTest, AssignCopiesTextOrMakesTheStringNull)
{
    Tarn::String text;
    text = L"assigned";
    EXPECT_STREQ(L"assigned", text.GetBuffer());
    EXPECT_EQ(9u, text.GetCapacity());

    const PWSTR data = text.GetBuffer();
    text.Assign(data);
    EXPECT_EQ(data, text.GetBuffer());

    text.Assign(text.GetBuffer() + 2);
    EXPECT_STREQ(L"signed", text.GetBuffer());

    text.Assign(static_cast<PCWSTR>(nullptr));
    EXPECT_TRUE(text.IsNull());
}

TEST(StringTest, AssignConvertsMultiByteTextInTheGivenCodePage)
{
    Tarn::String text;
    text.Assign("h\xC3\xA9!", CP_UTF8, 4);
    EXPECT_STREQ(L"h\x00E9!", text.GetBuffer());

    text.Assign("caf\xE9", 1252, 4);
    EXPECT_STREQ(L"caf\x00E9", text.GetBuffer());

    text.Assign("ab\0cd", CP_UTF8, 5);
    EXPECT_STREQ(L"ab", text.GetBuffer());
}

TEST(StringTest, ClearMakesABufferStringNullAndLeavesALiteral)
{
    Tarn::String owned = Owned(L"text");
    owned.Clear();
    EXPECT_TRUE(owned.IsNull());

    Tarn::String literal(L"text", true);
    literal.Clear();
    EXPECT_STREQ(L"text", literal.GetBuffer());
}

TEST(StringTest, CloneOwnsAnExactBufferOfItsOwn)
{
    const Tarn::String literal(L"clone me", true);
    const Tarn::String fromLiteral = literal.Clone();
    EXPECT_NE(literal.GetBuffer(), fromLiteral.GetBuffer());
    EXPECT_STREQ(L"clone me", fromLiteral.GetBuffer());
    EXPECT_EQ(9u, fromLiteral.GetCapacity());

    Tarn::String shared = Owned(L"shared");
    shared.Reserve(50);
    const Tarn::String fromShared = shared.Clone();
    EXPECT_NE(shared.GetBuffer(), fromShared.GetBuffer());
    EXPECT_EQ(7u, fromShared.GetCapacity());

    EXPECT_TRUE(Tarn::String().Clone().IsNull());
    EXPECT_TRUE(Tarn::String::Empty.Clone().IsEmpty());
}

TEST(StringTest, ReserveKeepsABufferThatIsLargeEnoughAndUnshared)
{
    Tarn::String text = Owned(L"abc");
    text.Reserve(20);
    const PWSTR data = text.GetBuffer();
    EXPECT_EQ(20u, text.GetCapacity());

    text.Reserve(10);
    EXPECT_EQ(data, text.GetBuffer());
    text.Append(L"defghij");
    EXPECT_EQ(data, text.GetBuffer());
    EXPECT_STREQ(L"abcdefghij", text.GetBuffer());
}

TEST(StringTest, ReserveCopiesASharedBufferBeforeWriting)
{
    Tarn::String text = Owned(L"abc");
    const Tarn::String copy(text);
    text.Reserve(2);
    EXPECT_NE(copy.GetBuffer(), text.GetBuffer());
    EXPECT_STREQ(L"abc", text.GetBuffer());
    EXPECT_EQ(4u, text.GetCapacity());
}

TEST(StringTest, ReserveOnANullStringGivesAnEmptyBuffer)
{
    Tarn::String text;
    text.Reserve(8);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(8u, text.GetCapacity());
}

TEST(StringTest, AppendTakesAtMostTheGivenNumberOfUnits)
{
    Tarn::String text = Owned(L">");
    text.Append(L"abc", 5);
    EXPECT_STREQ(L">abc", text.GetBuffer());
    text.Append(L"defgh", 2);
    EXPECT_STREQ(L">abcde", text.GetBuffer());
    text.Append(L'x', 3);
    text += Tarn::String(L"!", true);
    EXPECT_STREQ(L">abcdexxx!", text.GetBuffer());
}

TEST(StringTest, AppendingNothingLeavesANullStringNull)
{
    Tarn::String text;
    text.Append(L"abc", 0);
    text.Append(Tarn::String::Empty);
    text.Append(Tarn::String());
    text.Append(L'x', 0);
    EXPECT_TRUE(text.IsNull());
}

TEST(StringTest, AppendingAStringToItselfDoublesIt)
{
    // Exact capacity: the append must move to a new buffer while reading from the old one.
    Tarn::String exact = Owned(L"abc");
    exact.Append(exact);
    EXPECT_STREQ(L"abcabc", exact.GetBuffer());

    Tarn::String roomy = Owned(L"xyz");
    roomy.Reserve(100);
    roomy += roomy;
    EXPECT_STREQ(L"xyzxyz", roomy.GetBuffer());

    Tarn::String literal(L"lit", true);
    literal.Append(literal);
    EXPECT_STREQ(L"litlit", literal.GetBuffer());
}

TEST(StringTest, AppendingAPieceOfItsOwnBufferCopiesThePiece)
{
    Tarn::String text = Owned(L"abcdef");
    text.Append(text.GetBuffer() + 2, 3);
    EXPECT_STREQ(L"abcdefcde", text.GetBuffer());
}

TEST(StringTest, GetAtReturnsTheUnit)
{
    const Tarn::String text(L"abc", true);
    EXPECT_EQ(L'a', text.GetAt(0));
    EXPECT_EQ(L'c', text[2]);
}
TEST(StringTest, CompareIgnoresCaseOnlyWhenAsked)
{
    const Tarn::String upper(L"ABCDEF", true);
    const Tarn::String lower(L"abcdef", true);
    EXPECT_EQ(0, upper.Compare(lower, Tarn::String::CompareMode::IgnoreCase));
    EXPECT_NE(0, upper.Compare(lower, Tarn::String::CompareMode::CaseSensitive));
    EXPECT_FALSE(upper == lower);
    EXPECT_TRUE(upper != L"abcdef");
    EXPECT_TRUE(upper == Owned(L"ABCDEF"));
    EXPECT_FALSE(upper != L"ABCDEF");
}

TEST(StringTest, CompareOrdersTexts)
{
    const Tarn::String abc(L"abc", true);
    const Tarn::String abd(L"abd", true);
    EXPECT_EQ(-1, abc.Compare(abd, Tarn::String::CompareMode::CaseSensitive));
    EXPECT_EQ(1, abd.Compare(abc, Tarn::String::CompareMode::CaseSensitive));
    EXPECT_EQ(-1, Tarn::String::Empty.Compare(abc, Tarn::String::CompareMode::CaseSensitive));
}

TEST(StringTest, NullSortsBeforeEverythingAndEqualsNull)
{
    const Tarn::String null;
    EXPECT_EQ(0, null.InternalCompare(nullptr, LOCALE_USER_DEFAULT, 0));
    EXPECT_EQ(-1, null.InternalCompare(L"", LOCALE_USER_DEFAULT, 0));
    EXPECT_EQ(1, Tarn::String::Empty.InternalCompare(nullptr, LOCALE_USER_DEFAULT, 0));
    EXPECT_TRUE(null == Tarn::String());
    EXPECT_FALSE(null != nullptr);
    EXPECT_FALSE(null == Tarn::String::Empty);
}

namespace
{
    struct Search
    {
        const char* call;
        std::function<UINT32()> search;
        UINT32 expected;
    };

    void PrintTo(const Search& search, std::ostream* out) { *out << search.call; }

    std::vector<Search> Searches()
    {
        static const Tarn::String text(L"abcb", true);
        static const Tarn::String b(L"b", true);
        return {
            {"text", [&] { return text.IndexOf(b); }, 1},
            {"text from 2", [&] { return text.IndexOf(b, 2); }, 3},
            {"two units", [&] { return text.IndexOf(Tarn::String(L"cb", true)); }, 2},
            {"text not there", [&] { return text.IndexOf(Tarn::String(L"bb", true)); }, Tarn::String::NotFound},
            {"text longer than the string", [&] { return text.IndexOf(Tarn::String(L"abcbx", true)); },
             Tarn::String::NotFound},
            {"text from the end", [&] { return text.IndexOf(b, 4); }, Tarn::String::NotFound},
            {"text from far beyond", [&] { return text.IndexOf(b, 0xFFFFFFFF); }, Tarn::String::NotFound},
            {"text in the empty string", [&] { return Tarn::String::Empty.IndexOf(b); }, Tarn::String::NotFound},
            {"character", [&] { return text.IndexOf(L'b'); }, 1},
            {"character from 2", [&] { return text.IndexOf(L'b', 2); }, 3},
            {"character not there", [&] { return text.IndexOf(L'z'); }, Tarn::String::NotFound},
            {"character in the null string", [] { return Tarn::String().IndexOf(L'a'); }, Tarn::String::NotFound},
        };
    }
}

using StringSearchTest = testing::TestWithParam<Search>;

TEST_P(StringSearchTest, IndexOfFindsTheFirstOccurrenceFromTheStartPosition)
{
    const Search& search = GetParam();
    EXPECT_EQ(search.expected, search.search());
}
INSTANTIATE_TEST_SUITE_P(, StringSearchTest, testing::ValuesIn(Searches()), NamedAfterCall());

TEST(StringTest, StartsWithLooksAtTheFirstUnit)
{
    EXPECT_TRUE(Tarn::String(L"{0}", true).StartsWith(L'{'));
    EXPECT_FALSE(Tarn::String(L"0}", true).StartsWith(L'{'));
    EXPECT_FALSE(Tarn::String::Empty.StartsWith(L'\0'));
    EXPECT_FALSE(Tarn::String().StartsWith(L'{'));
}

TEST(StringTest, SubstringSharesStorageForTheWholeTextAndCopiesAPieceExactly)
{
    const Tarn::String text = Owned(L"whole");
    EXPECT_EQ(text.GetBuffer(), text.Substring(0, 5).GetBuffer());
    EXPECT_EQ(text.GetBuffer(), text.Left(5).GetBuffer());
    EXPECT_EQ(3u, text.Substring(1, 2).GetCapacity());
}

namespace
{
    struct NewString
    {
        const char* call;
        std::function<Tarn::String()> result;
        PCWSTR expected;  // null for a null string
    };

    void PrintTo(const NewString& call, std::ostream* out) { *out << call.call; }
}

// Each gives a new string and leaves its source as it was; a result with no text left is null. The
// sources are shared by every case.
class StringNewStringTest : public testing::TestWithParam<NewString>
{
public:
    static std::vector<NewString> Calls();

protected:
    inline static const Tarn::String digits{L"0123456789", true};
    inline static const Tarn::String padded{L"  ab  ", true};
    inline static const Tarn::String spaces{L"    ", true};
    inline static const Tarn::String twoAs = Owned(L"aa");
    inline static const Tarn::String ends{L"xyMIDxyENDxy", true};
    inline static const Tarn::String dashed = Owned(L"a-b");
    inline static const Tarn::String serial{L"12-34-56-", true};
    // A soft hyphen collates like nothing at all, and a decomposed letter like its composed form.
    inline static const Tarn::String hyphenated{L"syl\x00ADla\x00AD"
                                                L"ble",
                                                true};
    inline static const Tarn::String decomposed{L"cafe\x0301", true};
};

std::vector<NewString> StringNewStringTest::Calls()
{
    static const auto text = [](PCWSTR characters) { return Tarn::String(characters, true); };
    return {
        {"Substring", [&] { return digits.Substring(3, 4); }, L"3456"},
        {"Left", [&] { return digits.Left(3); }, L"012"},
        {"Right", [&] { return digits.Right(3); }, L"789"},
        {"Trim", [&] { return padded.Trim(L' '); }, L"ab"},
        {"TrimStart", [&] { return padded.TrimStart(L' '); }, L"ab  "},
        {"TrimEnd", [&] { return padded.TrimEnd(L' '); }, L"  ab"},
        {"Trim of another character", [&] { return padded.Trim(L'-'); }, L"  ab  "},
        {"Trim of only that character", [&] { return spaces.Trim(L' '); }, nullptr},
        {"TrimEnd of only that character", [&] { return spaces.TrimEnd(L' '); }, nullptr},
        {"TrimStart of the empty string", [] { return Tarn::String::Empty.TrimStart(L' '); }, nullptr},
        {"Trim of the null string", [] { return Tarn::String().Trim(L' '); }, nullptr},
        {"Replace that never searches what it inserted", [&] { return twoAs.Replace(text(L"a"), text(L"ab")); },
         L"abab"},
        {"Replace at both ends", [&] { return ends.Replace(text(L"xy"), text(L"<>")); }, L"<>MID<>END<>"},
        {"Replace of what is not there", [&] { return ends.Replace(text(L"zz"), text(L"<>")); }, L"xyMIDxyENDxy"},
        {"Replace by an identical text", [&] { return dashed.Replace(text(L"-"), Owned(L"-")); }, L"a-b"},
        {"Replace of a decomposed letter", [&] { return decomposed.Replace(text(L"e\x0301"), text(L"\x00E9")); },
         L"caf\x00E9"},
        {"Remove of a character", [&] { return serial.Remove(L'-'); }, L"123456"},
        {"Remove of a text", [&] { return serial.Remove(text(L"34-")); }, L"12-56-"},
        {"Remove of a soft hyphen", [&] { return hyphenated.Remove(L'\x00AD'); }, L"syllable"},
        {"Remove of every unit", [] { return Tarn::String(L"---", true).Remove(L'-'); }, nullptr},
    };
}

TEST_P(StringNewStringTest, SubstringTrimReplaceAndRemoveGiveANewString)
{
    const NewString& call = GetParam();
    const Tarn::String result = call.result();
    if (call.expected == nullptr)
    {
        EXPECT_TRUE(result.IsNull());
    }
    else
    {
        EXPECT_STREQ(call.expected, result.GetBuffer());
    }
    EXPECT_STREQ(L"aa", twoAs.GetBuffer());
    EXPECT_STREQ(L"a-b", dashed.GetBuffer());
}
INSTANTIATE_TEST_SUITE_P(, StringNewStringTest, testing::ValuesIn(StringNewStringTest::Calls()), NamedAfterCall());

namespace
{
    struct RefusedCall
    {
        const char* call;
        std::function<void(Tarn::String&)> act;
    };

    void PrintTo(const RefusedCall& call, std::ostream* out) { *out << call.call; }

    std::vector<RefusedCall> RefusedCalls()
    {
        static BYTE bytes[4] = {};
        return {
            {"Append of a null pointer", [](Tarn::String& text) { text.Append(static_cast<PCWSTR>(nullptr)); }},
            {"GetAt at the length", [](Tarn::String& text) { text.GetAt(3); }},
            {"GetAt of the null string", [](Tarn::String&) { Tarn::String().GetAt(0); }},
            {"IndexOf of the empty text", [](Tarn::String& text) { text.IndexOf(Tarn::String::Empty); }},
            {"IndexOf of the null text", [](Tarn::String& text) { text.IndexOf(Tarn::String()); }},
            {"IndexOf of a character from the length", [](Tarn::String& text) { text.IndexOf(L'b', 3); }},
            {"Substring of nothing", [](Tarn::String& text) { text.Substring(0, 0); }},
            {"Substring from the length", [](Tarn::String& text) { text.Substring(3, 1); }},
            {"Substring past the end", [](Tarn::String& text) { text.Substring(2, 2); }},
            {"Substring from far beyond", [](Tarn::String& text) { text.Substring(0xFFFFFFFF, 2); }},
            {"Left of more than the length", [](Tarn::String& text) { text.Left(4); }},
            {"Right of more than the length", [](Tarn::String& text) { text.Right(4); }},
            {"TrimStart of NUL", [](Tarn::String& text) { text.TrimStart(L'\0'); }},
            {"TrimEnd of NUL", [](Tarn::String& text) { text.TrimEnd(L'\0'); }},
            {"Trim of NUL", [](Tarn::String& text) { text.Trim(L'\0'); }},
            {"Replace of the empty text", [](Tarn::String& text) { text.Replace(Tarn::String::Empty, Owned(L"x")); }},
            {"Remove of the null text", [](Tarn::String& text) { text.Remove(Tarn::String()); }},
            {"Remove of NUL", [](Tarn::String& text) { text.Remove(L'\0'); }},
            {"Serialize into no buffer", [](Tarn::String& text) { text.Serialize(nullptr, 10); }},
            {"Serialize into 0 bytes", [](Tarn::String& text) { text.Serialize(bytes, 0); }},
            {"Deserialize of no bytes", [](Tarn::String& text) { text.Deserialize(nullptr, 1); }},
            {"Deserialize of 0 bytes", [](Tarn::String& text) { text.Deserialize(bytes, 0); }},
            {"Load without a module", [](Tarn::String& text) { text.Load(IDS_TEST_HELLO, nullptr); }},
            {"construction from a resource without a module",
             [](Tarn::String&) { Tarn::String(IDS_TEST_HELLO, nullptr); }},
        };
    }
}

// A call given what it cannot work with refuses it before it changes anything.
using StringArgumentTest = testing::TestWithParam<RefusedCall>;

TEST_P(StringArgumentTest, ArgumentsOutsideTheTextOrMissingThrowArgumentExceptionAndChangeNothing)
{
    const RefusedCall& call = GetParam();
    Tarn::String text = Owned(L"abc");
    EXPECT_THROW(call.act(text), Tarn::ArgumentException);
    EXPECT_STREQ(L"abc", text.GetBuffer());
}
INSTANTIATE_TEST_SUITE_P(, StringArgumentTest, testing::ValuesIn(RefusedCalls()), NamedAfterCall());

namespace
{
    struct FailedCall
    {
        const char* call;
        std::function<void(Tarn::String&)> act;
        HRESULT code;
        const char* function;  // with the message, the ERROR line; none where the failure is not traced
        const char* message;
    };

    void PrintTo(const FailedCall& call, std::ostream* out) { *out << call.call; }

    std::vector<FailedCall> FailedCalls()
    {
        static BYTE bytes[4] = {};
        return {
            {"Assign from an unknown code page", [](Tarn::String& text) { text.Assign("ab", 12345, 2); },
             Tarn::HResultFromWin32(ERROR_INVALID_PARAMETER), "Tarn::String::Assign",
             "MultiByteToWideChar() failed, GetLastError() returns 0x57"},
            {"comparison with unknown flags",
             [](Tarn::String& text) { text.InternalCompare(L"b", LOCALE_USER_DEFAULT, 0x12345678); },
             Tarn::HResultFromWin32(ERROR_INVALID_FLAGS), "Tarn::String::InternalCompare",
             "CompareString() failed, GetLastError() returns 0x3EC"},
            {"serialized size of an unpaired surrogate",
             [](Tarn::String&) { Tarn::String(L"a\xD800z", true).GetSerializedSize(); },
             Tarn::HResultFromWin32(ERROR_NO_UNICODE_TRANSLATION), "Tarn::String::GetRequiredBufferSize",
             "WideCharToMultiByte() failed. Error code 0x00000459"},
            {"Serialize into too small a buffer", [](Tarn::String& text) { text.Serialize(bytes, sizeof(bytes)); },
             Tarn::HResultFromWin32(ERROR_INSUFFICIENT_BUFFER), nullptr, nullptr},
            {"Load from a missing block", [](Tarn::String& text) { text.Load(40000, TarnTest::GetTestInstance()); },
             Tarn::HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND), "Tarn::String::Load",
             "LoadString() failed, error code 0x716"},
            {"FormatObject with a format",
             [](Tarn::String& text) { text.FormatObject(Tarn::String(L"X8", true), Tarn::Locale::Invariant); },
             Tarn::FormatException::Code, "Tarn::String::FormatObject", "Unhandled format string \"X8\""},
        };
    }
}

// Failures of the system calls behind a string: one ERROR line where they arise, the error thrown,
// and the string's text as it was.
using StringFailureTest = testing::TestWithParam<FailedCall>;

TEST_P(StringFailureTest, FailedSystemCallsAreTracedOnceAndKeepTheText)
{
    const FailedCall& call = GetParam();
    Tarn::String text = Owned(L"before");
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(call.code, ThrownCode([&] { call.act(text); }));
    if (call.function != nullptr)
    {
        EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarnstring", call.function, call.message));
    }
    if (HRESULT_FACILITY(call.code) == FACILITY_WIN32)
    {
        EXPECT_THROW(call.act(text), Tarn::SystemException);
    }
    EXPECT_STREQ(L"before", text.GetBuffer());
}
INSTANTIATE_TEST_SUITE_P(, StringFailureTest, testing::ValuesIn(FailedCalls()), NamedAfterCall());

TEST(StringTest, FormatObjectGivesTheTextForAnEmptyFormat)
{
    const Tarn::String text(L"value", true);
    EXPECT_STREQ(L"value", text.FormatObject(Tarn::String(), Tarn::Locale::Invariant).GetBuffer());
    EXPECT_STREQ(L"value", text.FormatObject(Tarn::String::Empty, Tarn::Locale::Invariant).GetBuffer());

    const Tarn::String fromNull = Tarn::String().FormatObject(Tarn::String::Empty, Tarn::Locale::Invariant);
    EXPECT_TRUE(fromNull.IsEmpty());
}

namespace
{
    struct Size
    {
        const char* call;
        std::function<UINT32()> size;
        UINT32 expected;
    };

    void PrintTo(const Size& size, std::ostream* out) { *out << size.call; }

    std::vector<Size> Sizes()
    {
        return {
            {"length of no wide text", [] { return Tarn::String::GetStringLength(static_cast<PCWSTR>(nullptr)); },
             0},
            {"length of no narrow text", [] { return Tarn::String::GetStringLength(static_cast<const char*>(nullptr)); },
             0},
            {"length of a wide text", [] { return Tarn::String::GetStringLength(L"abc"); }, 3},
            {"length of a narrow text", [] { return Tarn::String::GetStringLength("abcd"); }, 4},
            {"buffer size of no text", [] { return Tarn::String::GetRequiredBufferSize(nullptr, CP_UTF8); }, 0},
            {"buffer size in UTF-8", [] { return Tarn::String::GetRequiredBufferSize(L"A\x00E9", CP_UTF8); }, 4},
            {"buffer size in code page 1252", [] { return Tarn::String::GetRequiredBufferSize(L"A\x00E9", 1252); }, 3},
            {"serialized size", [] { return Tarn::String(L"A\x00E9", true).GetSerializedSize(); }, 4},
            {"serialized size of the null string", [] { return Tarn::String().GetSerializedSize(); }, 1},
            {"serialized size of the empty string", [] { return Tarn::String::Empty.GetSerializedSize(); }, 1},
        };
    }
}

// Lengths count units before the terminator; buffer and serialized sizes count bytes with it.
using StringSizeTest = testing::TestWithParam<Size>;

TEST_P(StringSizeTest, LengthsAndSizesOfTexts)
{
    const Size& size = GetParam();
    EXPECT_EQ(size.expected, size.size());
}
INSTANTIATE_TEST_SUITE_P(, StringSizeTest, testing::ValuesIn(Sizes()), NamedAfterCall());

TEST(StringTest, SerializeWritesUtf8WithTerminator)
{
    BYTE bytes[8] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(4u, Tarn::String(L"A\x00E9", true).Serialize(bytes, sizeof(bytes)));
    EXPECT_EQ((std::vector<BYTE>{0x41, 0xC3, 0xA9, 0x00, 0xCC}), std::vector<BYTE>(bytes, bytes + 5));

    EXPECT_EQ(1u, Tarn::String().Serialize(bytes, 1));
    EXPECT_EQ(0x00, bytes[0]);
}

TEST(StringTest, SerializeReplacesAnUnpairedSurrogate)
{
    BYTE bytes[8] = {};
    EXPECT_EQ(6u, Tarn::String(L"a\xD800z", true).Serialize(bytes, sizeof(bytes)));
    EXPECT_EQ((std::vector<BYTE>{'a', 0xEF, 0xBF, 0xBD, 'z', 0x00}), std::vector<BYTE>(bytes, bytes + 6));
}

TEST(StringTest, DeserializeReadsUpToTheFirstNul)
{
    const BYTE bytes[] = {0x61, 0x62, 0x00, 0x63};
    Tarn::String text;
    EXPECT_EQ(3u, text.Deserialize(bytes, sizeof(bytes)));
    EXPECT_STREQ(L"ab", text.GetBuffer());

    const BYTE unterminated[] = {0x41, 0xC3, 0xA9};
    EXPECT_EQ(3u, text.Deserialize(unterminated, sizeof(unterminated)));
    EXPECT_STREQ(L"A\x00E9", text.GetBuffer());

    const BYTE onlyNul[] = {0x00};
    EXPECT_EQ(1u, text.Deserialize(onlyNul, sizeof(onlyNul)));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(StringTest, SerializationRoundTripsNonAsciiText)
{
    const Tarn::String original(L"Gr\x00FC\x00DF \x4E16\x754C \xD83D\xDE00", true);
    std::vector<BYTE> bytes(original.GetSerializedSize());
    ASSERT_EQ(bytes.size(), original.Serialize(bytes.data(), static_cast<UINT32>(bytes.size())));
    Tarn::String restored;
    EXPECT_EQ(bytes.size(), restored.Deserialize(bytes.data(), static_cast<UINT32>(bytes.size())));
    EXPECT_STREQ(original.GetBuffer(), restored.GetBuffer());
}

TEST(StringTest, LoadReadsAStringThatFitsInOneCall)
{
    const Tarn::String hello(IDS_TEST_HELLO, TarnTest::GetTestInstance());
    EXPECT_STREQ(L"Hello", hello.GetBuffer());
    EXPECT_EQ(64u, hello.GetCapacity());
}

TEST(StringTest, LoadRetriesWithADoubledBufferWhenTheTextFillsIt)
{
    Tarn::String text;
    text.Load(IDS_TEST_63_CHARACTERS, TarnTest::GetTestInstance());
    EXPECT_STREQ(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.", text.GetBuffer());
    EXPECT_EQ(63u, text.GetLength());
    EXPECT_EQ(128u, text.GetCapacity());
}

TEST(StringTest, LoadOfAMissingStringInAnExistingBlockGivesEmpty)
{
    Tarn::String text = Owned(L"old");
    // Left over from an unrelated failed call; it must not be taken for the lookup's error.
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    text.Load(IDS_TEST_HELLO + 1, TarnTest::GetTestInstance());
    EXPECT_TRUE(text.IsEmpty());
}

TEST(StringTest, StringWorkloadDoesNotGrowTheHeap)
{
    const auto workload = [] {
        Tarn::String text(L"  alpha-beta-gamma  ", true);
        Tarn::String copy(text);
        copy.Append(copy);
        copy.Append(L'x', 20);
        copy += Tarn::String(IDS_TEST_63_CHARACTERS, TarnTest::GetTestInstance());
        const Tarn::String trimmed = copy.Trim(L' ').Replace(Tarn::String(L"-", true), Tarn::String(L"--", true));
        const Tarn::String piece = trimmed.Substring(2, 10).Clone();
        BYTE bytes[256];
        const UINT32 size = trimmed.Serialize(bytes, sizeof(bytes));
        Tarn::String restored;
        restored.Deserialize(bytes, size);
        restored.Compare(piece, Tarn::String::CompareMode::IgnoreCase);
        ThrownCode([&] { restored.Substring(0, 0); });
        ThrownCode([&] { restored.Assign("ab", 12345, 2); });
        ThrownCode([&] { restored.Load(40000, TarnTest::GetTestInstance()); });
    };
    EXPECT_EQ(0u, TarnTest::MeasureHeapGrowth(workload, 500));
}
