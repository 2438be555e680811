#include <gtest/gtest.h>

#include <random>
#include <string>

#include "hashmanager.h"
#include "notificationwindow.h"
#include "testfiles.h"
#include "testsupport.h"

namespace
{
    const wchar_t EngineDllName[] = L"digestry_enginetest.dll";

    typedef HashManager*(WINAPI* CreateFunction)(PCWSTR filePath, HWND notificationWindow);
    typedef BOOL(WINAPI* ComputeHashFunction)(HashManager* manager, INT32 algorithm);
    typedef void(WINAPI* ShutdownFunction)(HashManager* manager);
}

// A shell host frees the extension's DLL as soon as it may, which can be right after the last page
// has shut its engine down while workers are still winding down.
TEST(EngineUnloadTest, LibraryFreedRightAfterShutdownStaysLoadedUntilItsLastWorkerHasExited)
{
    const DigestryTest::TemporaryFile file = DigestryTest::TemporaryFile::OfSize(8 << 20);
    DigestryTest::NotificationWindow window;
    const std::wstring dllPath = TarnTest::GetTestFolder() + EngineDllName;
    std::mt19937 random(9);

    for (int cycle = 0; cycle < 400; ++cycle)
    {
        const HMODULE engine = ::LoadLibraryW(dllPath.c_str());
        ASSERT_NE(nullptr, engine);
        const auto create = TarnTest::GetExport<CreateFunction>(engine, "EngineCreate");
        const auto computeHash = TarnTest::GetExport<ComputeHashFunction>(engine, "EngineComputeHash");
        const auto shutdown = TarnTest::GetExport<ShutdownFunction>(engine, "EngineShutdown");
        ASSERT_TRUE(create != nullptr && computeHash != nullptr && shutdown != nullptr);

        HashManager* manager = create(file.GetPath().c_str(), window.GetHandle());
        ASSERT_NE(nullptr, manager);
        const int requests = 1 + static_cast<int>(random() % 5);
        for (int algorithm = 1; algorithm <= requests; ++algorithm)
        {
            EXPECT_TRUE(computeHash(manager, algorithm));
        }
        ::Sleep(random() % 3);
        shutdown(manager);
        ::FreeLibrary(engine);
        window.DispatchPending();
    }

    EXPECT_TRUE(TarnTest::WaitUntil([] { return ::GetModuleHandleW(EngineDllName) == nullptr; }))
        << "the module is gone once its last worker has exited";
}
