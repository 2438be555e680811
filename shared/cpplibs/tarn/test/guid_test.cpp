#include <gtest/gtest.h>

#include <cstring>

#include "tarnexception.h"
#include "tarnformatter.h"
#include "tarnguid.h"
#include "tarnlocale.h"
#include "tarnstring.h"
#include "testsupport.h"

namespace
{
    // {0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}
    const GUID Sample = {0x0F2E4A6C, 0x1B3D, 0x4E5F, {0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B}};

    Tarn::String Text(PCWSTR text)
    {
        return Tarn::String(text, false);
    }

    std::wstring Wide(const Tarn::String& text)
    {
        return text.GetBuffer() == nullptr ? std::wstring() : std::wstring(text.GetBuffer());
    }
}

TEST(GuidTest, EveryAcceptedFormParsesToTheSameValueAndFormatsBackInEachFormat)
{
    const PCWSTR forms[] = {
        L"0F2E4A6C1B3D4E5F8A9B0C1D2E3F4A5B",
        L"0f2e4a6c-1b3d-4e5f-8a9b-0c1d2e3f4a5b",
        L"{0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}",
        L"(0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B)",
    };
    for (PCWSTR form : forms)
    {
        Tarn::Guid parsed;
        ASSERT_TRUE(Tarn::Guid::TryParse(Text(form), parsed)) << form;
        EXPECT_TRUE(parsed == Tarn::Guid(Sample)) << form;
        EXPECT_TRUE(Tarn::Guid(Text(form)) == Tarn::Guid(Sample)) << form;
    }

    const Tarn::Guid guid(Sample);
    EXPECT_EQ(L"{0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}", Wide(guid.ToString()));
    EXPECT_EQ(L"{0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}", Wide(guid.ToString(Text(L"B"))));
    EXPECT_EQ(L"0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B", Wide(guid.ToString(Text(L"D"))));
    EXPECT_EQ(L"0F2E4A6C1B3D4E5F8A9B0C1D2E3F4A5B", Wide(guid.ToString(Text(L"N"))));
    EXPECT_EQ(L"(0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B)", Wide(guid.ToString(Text(L"P"))));
    EXPECT_EQ(L"GUID 0F2E4A6C1B3D4E5F8A9B0C1D2E3F4A5B",
              Wide(Tarn::Formatter::Format(Text(L"GUID {0:N}"), guid, Tarn::Locale::Invariant)));
    EXPECT_TRUE(guid != Tarn::Guid::Empty);
}

TEST(GuidTest, TextThatIsNoneOfTheFormsIsRefusedWithoutException)
{
    const PCWSTR texts[] = {
        L"{0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}0",   // 39 characters
        L"0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B0",     // 37 characters
        L"0F2E4A6C1B3D4E5F8A9B0C1D2E3F4A5G",          // 32 characters, one not hexadecimal
        L"0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5X",      // 36 characters, one not hexadecimal
        L"{0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B)",    // braces that do not pair
        L"(0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B}",
        L"[0F2E4A6C-1B3D-4E5F-8A9B-0C1D2E3F4A5B]",
        L"0F2E4A6C+1B3D+4E5F+8A9B+0C1D2E3F4A5B",      // 36 characters, no hyphens
        L"",
    };
    for (PCWSTR text : texts)
    {
        Tarn::Guid result(Sample);
        EXPECT_FALSE(Tarn::Guid::TryParse(Text(text), result)) << text;
        EXPECT_TRUE(result == Tarn::Guid(Sample)) << text;
        EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([text] { Tarn::Guid guid{Text(text)}; })) << text;
    }
}

TEST(GuidTest, UnknownFormatLetterIsTracedAndThrowsFormatException)
{
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::FormatException::Code, TarnTest::ThrownCode([] { Tarn::Guid(Sample).ToString(Text(L"X")); }));
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarnguid", "Tarn::Guid::FormatObject",
                                            "Invalid Guid format string X"));
}

TEST(GuidTest, BigEndianSerialisationSwapsExactlyTheFirstThreeFields)
{
    const Tarn::Guid guid(Sample);
    BYTE native[16];
    BYTE bigEndian[16];
    ASSERT_EQ(16u, guid.GetSerializedSize());
    ASSERT_EQ(16u, guid.Serialize(native, sizeof(native)));
    ASSERT_EQ(16u, guid.Serialize(bigEndian, sizeof(bigEndian), Tarn::ByteOrder::BigEndian));

    EXPECT_EQ(0, std::memcmp(native, &Sample, 16));
    const BYTE expected[16] = {0x0F, 0x2E, 0x4A, 0x6C, 0x1B, 0x3D, 0x4E, 0x5F,
                               0x8A, 0x9B, 0x0C, 0x1D, 0x2E, 0x3F, 0x4A, 0x5B};
    EXPECT_EQ(0, std::memcmp(bigEndian, expected, 16));

    Tarn::Guid readBack;
    EXPECT_EQ(16u, readBack.Deserialize(bigEndian, sizeof(bigEndian), Tarn::ByteOrder::BigEndian));
    EXPECT_TRUE(readBack == guid);
    readBack = Tarn::Guid::Empty;
    EXPECT_EQ(16u, readBack.Deserialize(native, sizeof(native)));
    EXPECT_TRUE(readBack == guid);
}

TEST(GuidTest, SerialisationRefusesShortAndMissingBuffers)
{
    Tarn::Guid guid(Sample);
    BYTE buffer[16] = {};
    EXPECT_EQ(static_cast<HRESULT>(0x8007007A), TarnTest::ThrownCode([&] { guid.Serialize(buffer, 15); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { guid.Serialize(nullptr, 16); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { guid.Deserialize(buffer, 15); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { guid.Deserialize(nullptr, 16); }));
    EXPECT_TRUE(guid == Tarn::Guid(Sample));
}
