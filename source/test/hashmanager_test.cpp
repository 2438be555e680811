#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "hashmanager.h"
#include "knownanswers.h"
#include "notificationwindow.h"
#include "tarnexception.h"
#include "tarntrace.h"
#include "testfiles.h"
#include "testsupport.h"

using DigestryTest::NotificationWindow;
using DigestryTest::TemporaryFile;

namespace
{
    const HRESULT FileNotFound = static_cast<HRESULT>(0x80070002);
    const HRESULT SharingViolation = static_cast<HRESULT>(0x80070020);
    const DWORD Patience = 60000;

    Tarn::String PathOf(const TemporaryFile& file)
    {
        return Tarn::String(file.GetPath().c_str(), false);
    }

    std::string HexOf(Tarn::IBuffer* digest)
    {
        const std::string text = DigestryTest::HexDigest(digest->GetData(), digest->GetLength());
        digest->Release();
        return text;
    }

    LPARAM ParamOf(Crypto::HashAlgorithm algorithm)
    {
        return static_cast<LPARAM>(algorithm);
    }

    // Worker threads end a moment after their completion callbacks have returned.
    bool WaitForThreadCount(size_t atMost)
    {
        return TarnTest::WaitUntil([atMost] { return DigestryTest::CountProcessThreads() <= atMost; });
    }
}

class HashManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }
    void TearDown() override { Tarn::SetTraceLevel(Tarn::TraceLevel::Error); }

    NotificationWindow m_window;
};

TEST_F(HashManagerTest, FirstRequestRunsOnAWorkerAndNotifiesTheWindowWhenTheDigestIsReady)
{
    const std::string content(16 << 20, 'a');
    const TemporaryFile file(content);
    HashManager manager;
    manager.Initialize(PathOf(file), m_window.GetHandle());

    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Sha1));
    EXPECT_EQ(nullptr, manager.GetHash(Crypto::HashAlgorithm::Sha1)) << "still running";
    EXPECT_EQ(S_OK, manager.GetErrorCode(Crypto::HashAlgorithm::Sha1));
    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Sha1)) << "a running computation is not started again";

    ASSERT_TRUE(m_window.WaitForNotifications(1, Patience));
    // The page matches these numbers, not the names.
    static_assert(HashManager::CompletionMessage == 0x8000, "the page's completion message");
    EXPECT_EQ(0u, m_window.GetNotifications()[0].kind);
    EXPECT_EQ(2, m_window.GetNotifications()[0].algorithm);
    Tarn::IBuffer* digest = manager.GetHash(Crypto::HashAlgorithm::Sha1);
    ASSERT_NE(nullptr, digest);
    EXPECT_EQ(20u, digest->GetLength());
    EXPECT_EQ(DigestryTest::HexDigest(Crypto::HashAlgorithm::Sha1, content), HexOf(digest));
    EXPECT_FALSE(m_window.WaitForNotifications(2, 200)) << "one computation, one message";
}

TEST_F(HashManagerTest, LaterRequestsAreServedFromTheCacheWithAnAddedReference)
{
    const TemporaryFile file("abc");
    HashManager manager;
    manager.Initialize(PathOf(file), m_window.GetHandle());
    manager.ComputeHash(Crypto::HashAlgorithm::Sha256);
    ASSERT_TRUE(m_window.WaitForNotifications(1, Patience));

    TarnTest::DebugOutputListener listener;
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Sha256));
    Tarn::IBuffer* first = manager.GetHash(Crypto::HashAlgorithm::Sha256);
    Tarn::IBuffer* second = manager.GetHash(Crypto::HashAlgorithm::Sha256);
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);

    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(3, first->GetReferenceCount()) << "the manager's and one per GetHash";
    EXPECT_EQ(CryptoTest::KnownAnswers()[2].abc, HexOf(first));
    second->Release();
    EXPECT_TRUE(listener.GetLinesContaining("ComputeHashOperation constructor").empty());
    EXPECT_FALSE(m_window.WaitForNotifications(2, 200));
}

