#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <utility>

#include "tarncomautoptr.h"
#include "testserver.h"
#include "testserverlibrary.h"
#include "testsupport.h"

using TarnTest::KeyContent;
using TarnTest::ReadKey;
using TarnTest::RunToEnd;

namespace
{
    const CLSID* const ServerClasses[] = {&TestServer::ApartmentObjectClsid, &TestServer::FreeObjectClsid,
                                          &TestServer::UnavailableObjectClsid};
    const HRESULT ElevationRequired = HRESULT_FROM_WIN32(740);

    std::wstring ClsidKeyName(const CLSID& clsid)
    {
        wchar_t text[40];
        ::StringFromGUID2(clsid, text, ARRAYSIZE(text));
        return std::wstring(L"CLSID\\") + text;
    }

    std::wstring Quoted(const std::wstring& text)
    {
        return L"\"" + text + L"\"";
    }
}

// Registers the test server in the test prefix's registry and reads the result back; every test
// starts and ends with the server's classes unregistered.
class ServerRegistrationTest : public testing::Test
{
protected:
    void SetUp() override { RemoveClasses(); }
    void TearDown() override { RemoveClasses(); }

    static void RemoveClasses()
    {
        for (const CLSID* clsid : ServerClasses)
        {
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKeyName(*clsid).c_str());
        }
    }

    static DWORD RegSvr32(const std::wstring& options)
    {
        return RunToEnd(L"regsvr32.exe /s " + options + Quoted(m_serverPath));
    }

    static DWORD RunModuleHost(PCWSTR command, HANDLE token)
    {
        return RunToEnd(Quoted(TarnTest::GetTestFolder() + L"tarn_modulehost.exe") + L" " + command + L" " +
                       Quoted(m_serverPath),
                   token);
    }

    static bool AnyClassKeyExists()
    {
        for (const CLSID* clsid : ServerClasses)
        {
            if (ReadKey(ClsidKeyName(*clsid)).exists)
            {
                return true;
            }
        }
        return false;
    }

    static const std::wstring m_serverPath;
};

const std::wstring ServerRegistrationTest::m_serverPath = TestServer::GetServerPath();

TEST_F(ServerRegistrationTest, RegistersEveryClassWithItsPathAndThreadingModelAndNothingElseEvenTwice)
{
    const std::wstring descriptions[] = {TestServer::ApartmentObjectDescription, L"",
                                         TestServer::UnavailableObjectDescription};
    const std::wstring models[] = {L"Apartment", L"Free", L"Both"};

    for (int registration = 1; registration <= 2; ++registration)
    {
        ASSERT_EQ(0u, RegSvr32(L""));
        for (size_t index = 0; index < ARRAYSIZE(ServerClasses); ++index)
        {
            KeyContent classKey;
            classKey.exists = true;
            if (!descriptions[index].empty())
            {
                classKey.values[L""] = std::make_pair(static_cast<DWORD>(REG_SZ), descriptions[index]);
            }
            classKey.subkeys.push_back(L"InProcServer32");
            KeyContent serverKey;
            serverKey.exists = true;
            serverKey.values[L""] = std::make_pair(static_cast<DWORD>(REG_SZ), m_serverPath);
            serverKey.values[L"ThreadingModel"] = std::make_pair(static_cast<DWORD>(REG_SZ), models[index]);

            const std::wstring name = ClsidKeyName(*ServerClasses[index]);
            EXPECT_TRUE(classKey == ReadKey(name)) << "registration " << registration << ", class " << index;
            EXPECT_TRUE(serverKey == ReadKey(name + L"\\InProcServer32")) << "registration " << registration
                                                                          << ", class " << index;
        }
    }
}

TEST_F(ServerRegistrationTest, UnregisteringRemovesTheClassKeysAndSucceedsWhenNothingIsLeft)
{
    ASSERT_EQ(0u, RegSvr32(L""));
    EXPECT_EQ(0u, RegSvr32(L"/u "));
    EXPECT_FALSE(AnyClassKeyExists());
    EXPECT_EQ(0u, RegSvr32(L"/u "));
}

TEST_F(ServerRegistrationTest, RegisteredClassIsCreatedThroughCom)
{
    ASSERT_EQ(0u, RegSvr32(L""));
    ASSERT_EQ(S_OK, ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        Tarn::Com::ComAutoPtr<IPersist> object;
        ASSERT_EQ(S_OK, ::CoCreateInstance(TestServer::ApartmentObjectClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersist,
                                           reinterpret_cast<void**>(object.GetAddress())));
        CLSID clsid = {};
        EXPECT_EQ(S_OK, object->GetClassID(&clsid));
        EXPECT_TRUE(::IsEqualCLSID(TestServer::ApartmentObjectClsid, clsid));
    }
    ::CoUninitialize();
}

TEST_F(ServerRegistrationTest, ProcessWithoutElevationCanNeitherRegisterNorUnregister)
{
    const HANDLE unelevated = TarnTest::CreateUnelevatedToken();
    ASSERT_NE(nullptr, unelevated);

    EXPECT_EQ(static_cast<DWORD>(ElevationRequired), RunModuleHost(L"register", unelevated));
    EXPECT_FALSE(AnyClassKeyExists());

    ASSERT_EQ(0u, RunModuleHost(L"register", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ElevationRequired), RunModuleHost(L"unregister", unelevated));
    EXPECT_TRUE(ReadKey(ClsidKeyName(TestServer::ApartmentObjectClsid)).exists);
    ::CloseHandle(unelevated);
}
