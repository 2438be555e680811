#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hashalgorithmprovider.h"
#include "knownanswers.h"
#include "tarnexception.h"
#include "tarntrace.h"
#include "testsupport.h"

using CryptoTest::KnownAnswer;
using CryptoTest::KnownAnswers;

namespace
{
    // Feeds the message in blocks of blockSize bytes (one call for an empty message would be wrong:
    // an empty message makes no call at all) and returns the digest as hexadecimal text.
    std::string Digest(Crypto::HashAlgorithm algorithm, const std::string& message, size_t blockSize)
    {
        Crypto::HashAlgorithmProvider provider(algorithm);
        Crypto::Hash hash = provider.CreateHash();
        for (size_t offset = 0; offset < message.size(); offset += blockSize)
        {
            const size_t count = std::min(blockSize, message.size() - offset);
            hash.HashData(reinterpret_cast<PUCHAR>(const_cast<char*>(message.data() + offset)), static_cast<ULONG>(count));
        }
        Tarn::Buffer* digest = hash.GetHash();
        const std::string text = CryptoTest::ToHex(digest->GetData(), digest->GetLength());
        digest->Release();
        return text;
    }
}

class CngObjectTest : public ::testing::Test
{
protected:
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }

    // An object whose handle cannot be released; the handle is never handed to CNG.
    class UnreleasableObject : public Crypto::CngObject
    {
    public:
        UnreleasableObject() : CngObject(reinterpret_cast<BCRYPT_HANDLE>(static_cast<UINT_PTR>(1))) {}
        ~UnreleasableObject() override
        {
            CloseInDestructor(L"unreleasable", 7, L"UnreleasableObject::~UnreleasableObject");
        }

    protected:
        void ReleaseHandle(BCRYPT_HANDLE) override { throw Tarn::SystemException(E_ACCESSDENIED); }
    };
};

TEST_F(CngObjectTest, FailedCloseKeepsTheHandleAndTheDestructorTracesItUnderItsOwnName)
{
    TarnTest::DebugOutputListener listener;
    {
        UnreleasableObject object;
        EXPECT_EQ(E_ACCESSDENIED, TarnTest::ThrownCode([&] { object.Close(); }));
        EXPECT_TRUE(object.IsOpen());
    }
    EXPECT_EQ(1u, listener.GetLinesContaining(" ERROR unreleasable(7) UnreleasableObject::~UnreleasableObject(): "
                                              "Exception caught. Error code: 0x80070005").size());
}

class HashTest : public ::testing::Test
{
protected:
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
};

TEST_F(HashTest, ProducesThePublishedDigestsOfEveryAlgorithm)
{
    const std::string millionA(1000000, 'a');
    for (const KnownAnswer& answer : KnownAnswers())
    {
        SCOPED_TRACE(answer.name);
        EXPECT_EQ(answer.empty, Digest(answer.algorithm, "", 1));
        EXPECT_EQ(answer.abc, Digest(answer.algorithm, "abc", 3));
        EXPECT_EQ(answer.millionA, Digest(answer.algorithm, millionA, 16384));
    }
}

TEST_F(HashTest, DigestDoesNotDependOnHowTheMessageIsSplit)
{
    std::string message;
    for (int i = 0; i < 40000; ++i)
    {
        message += static_cast<char>(i * 7 + i / 251);
    }
    for (const KnownAnswer& answer : KnownAnswers())
    {
        SCOPED_TRACE(answer.name);
        EXPECT_EQ(answer.abc, Digest(answer.algorithm, "abc", 1));
        const std::string whole = Digest(answer.algorithm, message, message.size());
        EXPECT_EQ(whole, Digest(answer.algorithm, message, 16384));
        EXPECT_EQ(whole, Digest(answer.algorithm, message, 16383));
        EXPECT_EQ(whole, Digest(answer.algorithm, message, 1000));
    }
}

TEST_F(HashTest, DigestBufferHasTheLengthCngReports)
{
    for (const KnownAnswer& answer : KnownAnswers())
    {
        SCOPED_TRACE(answer.name);
        Crypto::HashAlgorithmProvider provider(answer.algorithm);
        Crypto::Hash hash = provider.CreateHash();
        EXPECT_EQ(answer.algorithm, hash.GetAlgorithm());
        ULONG length = 0;
        EXPECT_EQ(sizeof(length), hash.GetProperty(BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&length), sizeof(length)));
        EXPECT_EQ(answer.digestLength, length);

        Tarn::Buffer* digest = hash.GetHash();
        EXPECT_EQ(answer.digestLength, digest->GetLength());
        EXPECT_EQ(answer.digestLength, digest->GetCapacity());
        EXPECT_EQ(1, digest->GetReferenceCount());
        digest->Release();
    }
}