TEST_F(HashManagerTest, EveryAlgorithmGivesItsPublishedDigestOfRealFiles)
{
    const TemporaryFile files[] = {TemporaryFile(""), TemporaryFile("abc"), TemporaryFile(std::string(1000000, 'a'))};
    for (const TemporaryFile& file : files)
    {
        NotificationWindow window;
        HashManager manager;
        manager.Initialize(PathOf(file), window.GetHandle());
        for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
        {
            EXPECT_TRUE(manager.ComputeHash(answer.algorithm));
        }
        ASSERT_TRUE(window.WaitForNotifications(CryptoTest::KnownAnswers().size(), Patience));

        for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
        {
            SCOPED_TRACE(answer.name);
            const char* expected = &file == &files[0] ? answer.empty : &file == &files[1] ? answer.abc : answer.millionA;
            Tarn::IBuffer* digest = manager.GetHash(answer.algorithm);
            ASSERT_NE(nullptr, digest);
            EXPECT_EQ(answer.digestLength, digest->GetLength());
            EXPECT_EQ(expected, HexOf(digest));
        }
    }
}

TEST_F(HashManagerTest, MissingFileIsRecordedAndPostedBeforeComputeHashReturnsAndNeverRetried)
{
    const TemporaryFile neighbour("x");
    HashManager manager;
    manager.Initialize(Tarn::String((neighbour.GetPath() + L".missing").c_str(), false), m_window.GetHandle());

    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Md5));
    EXPECT_EQ(FileNotFound, manager.GetErrorCode(Crypto::HashAlgorithm::Md5));
    EXPECT_EQ(nullptr, manager.GetHash(Crypto::HashAlgorithm::Md5));
    m_window.DispatchPending();
    ASSERT_EQ(1u, m_window.GetNotifications().size()) << "posted before ComputeHash returned";
    EXPECT_EQ(1u, m_window.GetNotifications()[0].kind);
    EXPECT_EQ(ParamOf(Crypto::HashAlgorithm::Md5), m_window.GetNotifications()[0].algorithm);

    TarnTest::DebugOutputListener listener;
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    EXPECT_FALSE(manager.ComputeHash(Crypto::HashAlgorithm::Md5));
    EXPECT_FALSE(manager.ComputeHash(Crypto::HashAlgorithm::Md5));
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
    EXPECT_TRUE(listener.GetLinesContaining("ComputeHashOperation constructor").empty());
    EXPECT_EQ(FileNotFound, manager.GetErrorCode(Crypto::HashAlgorithm::Md5));
    EXPECT_FALSE(m_window.WaitForNotifications(2, 200));
}

TEST_F(HashManagerTest, FileLockedAgainstReadersIsRecordedAsSharingViolation)
{
    const TemporaryFile file("locked");
    const HANDLE exclusive =
        ::CreateFileW(file.GetPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
    HashManager manager;
    manager.Initialize(PathOf(file), m_window.GetHandle());

    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Sha384));
    EXPECT_EQ(SharingViolation, manager.GetErrorCode(Crypto::HashAlgorithm::Sha384));
    ::CloseHandle(exclusive);
    EXPECT_FALSE(manager.ComputeHash(Crypto::HashAlgorithm::Sha384)) << "no retry once the lock is gone";
    ASSERT_TRUE(m_window.WaitForNotifications(1, Patience));
    EXPECT_EQ(1u, m_window.GetNotifications()[0].kind);
}

TEST_F(HashManagerTest, WorksOnlyBetweenInitializeAndShutdown)
{
    const TemporaryFile file("abc");
    HashManager manager;
    EXPECT_THROW(manager.GetHash(Crypto::HashAlgorithm::Md5), Tarn::InvalidOperationException);
    EXPECT_THROW(manager.ComputeHash(Crypto::HashAlgorithm::Md5), Tarn::InvalidOperationException);
    EXPECT_THROW(manager.GetErrorCode(Crypto::HashAlgorithm::Md5), Tarn::InvalidOperationException);
    manager.Shutdown();
    EXPECT_EQ(HashManagerState::NotInitialized, manager.GetState());

    manager.Initialize(PathOf(file), m_window.GetHandle());
    EXPECT_EQ(HashManagerState::Active, manager.GetState());
    EXPECT_THROW(manager.Initialize(PathOf(file), m_window.GetHandle()), Tarn::InvalidOperationException);

    TarnTest::DebugOutputListener listener;
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    manager.Shutdown();
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
    EXPECT_EQ(HashManagerState::ShutDown, manager.GetState());
    EXPECT_TRUE(listener.GetLinesContaining("HashManager::Shutdown").empty()) << "nothing to shut down";
    EXPECT_THROW(manager.ComputeHash(Crypto::HashAlgorithm::Md5), Tarn::InvalidOperationException);
    EXPECT_THROW(manager.GetHash(Crypto::HashAlgorithm::Md5), Tarn::InvalidOperationException);
    EXPECT_THROW(manager.Initialize(PathOf(file), m_window.GetHandle()), Tarn::InvalidOperationException);
}

