#include <gtest/gtest.h>

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

    bool HasLine(TarnTest::DebugOutputListener& listener, const std::string& level, const std::string& function,
                 const std::string& message)
    {
        const std::string expected = level + " src\\tarnstring(";
        const std::string ending = ") " + function + "(): " + message + "\r\n";
        for (const std::string& line : listener.GetLinesContaining(ending))
        {
            if (line.find(expected) != std::string::npos && line.size() >= ending.size() &&
                line.compare(line.size() - ending.size(), ending.size(), ending) == 0)
            {
                return true;
            }
        }
        return false;
    }
}

class StringBufferTest : public testing::Test
{
};

TEST_F(StringBufferTest, CapacityIsTheLargerOfRequestAndTextLengthPlusOne)
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

TEST_F(StringBufferTest, NullTextGivesZeroFilledArrayOfRequestedCapacity)
{
    Tarn::StringBuffer* buffer = new Tarn::StringBuffer(nullptr, 5);
    EXPECT_EQ(5u, buffer->GetCapacity());
    EXPECT_EQ(std::wstring(5, L'\0'), std::wstring(buffer->GetCharacters(), 5));
    EXPECT_EQ(1, buffer->GetReferenceCount());
    buffer->Release();
}

class StringTest : public testing::Test
{
};

TEST_F(StringTest, DefaultStringIsNullNotEmpty)
{
    const Tarn::String text;
    EXPECT_TRUE(text.IsNull());
    EXPECT_FALSE(text.IsEmpty());
    EXPECT_TRUE(text.IsNullOrEmpty());
    EXPECT_EQ(0u, text.GetLength());
    EXPECT_EQ(0u, text.GetCapacity());
    EXPECT_EQ(nullptr, text.GetBuffer());
}

TEST_F(StringTest, EmptyIsANonNullLiteral)
{
    EXPECT_FALSE(Tarn::String::Empty.IsNull());
    EXPECT_TRUE(Tarn::String::Empty.IsEmpty());
    EXPECT_EQ(0u, Tarn::String::Empty.GetCapacity());
}

TEST_F(StringTest, LiteralRefersToTheTextWithoutCopying)
{
    static const wchar_t literal[] = L"static text";
    const Tarn::String text(literal, true);
    EXPECT_EQ(literal, text.GetBuffer());
    EXPECT_EQ(0u, text.GetCapacity());
    EXPECT_EQ(11u, text.GetLength());

    const Tarn::String copy(text);
    EXPECT_EQ(literal, copy.GetBuffer());
}

TEST_F(StringTest, NonLiteralTextIsCopiedIntoAnExactBuffer)
{
    const wchar_t source[] = L"copied";
    const Tarn::String text(source, false);
    EXPECT_NE(source, text.GetBuffer());
    EXPECT_STREQ(L"copied", text.GetBuffer());
    EXPECT_EQ(7u, text.GetCapacity());
}

TEST_F(StringTest, CopiesShareTheBufferUntilOneOfThemWrites)
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

TEST_F(StringTest, AppendingToACopyOfALiteralGivesTheCopyABuffer)
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

TEST_F(StringTest, MoveLeavesTheSourceNull)
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

TEST_F(StringTest, SelfAssignmentKeepsTheText)
{
    Tarn::String text = Owned(L"self");
    Tarn::String& alias = text;
    text = alias;
    EXPECT_STREQ(L"self", text.GetBuffer());
    text = std::move(alias);
    EXPECT_STREQ(L"self", text.GetBuffer());
}

TEST_F(StringTest, ConcatenatingConstructorJoinsBothTexts)
{
    const Tarn::String joined(Tarn::String(L"left ", true), Owned(L"right"));
    EXPECT_STREQ(L"left right", joined.GetBuffer());
    const Tarn::String withNull{Tarn::String(), Tarn::String()};
    EXPECT_TRUE(withNull.IsNull());
}

TEST_F(StringTest, AssignCopiesTextOrMakesTheStringNull)
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