TEST_F(HashTest, IsClosedAfterGetHashAndRefusesFurtherUse)
{
    Crypto::HashAlgorithmProvider provider(Crypto::HashAlgorithm::Sha256);
    Crypto::Hash hash = provider.CreateHash();
    UCHAR digest[32];
    hash.GetHash(digest, sizeof(digest));

    EXPECT_FALSE(hash.IsOpen());
    EXPECT_EQ(Tarn::InvalidOperationException::Code, TarnTest::ThrownCode([&] { hash.GetHash(digest, sizeof(digest)); }));
    EXPECT_EQ(Tarn::InvalidOperationException::Code, TarnTest::ThrownCode([&] { hash.GetHash()->Release(); }));
    EXPECT_EQ(Tarn::InvalidOperationException::Code, TarnTest::ThrownCode([&] { hash.HashData(digest, 1); }));
    EXPECT_EQ(Tarn::InvalidOperationException::Code, TarnTest::ThrownCode([&] { hash.GetProperty(BCRYPT_HASH_LENGTH, digest, 4); }));
    hash.Close();
    EXPECT_FALSE(hash.IsOpen());
}

TEST_F(HashTest, WrongOutputIsRefusedAndLeavesTheHashUsable)
{
    Crypto::HashAlgorithmProvider provider(Crypto::HashAlgorithm::Sha256);
    Crypto::Hash hash = provider.CreateHash();
    hash.HashData(reinterpret_cast<PUCHAR>(const_cast<char*>("abc")), 3);
    UCHAR digest[64];

    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { hash.GetHash(digest, 31); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { hash.GetHash(digest, 33); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { hash.GetHash(nullptr, 32); }));
    EXPECT_TRUE(hash.IsOpen());

    hash.GetHash(digest, 32);
    EXPECT_EQ(KnownAnswers()[2].abc, CryptoTest::ToHex(digest, 32));
}

TEST_F(HashTest, CreatingAndFinishingManyHashesLeaksNothing)
{
    const size_t growth = TarnTest::MeasureHeapGrowth(
        [] {
            for (const KnownAnswer& answer : KnownAnswers())
            {
                Digest(answer.algorithm, "abc", 3);
            }
        },
        200);
    EXPECT_LT(growth, 4096u);
}

class HashAlgorithmProviderTest : public ::testing::Test
{
protected:
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
};

TEST_F(HashAlgorithmProviderTest, RefusesValuesThatAreNoAlgorithm)
{
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([] { Crypto::HashAlgorithmProvider provider(static_cast<Crypto::HashAlgorithm>(0)); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([] { Crypto::HashAlgorithmProvider provider(static_cast<Crypto::HashAlgorithm>(6)); }));
}

TEST_F(HashAlgorithmProviderTest, ClosedProviderRefusesToCreateHashesAndClosesOnlyOnce)
{
    Crypto::HashAlgorithmProvider provider(Crypto::HashAlgorithm::Sha1);
    EXPECT_TRUE(provider.IsOpen());
    EXPECT_EQ(Crypto::HashAlgorithm::Sha1, provider.GetAlgorithm());
    provider.Close();
    EXPECT_FALSE(provider.IsOpen());
    provider.Close();
    EXPECT_EQ(Tarn::InvalidOperationException::Code, TarnTest::ThrownCode([&] { provider.CreateHash(); }));
}

TEST_F(HashAlgorithmProviderTest, RefusedOpenIsTracedAndThrownAsNtStatus)
{
    TarnTest::DebugOutputListener listener;
    BCRYPT_ALG_HANDLE handle = nullptr;
    const HRESULT code = TarnTest::ThrownCode([&] { handle = Crypto::AlgorithmProvider::OpenAlgorithm(L"NO-SUCH-DIGEST"); });

    EXPECT_EQ(nullptr, handle);
    EXPECT_LT(code, 0);
    EXPECT_EQ(0x10000000, code & 0x10000000) << "the facility-NT bit marks a CNG status";
    const auto lines = listener.GetLinesContaining("Crypto::AlgorithmProvider::OpenAlgorithm(): BCryptOpenAlgorithmProvider() failed, error code 0x");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("src\\algorithmprovider("));
}
