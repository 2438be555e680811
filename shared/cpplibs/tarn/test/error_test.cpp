#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "tarnerrormessage.h"
#include "tarnexception.h"
#include "tarntrace.h"
#include "testsupport.h"

namespace
{
    const std::wstring LookupFailedText = L"(An error occurred while formatting the error message)";

    std::wstring Text(const Tarn::String& text)
    {
        return text.IsNull() ? std::wstring() : std::wstring(text.GetBuffer());
    }

    // What FormatMessageW itself gives for the message, with the error it leaves on failure.
    struct Lookup
    {
        bool found;
        std::wstring text;
        DWORD error;
    };

    Lookup LookUp(DWORD flags, HMODULE source, DWORD messageId)
    {
        PWSTR buffer = nullptr;
        Lookup lookup = {};
        lookup.found = ::FormatMessageW(flags | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, source,
                                        messageId, 0, reinterpret_cast<PWSTR>(&buffer), 0, nullptr) != 0;
        lookup.error = ::GetLastError();
        if (buffer != nullptr)
        {
            lookup.text = buffer;
            ::LocalFree(buffer);
        }
        return lookup;
    }

    Lookup LookUpSystem(DWORD messageId)
    {
        return LookUp(FORMAT_MESSAGE_FROM_SYSTEM | 0xFF, nullptr, messageId);
    }

    // The ntdll.dll text as the description shows it: on one line, without edge spaces.
    Lookup LookUpNtStatus(DWORD status)
    {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        Lookup lookup = LookUp(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE, ntdll, status);
        for (size_t position; (position = lookup.text.find(L"\r\n")) != std::wstring::npos;)
        {
            lookup.text.replace(position, 2, L" ");
        }
        const size_t first = lookup.text.find_first_not_of(L' ');
        lookup.text = first == std::wstring::npos ? std::wstring() : lookup.text.substr(first, lookup.text.find_last_not_of(L' ') - first + 1);
        return lookup;
    }

    std::string Hex(DWORD value)
    {
        char text[16];
        snprintf(text, sizeof(text), "%lX", static_cast<unsigned long>(value));
        return text;
    }
}

TEST(ExceptionTest, EachClassIsThrownWithItsFixedCodeAndCaughtAsException)
{
    struct Case
    {
        std::function<void()> thrower;
        const std::type_info& type;
        HRESULT code;
    };
    const std::vector<Case> cases = {
        {[] { throw Tarn::SystemException(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)); }, typeid(Tarn::SystemException),
         static_cast<HRESULT>(0x80070002)},
        {[] { throw Tarn::MemoryException(); }, typeid(Tarn::MemoryException), static_cast<HRESULT>(0x8007000E)},
        {[] { throw Tarn::ArgumentException(); }, typeid(Tarn::ArgumentException), static_cast<HRESULT>(0x80070057)},
        {[] { throw Tarn::InvalidOperationException(); }, typeid(Tarn::InvalidOperationException),
         static_cast<HRESULT>(0x80004021)},
        {[] { throw Tarn::NotImplementedException(); }, typeid(Tarn::NotImplementedException),
         static_cast<HRESULT>(0x80004001)},
        {[] { throw Tarn::DuplicateKeyException(); }, typeid(Tarn::DuplicateKeyException),
         static_cast<HRESULT>(0xA0010007)},
        {[] { throw Tarn::FormatException(); }, typeid(Tarn::FormatException), static_cast<HRESULT>(0xA0010001)},
        {[] { throw Tarn::ParseException(); }, typeid(Tarn::ParseException), static_cast<HRESULT>(0xA0010000)},
    };
    for (const Case& c : cases)
    {
        try
        {
            c.thrower();
            ADD_FAILURE() << c.type.name() << " was not thrown";
        }
        catch (const Tarn::Exception& exception)
        {
            EXPECT_EQ(typeid(exception), c.type);
            EXPECT_EQ(c.code, exception.GetErrorCode()) << c.type.name();
        }
    }
}

TEST(ExceptionTest, MemoryExceptionIsCaughtAsSystemException)
{
    EXPECT_THROW(throw Tarn::MemoryException(), Tarn::SystemException);
}

TEST(ExceptionTest, Win32ErrorsBecomeHResultsInTheWin32FacilityExceptZeroAndNegativeValues)
{
    EXPECT_EQ(0, Tarn::HResultFromWin32(0));
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), Tarn::HResultFromWin32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(static_cast<HRESULT>(0x80072345), Tarn::HResultFromWin32(0x12345));
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), Tarn::HResultFromWin32(0x80070005));
    EXPECT_EQ(static_cast<HRESULT>(0xC0000022), Tarn::HResultFromWin32(0xC0000022));
}

TEST(ExceptionTest, NtStatusIsMarkedWithBit28)
{
    EXPECT_EQ(static_cast<HRESULT>(0xD0000022), Tarn::HResultFromNtStatus(static_cast<LONG>(0xC0000022)));
    EXPECT_EQ(static_cast<HRESULT>(0xD0000022), Tarn::HResultFromNtStatus(static_cast<LONG>(0xD0000022)));
}

TEST(ExceptionTest, DescriptionIsTheErrorMessageOfTheCode)
{
    EXPECT_EQ(Text(Tarn::ArgumentException().GetDescription()), Text(Tarn::GetErrorMessage(E_INVALIDARG)));
    EXPECT_EQ(L"Tarn error 0xA0010000", Text(Tarn::ParseException().GetDescription()));
    EXPECT_EQ(Text(Tarn::MemoryException().GetDescription()), LookUpSystem(0x8007000E).text);
}