TEST_F(StringTest, AssignConvertsMultiByteTextInTheGivenCodePage)
{
    Tarn::String text;
    text.Assign("h\xC3\xA9!", CP_UTF8, 4);
    EXPECT_STREQ(L"h\x00E9!", text.GetBuffer());

    text.Assign("caf\xE9", 1252, 4);
    EXPECT_STREQ(L"caf\x00E9", text.GetBuffer());

    text.Assign("ab\0cd", CP_UTF8, 5);
    EXPECT_STREQ(L"ab", text.GetBuffer());
}

TEST_F(StringTest, FailedMultiByteConversionIsTracedAndKeepsTheOldText)
{
    Tarn::String text = Owned(L"before");
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::HResultFromWin32(ERROR_INVALID_PARAMETER), ThrownCode([&] { text.Assign("ab", 12345, 2); }));
    EXPECT_THROW(text.Assign("ab", 12345, 2), Tarn::SystemException);
    EXPECT_STREQ(L"before", text.GetBuffer());
    EXPECT_TRUE(HasLine(listener, "ERROR", "Tarn::String::Assign", "MultiByteToWideChar() failed, GetLastError() returns 0x57"));
}

TEST_F(StringTest, ClearMakesABufferStringNullAndLeavesALiteral)
{
    Tarn::String owned = Owned(L"text");
    owned.Clear();
    EXPECT_TRUE(owned.IsNull());

    Tarn::String literal(L"text", true);
    literal.Clear();
    EXPECT_STREQ(L"text", literal.GetBuffer());
}

TEST_F(StringTest, CloneOwnsAnExactBufferOfItsOwn)
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

TEST_F(StringTest, ReserveKeepsABufferThatIsLargeEnoughAndUnshared)
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

TEST_F(StringTest, ReserveCopiesASharedBufferBeforeWriting)
{
    Tarn::String text = Owned(L"abc");
    const Tarn::String copy(text);
    text.Reserve(2);
    EXPECT_NE(copy.GetBuffer(), text.GetBuffer());
    EXPECT_STREQ(L"abc", text.GetBuffer());
    EXPECT_EQ(4u, text.GetCapacity());
}

TEST_F(StringTest, ReserveOnANullStringGivesAnEmptyBuffer)
{
    Tarn::String text;
    text.Reserve(8);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(8u, text.GetCapacity());
}

TEST_F(StringTest, AppendTakesAtMostTheGivenNumberOfUnits)
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

TEST_F(StringTest, AppendingNothingLeavesANullStringNull)
{
    Tarn::String text;
    text.Append(L"abc", 0);
    text.Append(Tarn::String::Empty);
    text.Append(Tarn::String());
    text.Append(L'x', 0);
    EXPECT_TRUE(text.IsNull());
}

TEST_F(StringTest, AppendingANullPointerThrowsArgumentException)
{
    Tarn::String text = Owned(L"kept");
    EXPECT_THROW(text.Append(static_cast<PCWSTR>(nullptr)), Tarn::ArgumentException);
    EXPECT_STREQ(L"kept", text.GetBuffer());
}

TEST_F(StringTest, AppendingAStringToItselfDoublesIt)
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

TEST_F(StringTest, AppendingAPieceOfItsOwnBufferCopiesThePiece)
{
    Tarn::String text = Owned(L"abcdef");
    text.Append(text.GetBuffer() + 2, 3);
    EXPECT_STREQ(L"abcdefcde", text.GetBuffer());
}

TEST_F(StringTest, GetAtReturnsTheUnitAndRejectsPositionsBeyondTheText)
{
    const Tarn::String text(L"abc", true);
    EXPECT_EQ(L'a', text.GetAt(0));
    EXPECT_EQ(L'c', text[2]);
    EXPECT_THROW(text.GetAt(3), Tarn::ArgumentException);
    EXPECT_THROW(Tarn::String().GetAt(0), Tarn::ArgumentException);
}

TEST_F(StringTest, CompareIgnoresCaseOnlyWhenAsked)
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

TEST_F(StringTest, CompareOrdersTexts)
{
    const Tarn::String abc(L"abc", true);
    const Tarn::String abd(L"abd", true);
    EXPECT_EQ(-1, abc.Compare(abd, Tarn::String::CompareMode::CaseSensitive));
    EXPECT_EQ(1, abd.Compare(abc, Tarn::String::CompareMode::CaseSensitive));
    EXPECT_EQ(-1, Tarn::String::Empty.Compare(abc, Tarn::String::CompareMode::CaseSensitive));
}