TEST_F(HashManagerTest, ShutdownCancelsAndAwaitsRunningComputationsWithoutNotifying)
{
    const TemporaryFile file = TemporaryFile::OfSize(64 << 20);
    HashManager manager;
    manager.Initialize(PathOf(file), m_window.GetHandle());
    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Sha512));
    EXPECT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Md5));

    TarnTest::DebugOutputListener listener;
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    manager.Shutdown();
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);

    EXPECT_EQ(HashManagerState::ShutDown, manager.GetState());
    EXPECT_EQ(1u, listener.GetLinesContaining("Found 2 active compute operations").size());
    EXPECT_EQ(1u, listener.GetLinesContaining("Waiting for 2 active compute operations to complete...").size());
    EXPECT_EQ(1u, listener.GetLinesContaining("Wait succeded").size());
    EXPECT_EQ(2u, listener.GetLinesContaining("Compute hash operation completed").size());
    EXPECT_EQ(1u, listener.GetLinesContaining("HashManager was shut down successfully").size());
    EXPECT_FALSE(m_window.WaitForNotifications(1, 300)) << "cancelled computations post nothing";

    listener.Clear();
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    manager.Shutdown();
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
    EXPECT_TRUE(listener.GetLines().empty()) << "a second Shutdown does nothing";
    EXPECT_THROW(manager.ComputeHash(Crypto::HashAlgorithm::Sha1), Tarn::InvalidOperationException);
}

TEST_F(HashManagerTest, UnknownAlgorithmIsRefusedBeforeAnythingIsOpenedStartedOrRecorded)
{
    const TemporaryFile file("abc");
    HashManager manager;
    manager.Initialize(PathOf(file), m_window.GetHandle());
    TarnTest::DebugOutputListener listener;
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);

    for (const INT32 value : {0, 6, -1})
    {
        SCOPED_TRACE(value);
        const auto algorithm = static_cast<Crypto::HashAlgorithm>(value);
        EXPECT_THROW(manager.ComputeHash(algorithm), Tarn::ArgumentException);
        EXPECT_TRUE(::DeleteFileW(file.GetPath().c_str())) << "the file was never opened";
        const HANDLE recreated = ::CreateFileW(file.GetPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, recreated);
        ::CloseHandle(recreated);
        EXPECT_EQ(S_OK, manager.GetErrorCode(algorithm)) << "nothing recorded";
    }
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
    EXPECT_TRUE(listener.GetLinesContaining("ComputeHashOperation constructor").empty()) << "no worker started";
    EXPECT_FALSE(m_window.WaitForNotifications(1, 100));
}

TEST_F(HashManagerTest, ShutdownAbortsAReadThatWouldNeverCompleteAndPostsNothing)
{
    TarnTest::DebugOutputListener listener;
    const size_t threadsBefore = DigestryTest::CountProcessThreads();
    // The worker has taken the fed byte and is on its way into the next read, which nothing will
    // ever answer; a Shutdown may still come before that read has begun, and then the worker stops
    // at its look at the cancellation instead. Rounds go on until one has aborted the read.
    bool aborted = false;
    for (int round = 0; round < 20 && !aborted; ++round)
    {
        DigestryTest::SilentPipe pipe;
        HashManager manager;
        manager.Initialize(Tarn::String(pipe.GetPath().c_str(), false), m_window.GetHandle());
        ASSERT_TRUE(manager.ComputeHash(Crypto::HashAlgorithm::Sha256));
        ASSERT_TRUE(pipe.Feed());

        manager.Shutdown();
        EXPECT_FALSE(pipe.WatchdogFired()) << "Shutdown returned only because the pipe was disconnected";
        EXPECT_EQ(HashManagerState::ShutDown, manager.GetState());
        aborted = !listener.GetLinesContaining("Exception caught. Error code: 0x800703E3").empty();
    }
    EXPECT_TRUE(aborted) << "no round aborted a read";
    m_window.DispatchPending();
    EXPECT_TRUE(m_window.GetNotifications().empty()) << "a cancelled computation posts nothing";
    EXPECT_TRUE(WaitForThreadCount(threadsBefore));
}

