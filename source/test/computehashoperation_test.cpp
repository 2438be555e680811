#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "computehashoperation.h"
#include "knownanswers.h"
#include "tarnexception.h"
#include "tarntrace.h"
#include "testfiles.h"

using DigestryTest::TemporaryFile;

namespace
{
    struct ReleaseOperation
    {
        void operator()(ComputeHashOperation* operation) const { operation->Release(); }
    };
    typedef std::unique_ptr<ComputeHashOperation, ReleaseOperation> OperationPtr;

    // The completion callback's view of each call.
    class CompletionRecorder
    {
    public:
        CompletionRecorder() : called(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
        CompletionRecorder(const CompletionRecorder&) = delete;
        CompletionRecorder& operator=(const CompletionRecorder&) = delete;
        ~CompletionRecorder() { ::CloseHandle(called); }

        void OnCompleted(ComputeHashOperation* operation)
        {
            state = operation->GetState();
            errorCode = operation->GetErrorCode();
            eventWasSet = operation->IsCompleted();
            threadId = ::GetCurrentThreadId();
            Tarn::IBuffer* digest = operation->GetDigest();
            if (digest != nullptr)
            {
                digestHex = DigestryTest::HexDigest(digest->GetData(), digest->GetLength());
                digest->Release();
            }
            ++calls;
            ::SetEvent(called);
        }

        ComputeHashOperation::CompletionCallback Callback()
        {
            return ComputeHashOperation::CompletionCallback(this, &CompletionRecorder::OnCompleted);
        }

        // Set once the callback has run.
        const HANDLE called;
        std::atomic<int> calls{0};
        Tarn::AsyncOperationState state = Tarn::AsyncOperationState::NotStarted;
        HRESULT errorCode = S_OK;
        bool eventWasSet = false;
        DWORD threadId = 0;
        std::string digestHex;
    };

    Tarn::String PathOf(const TemporaryFile& file)
    {
        return Tarn::String(file.GetPath().c_str(), false);
    }
}

class ComputeHashOperationTest : public ::testing::Test
{
protected:
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }

    // Runs one operation to its end and returns the digest its callback saw.
    std::string Compute(Crypto::HashAlgorithm algorithm, const TemporaryFile& file)
    {
        CompletionRecorder recorder;
        OperationPtr operation(new ComputeHashOperation(algorithm, PathOf(file), recorder.Callback()));
        EXPECT_TRUE(operation->Start());
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(operation->GetCallbackReturnedHandle(), 60000));
        EXPECT_EQ(Tarn::AsyncOperationState::Completed, recorder.state);
        return recorder.digestHex;
    }
};

TEST_F(ComputeHashOperationTest, ProducesThePublishedDigestsOfRealFiles)
{
    const TemporaryFile empty("");
    const TemporaryFile abc("abc");
    const TemporaryFile millionA(std::string(1000000, 'a'));
    for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
    {
        SCOPED_TRACE(answer.name);
        EXPECT_EQ(answer.empty, Compute(answer.algorithm, empty));
        EXPECT_EQ(answer.abc, Compute(answer.algorithm, abc));
        EXPECT_EQ(answer.millionA, Compute(answer.algorithm, millionA));
    }
}

TEST_F(ComputeHashOperationTest, DigestOfAFileEqualsTheDigestOfItsBytesInOnePiece)
{
    const size_t sizes[] = {0, 1, 16383, 16384, 16385, 3 * 16384, 5 * 1024 * 1024 + 77};
    for (size_t size : sizes)
    {
        SCOPED_TRACE(size);
        const std::string content = DigestryTest::PseudoRandomBytes(size, static_cast<uint32_t>(size));
        const TemporaryFile file(content);
        for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
        {
            SCOPED_TRACE(answer.name);
            EXPECT_EQ(DigestryTest::HexDigest(answer.algorithm, content), Compute(answer.algorithm, file));
        }
    }
}

TEST_F(ComputeHashOperationTest, CompletesOnItsWorkerAfterSettingTheEventAndOutlivesItsCreator)
{
    const TemporaryFile file(std::string(200000, 'x'));
    CompletionRecorder recorder;
    ComputeHashOperation* operation =
        new ComputeHashOperation(Crypto::HashAlgorithm::Sha1, PathOf(file), recorder.Callback());
    ASSERT_TRUE(operation->Start());
    // The running operation holds a reference of its own until its callback has returned.
    operation->Release();
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(recorder.called, 60000));

    EXPECT_EQ(1, recorder.calls);
    EXPECT_NE(::GetCurrentThreadId(), recorder.threadId);
    EXPECT_TRUE(recorder.eventWasSet);
    EXPECT_EQ(DigestryTest::HexDigest(Crypto::HashAlgorithm::Sha1, std::string(200000, 'x')), recorder.digestHex);
}