class ErrorMessageTest : public ::testing::Test
{
protected:
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
    void TearDown() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Warning); }

    TarnTest::DebugOutputListener m_listener;
};

TEST_F(ErrorMessageTest, LibraryCodeWithoutItsResourceGetsTheGenericText)
{
    EXPECT_EQ(L"Tarn error 0xA0010001", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xA0010001))));
    EXPECT_EQ(L"Tarn error 0xA0010007", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xA0010007))));
    EXPECT_EQ(L"Tarn error 0xA0010000", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xA0010000))));
    EXPECT_TRUE(m_listener.GetLines().empty());
}

TEST_F(ErrorMessageTest, LibraryCodeWithItsResourceGetsTheResourceText)
{
    EXPECT_EQ(L"Tarn test error five", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xA0010005))));
}

TEST_F(ErrorMessageTest, CustomerCodeOutsideTheLibraryFacilityGetsTheCustomerText)
{
    EXPECT_EQ(L"Customer error 0xE0000001", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xE0000001))));
    EXPECT_EQ(L"Customer error 0xA8010001", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xA8010001))));
    EXPECT_EQ(L"Customer error 0xA0020005", Text(Tarn::GetErrorMessage(static_cast<HRESULT>(0xA0020005))));
}

TEST_F(ErrorMessageTest, SuccessCodeWithCustomerBitIsLookedUpInTheSystemTable)
{
    EXPECT_EQ(Text(Tarn::GetErrorMessage(0x20010005)), Text(Tarn::GetSystemErrorMessage(0x20010005)));
}

TEST_F(ErrorMessageTest, SystemCodeGetsTheSystemTextExactlyAsFormatMessageReturnsIt)
{
    for (DWORD code : {0x8007000Eu, 0x80070005u, 2u})
    {
        const Lookup expected = LookUpSystem(code);
        ASSERT_TRUE(expected.found) << std::hex << code;
        EXPECT_EQ(expected.text, Text(Tarn::GetErrorMessage(static_cast<HRESULT>(code)))) << std::hex << code;
    }
}

TEST_F(ErrorMessageTest, SystemTextWithInsertsKeepsThemUnexpanded)
{
    // ERROR_BAD_EXE_FORMAT and ERROR_CHANGE_DRIVE name the file or drive as insert %1.
    for (DWORD code : {0x800700C1u, 0x8007006Bu})
    {
        const std::wstring text = Text(Tarn::GetErrorMessage(static_cast<HRESULT>(code)));
        EXPECT_EQ(text, LookUpSystem(code).text);
        EXPECT_NE(text.find(L"%1"), std::wstring::npos) << std::hex << code;
    }
}

TEST_F(ErrorMessageTest, FailedSystemLookupGivesTheFallbackTextAfterAnErrorTrace)
{
    const DWORD unknownCode = 0xDEAD;
    const Lookup expected = LookUpSystem(unknownCode);
    ASSERT_FALSE(expected.found);

    EXPECT_EQ(LookupFailedText, Text(Tarn::GetErrorMessage(unknownCode)));

    const std::vector<std::string> lines = m_listener.GetLinesContaining("Tarn::GetSystemErrorMessage");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(lines[0].find(" ERROR src\\tarnerror("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(") Tarn::GetSystemErrorMessage(): FormatMessage() failed, GetLastError() returns 0x"
                            + Hex(expected.error) + "\r\n"),
              std::string::npos)
        << lines[0];
}

TEST_F(ErrorMessageTest, NtStatusCodeIsLookedUpInNtdllWithoutBit28OnOneTrimmedLine)
{
    for (DWORD code : {0xD0000022u, 0x10000005u})
    {
        const Lookup expected = LookUpNtStatus(code & 0xEFFFFFFF);
        const std::wstring text = Text(Tarn::GetErrorMessage(static_cast<HRESULT>(code)));
        EXPECT_EQ(expected.found ? expected.text : LookupFailedText, text) << std::hex << code;
        EXPECT_EQ(std::wstring::npos, text.find(L"\r\n"));
        EXPECT_NE(text.front(), L' ');
        EXPECT_NE(text.back(), L' ');
    }
}

TEST_F(ErrorMessageTest, FailedNtStatusLookupTracesTheErrorInDecimal)
{
    const DWORD unknownStatus = 0xCEADBEEF;
    const Lookup expected = LookUpNtStatus(unknownStatus);
    ASSERT_FALSE(expected.found);

    EXPECT_EQ(LookupFailedText, Text(Tarn::GetErrorMessage(static_cast<HRESULT>(unknownStatus | 0x10000000))));

    const std::vector<std::string> lines = m_listener.GetLinesContaining("Tarn::GetNtStatusErrorMessage");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(lines[0].find(" ERROR src\\tarnerror("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(") Tarn::GetNtStatusErrorMessage(): FormatMessage() failed, GetLastError() returns "
                            + std::to_string(expected.error) + "\r\n"),
              std::string::npos)
        << lines[0];
}

TEST_F(ErrorMessageTest, FailedLookupWritesNoTraceWhenErrorsAreNotTraced)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Critical);
    EXPECT_EQ(LookupFailedText, Text(Tarn::GetErrorMessage(0xDEAD)));
    EXPECT_TRUE(m_listener.GetLines().empty());
}