TEST_F(HashManagerTest, NoCompletionMessageIsPostedAfterShutdownHasReturned)
{
    const TemporaryFile file("abc");
    const WPARAM shutdownReturned = 2;
    // A window per round, so that each round's late messages are told apart from the next round's.
    std::vector<std::unique_ptr<NotificationWindow>> windows;
    for (int round = 0; round < 400; ++round)
    {
        windows.push_back(std::make_unique<NotificationWindow>());
        const HWND window = windows.back()->GetHandle();
        HashManager manager;
        manager.Initialize(PathOf(file), window);
        for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
        {
            manager.ComputeHash(answer.algorithm);
        }
        // Shuts down the moment the last digest is stored, while its completion is still on its way.
        for (size_t stored = 0; stored < CryptoTest::KnownAnswers().size();)
        {
            stored = 0;
            for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
            {
                if (Tarn::IBuffer* digest = manager.GetHash(answer.algorithm))
                {
                    digest->Release();
                    ++stored;
                }
            }
        }
        manager.Shutdown();
        ::PostMessageW(window, HashManager::CompletionMessage, shutdownReturned, 0);
    }
    windows.back()->WaitForNotifications(~static_cast<size_t>(0), 300);

    size_t lateRounds = 0;
    for (const std::unique_ptr<NotificationWindow>& window : windows)
    {
        lateRounds += window->GetNotifications().back().kind != shutdownReturned ? 1 : 0;
    }
    EXPECT_EQ(0u, lateRounds) << "rounds with a message that arrived after Shutdown had returned";
}

TEST_F(HashManagerTest, NoCompletionCallbackTouchesAManagerDestroyedRightAfterShutdown)
{
    const TemporaryFile file = TemporaryFile::OfSize(2 << 20);
    alignas(HashManager) unsigned char storage[sizeof(HashManager)];
    // Every callback traces on entry. Tracing to a listening debugger is slow, which widens the gap
    // between an operation's completion event and its callback: a Shutdown that returned inside that
    // gap would leave a callback to run against the destroyed manager.
    TarnTest::DebugOutputListener listener;
    Tarn::SetTraceLevel(Tarn::TraceLevel::Info);
    for (int round = 0; round < 20; ++round)
    {
        listener.Clear();
        HashManager* manager = new (storage) HashManager();
        manager->Initialize(PathOf(file), m_window.GetHandle());
        for (const CryptoTest::KnownAnswer& answer : CryptoTest::KnownAnswers())
        {
            manager->ComputeHash(answer.algorithm);
        }
        ::Sleep(round % 8);
        manager->Shutdown();
        ASSERT_EQ(CryptoTest::KnownAnswers().size(), listener.GetLinesContaining("Compute hash operation completed").size())
            << "every callback has run when Shutdown returns";
        manager->~HashManager();
        // A callback still on its way would now find garbage instead of a lock and a map.
        std::memset(storage, 0xDD, sizeof(storage));
    }
    Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
    m_window.DispatchPending();
    for (const NotificationWindow::Notification& notification : m_window.GetNotifications())
    {
        EXPECT_EQ(0u, notification.kind) << "only computations that completed before Shutdown post";
    }
}

TEST_F(HashManagerTest, RepeatedUseLeavesNoThreadsHandlesOrHeapBehind)
{
    const TemporaryFile small("abc");
    const TemporaryFile large = TemporaryFile::OfSize(64 << 20);
    const size_t threadsBefore = DigestryTest::CountProcessThreads();
    const auto workload = [&] {
        NotificationWindow window;
        {
            HashManager manager;
            manager.Initialize(PathOf(small), window.GetHandle());
            manager.ComputeHash(Crypto::HashAlgorithm::Md5);
            manager.ComputeHash(Crypto::HashAlgorithm::Sha256);
            window.WaitForNotifications(2, Patience);
        }
        HashManager manager;
        manager.Initialize(PathOf(large), window.GetHandle());
        manager.ComputeHash(Crypto::HashAlgorithm::Sha1);
        manager.ComputeHash(Crypto::HashAlgorithm::Sha384);
        manager.Shutdown();
        WaitForThreadCount(threadsBefore);
    };

    workload();
    const size_t handlesBefore = TarnTest::CountOpenHandles();
    const size_t heapGrowth = TarnTest::MeasureHeapGrowth(workload, 50);

    EXPECT_TRUE(WaitForThreadCount(threadsBefore));
    EXPECT_LE(TarnTest::CountOpenHandles(), handlesBefore);
    // Less than one heap block (16 bytes at least) per cycle: nothing is left behind by any of them.
    EXPECT_LT(heapGrowth, 50u * 16u);
}