TEST_F(StringTest, NullSortsBeforeEverythingAndEqualsNull)
{
    const Tarn::String null;
    EXPECT_EQ(0, null.InternalCompare(nullptr, LOCALE_USER_DEFAULT, 0));
    EXPECT_EQ(-1, null.InternalCompare(L"", LOCALE_USER_DEFAULT, 0));
    EXPECT_EQ(1, Tarn::String::Empty.InternalCompare(nullptr, LOCALE_USER_DEFAULT, 0));
    EXPECT_TRUE(null == Tarn::String());
    EXPECT_FALSE(null != nullptr);
    EXPECT_FALSE(null == Tarn::String::Empty);
}

TEST_F(StringTest, FailedComparisonIsTracedAndThrowsSystemException)
{
    const Tarn::String text(L"a", true);
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::HResultFromWin32(ERROR_INVALID_FLAGS),
              ThrownCode([&] { text.InternalCompare(L"b", LOCALE_USER_DEFAULT, 0x12345678); }));
    EXPECT_TRUE(HasLine(listener, "ERROR", "Tarn::String::InternalCompare",
                        "CompareString() failed, GetLastError() returns 0x3EC"));
}

TEST_F(StringTest, IndexOfTextFindsTheFirstOccurrenceFromTheStart)
{
    const Tarn::String text(L"abcb", true);
    const Tarn::String b(L"b", true);
    EXPECT_EQ(1u, text.IndexOf(b));
    EXPECT_EQ(3u, text.IndexOf(b, 2));
    EXPECT_EQ(2u, text.IndexOf(Tarn::String(L"cb", true)));
    EXPECT_EQ(Tarn::String::NotFound, text.IndexOf(Tarn::String(L"bb", true)));
    EXPECT_EQ(Tarn::String::NotFound, text.IndexOf(Tarn::String(L"abcbx", true)));
    EXPECT_EQ(Tarn::String::NotFound, text.IndexOf(b, 4));
    EXPECT_EQ(Tarn::String::NotFound, text.IndexOf(b, 0xFFFFFFFF));
    EXPECT_EQ(Tarn::String::NotFound, Tarn::String::Empty.IndexOf(b));
}

TEST_F(StringTest, IndexOfAnEmptyTextThrowsArgumentException)
{
    const Tarn::String text(L"abc", true);
    EXPECT_THROW(text.IndexOf(Tarn::String::Empty), Tarn::ArgumentException);
    EXPECT_THROW(text.IndexOf(Tarn::String()), Tarn::ArgumentException);
}

TEST_F(StringTest, IndexOfCharacterSearchesFromAPositionInsideTheText)
{
    const Tarn::String text(L"abcb", true);
    EXPECT_EQ(1u, text.IndexOf(L'b'));
    EXPECT_EQ(3u, text.IndexOf(L'b', 2));
    EXPECT_EQ(Tarn::String::NotFound, text.IndexOf(L'z'));
    EXPECT_EQ(Tarn::String::NotFound, Tarn::String().IndexOf(L'a'));
    EXPECT_THROW(text.IndexOf(L'b', 4), Tarn::ArgumentException);
}

TEST_F(StringTest, StartsWithLooksAtTheFirstUnit)
{
    EXPECT_TRUE(Tarn::String(L"{0}", true).StartsWith(L'{'));
    EXPECT_FALSE(Tarn::String(L"0}", true).StartsWith(L'{'));
    EXPECT_FALSE(Tarn::String::Empty.StartsWith(L'\0'));
    EXPECT_FALSE(Tarn::String().StartsWith(L'{'));
}

TEST_F(StringTest, SubstringOfTheWholeTextSharesStorage)
{
    const Tarn::String text = Owned(L"whole");
    EXPECT_EQ(text.GetBuffer(), text.Substring(0, 5).GetBuffer());
    EXPECT_EQ(text.GetBuffer(), text.Left(5).GetBuffer());
}

TEST_F(StringTest, SubstringLeftAndRightCopyTheRequestedUnits)
{
    const Tarn::String text(L"0123456789", true);
    const Tarn::String middle = text.Substring(3, 4);
    EXPECT_STREQ(L"3456", middle.GetBuffer());
    EXPECT_EQ(5u, middle.GetCapacity());
    EXPECT_STREQ(L"012", text.Left(3).GetBuffer());
    EXPECT_STREQ(L"789", text.Right(3).GetBuffer());
}