TEST_F(ComputeHashOperationTest, SignalsThatItsCallbackReturnedOnlyAfterItHas)
{
    // A callback that returns only when the test lets it.
    struct HeldCallback
    {
        void OnCompleted(ComputeHashOperation*)
        {
            ::WaitForSingleObject(release, 60000);
            returned = true;
        }
        const HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<bool> returned{false};
    } held;
    const TemporaryFile file("abc");
    OperationPtr operation(new ComputeHashOperation(Crypto::HashAlgorithm::Md5, PathOf(file),
                                                    ComputeHashOperation::CompletionCallback(&held, &HeldCallback::OnCompleted)));
    ASSERT_TRUE(operation->Start());

    ASSERT_TRUE(operation->WaitFor(60000));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(operation->GetCallbackReturnedHandle(), 0))
        << "the completion event comes before the callback";
    ::SetEvent(held.release);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(operation->GetCallbackReturnedHandle(), 60000));
    EXPECT_TRUE(held.returned);
    ::CloseHandle(held.release);
}

TEST_F(ComputeHashOperationTest, MissingFileFailsInStartOnTheCallingThread)
{
    const size_t threadsBefore = DigestryTest::CountProcessThreads();
    CompletionRecorder recorder;
    OperationPtr operation(new ComputeHashOperation(Crypto::HashAlgorithm::Md5,
                                                    Tarn::String(L"C:\\no\\such\\folder\\file.bin", true),
                                                    recorder.Callback()));

    EXPECT_FALSE(operation->Start());
    EXPECT_EQ(1, recorder.calls);
    EXPECT_EQ(::GetCurrentThreadId(), recorder.threadId);
    EXPECT_EQ(Tarn::AsyncOperationState::Failed, operation->GetState());
    EXPECT_EQ(static_cast<HRESULT>(0x80070003), operation->GetErrorCode()) << "the folder is missing too";
    EXPECT_EQ(nullptr, operation->GetDigest());
    EXPECT_LE(DigestryTest::CountProcessThreads(), threadsBefore) << "no worker was started";
}

TEST_F(ComputeHashOperationTest, FilesThatCannotBeReadNowFailInStart)
{
    const TemporaryFile missingLater("gone");
    const std::wstring missingPath = missingLater.GetPath() + L".missing";
    const TemporaryFile lockedAgainstReaders("locked");
    const TemporaryFile openForWriting("written");
    const HANDLE exclusive = ::CreateFileW(lockedAgainstReaders.GetPath().c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const HANDLE writer = ::CreateFileW(openForWriting.GetPath().c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);

    const struct
    {
        std::wstring path;
        HRESULT expected;
    } cases[] = {
        {missingPath, static_cast<HRESULT>(0x80070002)},
        {lockedAgainstReaders.GetPath(), static_cast<HRESULT>(0x80070020)},
        {openForWriting.GetPath(), static_cast<HRESULT>(0x80070020)},
    };
    for (const auto& testCase : cases)
    {
        CompletionRecorder recorder;
        OperationPtr operation(new ComputeHashOperation(Crypto::HashAlgorithm::Sha256,
                                                        Tarn::String(testCase.path.c_str(), false), recorder.Callback()));
        EXPECT_FALSE(operation->Start());
        EXPECT_EQ(1, recorder.calls);
        EXPECT_EQ(testCase.expected, recorder.errorCode);
        EXPECT_EQ(Tarn::AsyncOperationState::Failed, recorder.state);
    }
    ::CloseHandle(exclusive);
    ::CloseHandle(writer);
}

TEST_F(ComputeHashOperationTest, CancelledBeforeTheFirstReadEndsCancelledWithoutDigest)
{
    const TemporaryFile file("abc");
    CompletionRecorder recorder;
    OperationPtr operation(new ComputeHashOperation(Crypto::HashAlgorithm::Md5, PathOf(file), recorder.Callback()));
    operation->Cancel();
    ASSERT_TRUE(operation->Start());
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(operation->GetCallbackReturnedHandle(), 60000));

    EXPECT_EQ(Tarn::AsyncOperationState::Cancelled, recorder.state);
    EXPECT_EQ(S_OK, recorder.errorCode);
    EXPECT_EQ(nullptr, operation->GetDigest());
}

TEST_F(ComputeHashOperationTest, CanBeStartedOnlyOnceEvenBeforeItsWorkerRuns)
{
    const TemporaryFile file = TemporaryFile::OfSize(8 << 20);
    CompletionRecorder recorder;
    OperationPtr operation(new ComputeHashOperation(Crypto::HashAlgorithm::Sha512, PathOf(file), recorder.Callback()));
    ASSERT_TRUE(operation->Start());
    EXPECT_THROW(operation->Start(), Tarn::InvalidOperationException);

    ASSERT_TRUE(operation->WaitFor(60000));
    EXPECT_THROW(operation->Start(), Tarn::InvalidOperationException);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(operation->GetCallbackReturnedHandle(), 60000));
    EXPECT_EQ(1, recorder.calls);
    EXPECT_EQ(Tarn::AsyncOperationState::Completed, recorder.state);
}
