#include <gtest/gtest.h>

#include <thread>

#include "tarnexception.h"
#include "tarntrace.h"
#include "tarnwaitableobject.h"
#include "testsupport.h"

namespace
{
    // Waiting is shared by every kernel object; a mutex is the one that can be abandoned.
    class Mutex : public Tarn::WaitableObject
    {
    public:
        explicit Mutex(HANDLE handle) : m_handle(handle) {}
        ~Mutex() override { ::CloseHandle(m_handle); }
        HANDLE GetHandle() const override { return m_handle; }

    private:
        HANDLE m_handle;
    };

    // A handle value that names nothing, so that the wait itself fails.
    class Stale : public Tarn::WaitableObject
    {
    public:
        HANDLE GetHandle() const override { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FFC)); }
    };
}

TEST(WaitableObjectTest, AbandonedWaitReturnsFalseButTakesTheObject)
{
    Mutex mutex(::CreateMutexW(nullptr, FALSE, nullptr));
    ASSERT_NE(nullptr, mutex.GetHandle());
    std::thread owner([&mutex] { EXPECT_TRUE(mutex.WaitFor(0)); });
    owner.join();

    EXPECT_FALSE(mutex.WaitFor(INFINITE));
    EXPECT_TRUE(::ReleaseMutex(mutex.GetHandle()));
    EXPECT_TRUE(mutex.WaitFor(0));
    EXPECT_TRUE(::ReleaseMutex(mutex.GetHandle()));
}

TEST(WaitableObjectTest, FailedWaitIsTracedAndThrownWithTheWindowsError)
{
    TarnTest::DebugOutputListener listener;
    Stale stale;
    try
    {
        stale.WaitFor(0);
        FAIL() << "the wait on a stale handle succeeded";
    }
    catch (const Tarn::SystemException& exception)
    {
        EXPECT_EQ(static_cast<HRESULT>(0x80070006), exception.GetErrorCode());
    }
    const auto lines = listener.GetLinesContaining(" ERROR src\\tarnwaitableobject(");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find(" Tarn::WaitableObject::WaitFor(): WaitForSingleObject() failed, error code 0x6\r\n"));
}