TEST_F(StringTest, SubstringBeyondTheTextOrOfNothingThrowsArgumentException)
{
    const Tarn::String text(L"abc", true);
    EXPECT_THROW(text.Substring(0, 0), Tarn::ArgumentException);
    EXPECT_THROW(text.Substring(3, 1), Tarn::ArgumentException);
    EXPECT_THROW(text.Substring(2, 2), Tarn::ArgumentException);
    EXPECT_THROW(text.Substring(0xFFFFFFFF, 2), Tarn::ArgumentException);
    EXPECT_THROW(text.Left(4), Tarn::ArgumentException);
    EXPECT_THROW(text.Right(4), Tarn::ArgumentException);
}

TEST_F(StringTest, TrimRemovesRunsOfTheCharacterAtEitherEnd)
{
    const Tarn::String text(L"  ab  ", true);
    EXPECT_STREQ(L"ab", text.Trim(L' ').GetBuffer());
    EXPECT_STREQ(L"ab  ", text.TrimStart(L' ').GetBuffer());
    EXPECT_STREQ(L"  ab", text.TrimEnd(L' ').GetBuffer());
    EXPECT_STREQ(L"  ab  ", text.Trim(L'-').GetBuffer());
}

TEST_F(StringTest, TrimOfNothingButTheCharacterGivesNull)
{
    EXPECT_TRUE(Tarn::String(L"    ", true).Trim(L' ').IsNull());
    EXPECT_TRUE(Tarn::String(L"    ", true).TrimEnd(L' ').IsNull());
    EXPECT_TRUE(Tarn::String::Empty.TrimStart(L' ').IsNull());
    EXPECT_TRUE(Tarn::String().Trim(L' ').IsNull());
}

TEST_F(StringTest, TrimWithNulThrowsArgumentException)
{
    const Tarn::String text(L"abc", true);
    EXPECT_THROW(text.TrimStart(L'\0'), Tarn::ArgumentException);
    EXPECT_THROW(text.TrimEnd(L'\0'), Tarn::ArgumentException);
    EXPECT_THROW(text.Trim(L'\0'), Tarn::ArgumentException);
}

TEST_F(StringTest, ReplaceNeverSearchesAnInsertedReplacement)
{
    const Tarn::String text(L"aa", true);
    const Tarn::String result = text.Replace(Tarn::String(L"a", true), Tarn::String(L"ab", true));
    EXPECT_STREQ(L"abab", result.GetBuffer());
    EXPECT_STREQ(L"aa", text.GetBuffer());
}

TEST_F(StringTest, ReplaceHandlesMatchesAtBothEndsAndLongerTexts)
{
    const Tarn::String text(L"xyMIDxyENDxy", true);
    EXPECT_STREQ(L"<>MID<>END<>", text.Replace(Tarn::String(L"xy", true), Tarn::String(L"<>", true)).GetBuffer());
    EXPECT_STREQ(L"xyMIDxyENDxy", text.Replace(Tarn::String(L"zz", true), Tarn::String(L"<>", true)).GetBuffer());
}

TEST_F(StringTest, ReplaceByAnIdenticalTextGivesAnEqualCopy)
{
    const Tarn::String text = Owned(L"a-b");
    const Tarn::String result = text.Replace(Tarn::String(L"-", true), Owned(L"-"));
    EXPECT_TRUE(result == text);
}

TEST_F(StringTest, ReplaceDistinguishesTextsThatOnlyCollateAlike)
{
    // A soft hyphen collates like nothing at all, and a decomposed letter like its composed form.
    const Tarn::String hyphenated(L"syl\x00ADla\x00AD"
                                  L"ble",
                                  true);
    EXPECT_STREQ(L"syllable", hyphenated.Remove(L'\x00AD').GetBuffer());

    const Tarn::String decomposed(L"cafe\x0301", true);
    EXPECT_STREQ(L"caf\x00E9", decomposed.Replace(Tarn::String(L"e\x0301", true), Tarn::String(L"\x00E9", true)).GetBuffer());
}

TEST_F(StringTest, RemoveDeletesEveryOccurrence)
{
    const Tarn::String serial(L"12-34-56-", true);
    EXPECT_STREQ(L"123456", serial.Remove(L'-').GetBuffer());
    EXPECT_STREQ(L"12-56-", serial.Remove(Tarn::String(L"34-", true)).GetBuffer());
    EXPECT_TRUE(Tarn::String(L"---", true).Remove(L'-').IsNull());
}

TEST_F(StringTest, ReplacingAnEmptyTextThrowsArgumentException)
{
    const Tarn::String text(L"abc", true);
    EXPECT_THROW(text.Replace(Tarn::String::Empty, Tarn::String(L"x", true)), Tarn::ArgumentException);
    EXPECT_THROW(text.Remove(Tarn::String()), Tarn::ArgumentException);
    EXPECT_THROW(text.Remove(L'\0'), Tarn::ArgumentException);
}

TEST_F(StringTest, FormatObjectAcceptsOnlyAnEmptyFormat)
{
    const Tarn::String text(L"value", true);
    EXPECT_STREQ(L"value", text.FormatObject(Tarn::String(), Tarn::Locale::Invariant).GetBuffer());
    EXPECT_STREQ(L"value", text.FormatObject(Tarn::String::Empty, Tarn::Locale::Invariant).GetBuffer());

    const Tarn::String fromNull = Tarn::String().FormatObject(Tarn::String::Empty, Tarn::Locale::Invariant);
    EXPECT_TRUE(fromNull.IsEmpty());

    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::FormatException::Code,
              ThrownCode([&] { text.FormatObject(Tarn::String(L"X8", true), Tarn::Locale::Invariant); }));
    EXPECT_TRUE(HasLine(listener, "ERROR", "Tarn::String::FormatObject", "Unhandled format string \"X8\""));
}

TEST_F(StringTest, GetStringLengthCountsUnitsBeforeTheTerminator)
{
    EXPECT_EQ(0u, Tarn::String::GetStringLength(static_cast<PCWSTR>(nullptr)));
    EXPECT_EQ(0u, Tarn::String::GetStringLength(static_cast<const char*>(nullptr)));
    EXPECT_EQ(3u, Tarn::String::GetStringLength(L"abc"));
    EXPECT_EQ(4u, Tarn::String::GetStringLength("abcd"));
}

TEST_F(StringTest, RequiredBufferSizeIncludesTheTerminator)
{
    EXPECT_EQ(0u, Tarn::String::GetRequiredBufferSize(nullptr, CP_UTF8));
    EXPECT_EQ(4u, Tarn::String::GetRequiredBufferSize(L"A\x00E9", CP_UTF8));
    EXPECT_EQ(3u, Tarn::String::GetRequiredBufferSize(L"A\x00E9", 1252));
}

TEST_F(StringTest, SerializedSizeCountsUtf8BytesAndTheTerminator)
{
    EXPECT_EQ(4u, Tarn::String(L"A\x00E9", true).GetSerializedSize());
    EXPECT_EQ(1u, Tarn::String().GetSerializedSize());
    EXPECT_EQ(1u, Tarn::String::Empty.GetSerializedSize());
}

TEST_F(StringTest, SerializedSizeRejectsAnUnpairedSurrogate)
{
    const Tarn::String broken(L"a\xD800z", true);
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::HResultFromWin32(ERROR_NO_UNICODE_TRANSLATION), ThrownCode([&] { broken.GetSerializedSize(); }));
    EXPECT_TRUE(HasLine(listener, "ERROR", "Tarn::String::GetRequiredBufferSize",
                        "WideCharToMultiByte() failed. Error code 0x00000459"));
}

TEST_F(StringTest, SerializeWritesUtf8WithTerminator)
{
    BYTE bytes[8] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    EXPECT_EQ(4u, Tarn::String(L"A\x00E9", true).Serialize(bytes, sizeof(bytes)));
    EXPECT_EQ((std::vector<BYTE>{0x41, 0xC3, 0xA9, 0x00, 0xCC}), std::vector<BYTE>(bytes, bytes + 5));

    EXPECT_EQ(1u, Tarn::String().Serialize(bytes, 1));
    EXPECT_EQ(0x00, bytes[0]);
}

TEST_F(StringTest, SerializeReplacesAnUnpairedSurrogate)
{
    BYTE bytes[8] = {};
    EXPECT_EQ(6u, Tarn::String(L"a\xD800z", true).Serialize(bytes, sizeof(bytes)));
    EXPECT_EQ((std::vector<BYTE>{'a', 0xEF, 0xBF, 0xBD, 'z', 0x00}), std::vector<BYTE>(bytes, bytes + 6));
}

TEST_F(StringTest, SerializeFailsForATooSmallOrMissingBuffer)
{
    const Tarn::String text(L"abcdef", true);
    BYTE bytes[4] = {};
    EXPECT_EQ(Tarn::HResultFromWin32(ERROR_INSUFFICIENT_BUFFER), ThrownCode([&] { text.Serialize(bytes, sizeof(bytes)); }));
    EXPECT_THROW(text.Serialize(bytes, sizeof(bytes)), Tarn::SystemException);
    EXPECT_THROW(text.Serialize(nullptr, 10), Tarn::ArgumentException);
    EXPECT_THROW(text.Serialize(bytes, 0), Tarn::ArgumentException);
}

TEST_F(StringTest, DeserializeReadsUpToTheFirstNul)
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

TEST_F(StringTest, SerializationRoundTripsNonAsciiText)
{
    const Tarn::String original(L"Gr\x00FC\x00DF \x4E16\x754C \xD83D\xDE00", true);
    std::vector<BYTE> bytes(original.GetSerializedSize());
    ASSERT_EQ(bytes.size(), original.Serialize(bytes.data(), static_cast<UINT32>(bytes.size())));
    Tarn::String restored;
    EXPECT_EQ(bytes.size(), restored.Deserialize(bytes.data(), static_cast<UINT32>(bytes.size())));
    EXPECT_STREQ(original.GetBuffer(), restored.GetBuffer());
}

TEST_F(StringTest, DeserializeRejectsMissingBytes)
{
    const BYTE bytes[] = {0x61};
    Tarn::String text = Owned(L"kept");
    EXPECT_THROW(text.Deserialize(nullptr, 1), Tarn::ArgumentException);
    EXPECT_THROW(text.Deserialize(bytes, 0), Tarn::ArgumentException);
    EXPECT_STREQ(L"kept", text.GetBuffer());
}

TEST_F(StringTest, LoadReadsAStringThatFitsInOneCall)
{
    const Tarn::String hello(IDS_TEST_HELLO, TarnTest::GetTestInstance());
    EXPECT_STREQ(L"Hello", hello.GetBuffer());
    EXPECT_EQ(64u, hello.GetCapacity());
}

TEST_F(StringTest, LoadRetriesWithADoubledBufferWhenTheTextFillsIt)
{
    Tarn::String text;
    text.Load(IDS_TEST_63_CHARACTERS, TarnTest::GetTestInstance());
    EXPECT_STREQ(L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.", text.GetBuffer());
    EXPECT_EQ(63u, text.GetLength());
    EXPECT_EQ(128u, text.GetCapacity());
}

TEST_F(StringTest, LoadOfAMissingStringInAnExistingBlockGivesEmpty)
{
    Tarn::String text = Owned(L"old");
    // Left over from an unrelated failed call; it must not be taken for the lookup's error.
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    text.Load(IDS_TEST_HELLO + 1, TarnTest::GetTestInstance());
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(StringTest, LoadOfAMissingBlockIsTracedAndKeepsTheOldText)
{
    Tarn::String text = Owned(L"old");
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND),
              ThrownCode([&] { text.Load(40000, TarnTest::GetTestInstance()); }));
    EXPECT_STREQ(L"old", text.GetBuffer());
    EXPECT_TRUE(HasLine(listener, "ERROR", "Tarn::String::Load", "LoadString() failed, error code 0x716"));
}

TEST_F(StringTest, LoadWithoutAModuleThrowsArgumentException)
{
    Tarn::String text;
    EXPECT_THROW(text.Load(IDS_TEST_HELLO, nullptr), Tarn::ArgumentException);
    EXPECT_THROW(Tarn::String(IDS_TEST_HELLO, nullptr), Tarn::ArgumentException);
}

TEST_F(StringTest, StringWorkloadDoesNotGrowTheHeap)
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
