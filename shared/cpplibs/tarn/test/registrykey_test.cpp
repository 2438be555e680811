#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tarnexception.h"
#include "tarnregistrykey.h"
#include "tarnstring.h"
#include "testsupport.h"

extern "C" LONG NTAPI NtQueryKey(HANDLE key, int informationClass, void* information, ULONG size, ULONG* needed);

namespace
{
    const wchar_t ScratchKeyName[] = L"Software\\TarnTests.RegistryKey";
    const std::string ScratchKeyPath = "HKEY_CURRENT_USER\\Software\\TarnTests.RegistryKey";

    Tarn::String Text(PCWSTR text)
    {
        return Tarn::String(text, false);
    }

    std::string Narrow(const Tarn::String& text)
    {
        const std::wstring wide(text.GetBuffer() == nullptr ? L"" : text.GetBuffer());
        return std::string(wide.begin(), wide.end());
    }

    bool KeyExists(const std::wstring& name)
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        {
            return false;
        }
        ::RegCloseKey(key);
        return true;
    }

    bool IsOpenKeyHandle(HKEY key)
    {
        DWORD subkeys = 0;
        return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    // The key's name in the system's own namespace ("\\Registry\\User\\..."), which links point to.
    std::wstring NativePath(HKEY key)
    {
        const int KeyNameInformation = 3;
        struct
        {
            ULONG length;
            WCHAR name[1024];
        } information = {};
        ULONG needed = 0;
        if (NtQueryKey(key, KeyNameInformation, &information, sizeof(information), &needed) != 0)
        {
            return std::wstring();
        }
        return std::wstring(information.name, information.length / sizeof(WCHAR));
    }

    // A link key under the current user that points to the target's native path.
    bool CreateLink(const std::wstring& name, const std::wstring& target)
    {
        HKEY link = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS, nullptr, &link, nullptr) != ERROR_SUCCESS)
        {
            return false;
        }
        const LONG result = ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                             reinterpret_cast<const BYTE*>(target.data()),
                                             static_cast<DWORD>(target.size() * sizeof(WCHAR)));
        ::RegCloseKey(link);
        return result == ERROR_SUCCESS;
    }

    // The value's type and raw bytes as the registry holds them.
    bool QueryValue(const std::wstring& keyName, PCWSTR valueName, DWORD& type, std::vector<BYTE>& bytes)
    {
        BYTE data[1024];
        DWORD size = sizeof(data);
        if (::RegGetValueW(HKEY_CURRENT_USER, keyName.c_str(), valueName, RRF_RT_ANY | RRF_NOEXPAND, &type, data,
                           &size) != ERROR_SUCCESS)
        {
            return false;
        }
        bytes.assign(data, data + size);
        return true;
    }
}

// Works below a scratch key of the current user, removed before and after each test.
class RegistryKeyTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyName);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, ScratchKeyName, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                    nullptr, &key, nullptr));
        ::RegCloseKey(key);
    }

    void TearDown() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKeyName);
    }

    static Tarn::RegistryKey OpenScratchKey()
    {
        return Tarn::RegistryKey::CurrentUser.OpenSubkey(Text(ScratchKeyName), KEY_ALL_ACCESS);
    }

    static std::wstring Below(PCWSTR name)
    {
        return std::wstring(ScratchKeyName) + L"\\" + name;
    }
};

namespace
{
    struct Root
    {
        const Tarn::RegistryKey& key;
        HKEY handle;
        const char* path;
    };

    void PrintTo(const Root& root, std::ostream* out) { *out << root.path; }

    std::vector<Root> Roots()
    {
        return {
            {Tarn::RegistryKey::ClassesRoot, HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
            {Tarn::RegistryKey::CurrentUser, HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
            {Tarn::RegistryKey::LocalMachine, HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
            {Tarn::RegistryKey::Users, HKEY_USERS, "HKEY_USERS"},
            {Tarn::RegistryKey::PerformanceData, HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
            {Tarn::RegistryKey::CurrentConfig, HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
        };
    }
}

class RegistryRootTest : public RegistryKeyTest, public testing::WithParamInterface<Root>
{
};

TEST_P(RegistryRootTest, RootObjectsHoldThePredefinedHandlesUnderTheirNames)
{
    const Root& root = GetParam();
    EXPECT_EQ(root.handle, root.key.GetHandle());
    EXPECT_EQ(root.path, Narrow(root.key.GetPath()));
    EXPECT_TRUE(root.key.IsPredefined());
}
INSTANTIATE_TEST_SUITE_P(, RegistryRootTest, testing::ValuesIn(Roots()),
                         [](const testing::TestParamInfo<Root>& row) { return std::string(row.param.path); });

TEST_F(RegistryKeyTest, SubkeyPathIsTheParentPathABackslashAndTheName)
{
    Tarn::RegistryKey clsid = Tarn::RegistryKey::ClassesRoot.OpenSubkey(Text(L"CLSID"), KEY_READ);
    EXPECT_EQ("HKEY_CLASSES_ROOT\\CLSID", Narrow(clsid.GetPath()));
    EXPECT_NE(nullptr, clsid.GetHandle());
    EXPECT_FALSE(clsid.IsPredefined());

    Tarn::RegistryKey created = OpenScratchKey().CreateSubkey(Text(L"Level1\\Level2"), KEY_READ);
    EXPECT_EQ(ScratchKeyPath + "\\Level1\\Level2", Narrow(created.GetPath()));
    EXPECT_TRUE(KeyExists(Below(L"Level1\\Level2")));
}

namespace
{
    struct FailedCall
    {
        const char* call;
        std::function<void()> act;
        HRESULT code;
        const char* function;
        std::string message;
    };

    void PrintTo(const FailedCall& call, std::ostream* out) { *out << call.call; }
}

// Every failed registry call writes one ERROR line, naming the key where the call knows its path, and
// throws the system's error.
class RegistryFailureTest : public RegistryKeyTest, public testing::WithParamInterface<FailedCall>
{
public:
    static std::vector<FailedCall> Calls();
};

std::vector<FailedCall> RegistryFailureTest::Calls()
{
    return {
        {"OpenSubkey of a missing key", [] { OpenScratchKey().OpenSubkey(Text(L"Missing"), KEY_READ); },
         HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Tarn::RegistryKey::OpenSubkey",
         "RegOpenKeyEx() failed for key " + ScratchKeyPath + "\\Missing, error code 0x2"},
        {"CreateSubkey below a volatile key",
         [] { OpenScratchKey().CreateSubkey(Text(L"Volatile\\Lasting"), KEY_WRITE); },
         HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE), "Tarn::RegistryKey::CreateSubkey",
         "RegCreateKeyEx() failed for key " + ScratchKeyPath + "\\Volatile\\Lasting, error code 0x3FD"},
        {"SetStringValue on a key opened for reading",
         [] {
             Tarn::RegistryKey::CurrentUser.OpenSubkey(Text(ScratchKeyName), KEY_READ)
                 .SetStringValue(Text(L"Denied"), Text(L"x"), REG_SZ);
         },
         HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), "Tarn::RegistryKey::SetStringValue",
         "RegSetValueEx() failed, error code 0x5"},
        {"DeleteSubkey on an object that holds no key", [] { Tarn::RegistryKey().DeleteSubkey(Text(L"Child")); },
         HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), "Tarn::RegistryKey::InternalDeleteSubkey",
         "RegOpenKeyEx() failed, error code 0x6"},
    };
}

TEST_P(RegistryFailureTest, FailedCallsAreTracedOnceAndThrown)
{
    // A lasting key cannot be created below a volatile one.
    HKEY volatileKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, Below(L"Volatile").c_str(), 0, nullptr,
                                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr));
    ::RegCloseKey(volatileKey);
    const FailedCall& call = GetParam();
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(call.code, TarnTest::ThrownCode(call.act));
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarnregistrykey", call.function, call.message));
}
INSTANTIATE_TEST_SUITE_P(, RegistryFailureTest, testing::ValuesIn(RegistryFailureTest::Calls()),
                         [](const testing::TestParamInfo<FailedCall>& row) { return TarnTest::CaseName(row.param.call); });

TEST_F(RegistryKeyTest, SetStringValueWritesTheTextWithItsTerminatorAndRefusesNull)
{
    Tarn::RegistryKey scratch = OpenScratchKey();
    scratch.SetStringValue(Text(L"Named"), Text(L"abc"), REG_SZ);
    scratch.SetStringValue(Tarn::String(L"", true), Text(L"default"), REG_SZ);
    scratch.SetStringValue(Text(L"Empty"), Tarn::String(L"", true), REG_SZ);
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { scratch.SetStringValue(Text(L"Null"), Tarn::String(), REG_SZ); }));

    DWORD type = 0;
    std::vector<BYTE> bytes;
    ASSERT_TRUE(QueryValue(ScratchKeyName, L"Named", type, bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_TRUE((std::vector<BYTE>{'a', 0, 'b', 0, 'c', 0, 0, 0}) == bytes);

    ASSERT_TRUE(QueryValue(ScratchKeyName, nullptr, type, bytes));
    EXPECT_EQ(16u, bytes.size());

    ASSERT_TRUE(QueryValue(ScratchKeyName, L"Empty", type, bytes));
    EXPECT_TRUE((std::vector<BYTE>{0, 0}) == bytes);

    EXPECT_FALSE(QueryValue(ScratchKeyName, L"Null", type, bytes));
}

TEST_F(RegistryKeyTest, DeleteValueRemovesOneValueOfTheKeyOrASubkeyAndAMissingOneIsNoFailure)
{
    Tarn::RegistryKey scratch = OpenScratchKey();
    scratch.SetStringValue(Text(L"Kept"), Text(L"k"), REG_SZ);
    scratch.SetStringValue(Tarn::String(L"", true), Text(L"d"), REG_SZ);
    scratch.CreateSubkey(Text(L"Sub"), KEY_WRITE).SetStringValue(Text(L"Gone"), Text(L"g"), REG_SZ);
    TarnTest::DebugOutputListener listener;

    EXPECT_TRUE(scratch.DeleteValue(Text(L"Sub"), Text(L"Gone")));
    EXPECT_TRUE(scratch.DeleteValue(Tarn::String(L"", true), Tarn::String(L"", true)));
    EXPECT_FALSE(scratch.DeleteValue(Text(L"Sub"), Text(L"Gone")));
    EXPECT_FALSE(scratch.DeleteValue(Text(L"Missing"), Text(L"Gone")));
    EXPECT_TRUE(listener.GetLinesContaining("tarnregistrykey").empty());

    DWORD type = 0;
    std::vector<BYTE> bytes;
    EXPECT_TRUE(QueryValue(ScratchKeyName, L"Kept", type, bytes));
    EXPECT_FALSE(QueryValue(ScratchKeyName, nullptr, type, bytes));
    EXPECT_TRUE(KeyExists(Below(L"Sub")));

    const Tarn::RegistryKey readOnly = Tarn::RegistryKey::CurrentUser.OpenSubkey(Text(ScratchKeyName), KEY_READ);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
              TarnTest::ThrownCode([&] { readOnly.DeleteValue(Tarn::String(), Text(L"Kept")); }));
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarnregistrykey", "Tarn::RegistryKey::DeleteValue",
                                            "RegDeleteKeyValue() failed for key " + ScratchKeyPath + ", error code 0x5"));
}

TEST_F(RegistryKeyTest, DeleteSubkeyRemovesAThreeLevelTreeChildrenFirst)
{
    Tarn::RegistryKey scratch = OpenScratchKey();
    scratch.CreateSubkey(Text(L"Tree\\A\\A1\\A1a"), KEY_WRITE).SetStringValue(Text(L"v"), Text(L"1"), REG_SZ);
    scratch.CreateSubkey(Text(L"Tree\\A\\A2"), KEY_WRITE);
    scratch.CreateSubkey(Text(L"Tree\\B\\B1\\B1a"), KEY_WRITE);
    scratch.CreateSubkey(Text(L"Tree"), KEY_WRITE).SetStringValue(Tarn::String(L"", true), Text(L"t"), REG_SZ);
    scratch.CreateSubkey(Text(L"Sibling"), KEY_WRITE);

    // The registry refuses to delete a key that still has subkeys, so success means children first.
    EXPECT_TRUE(scratch.DeleteSubkey(Text(L"Tree")));

    EXPECT_FALSE(KeyExists(Below(L"Tree")));
    EXPECT_TRUE(KeyExists(Below(L"Sibling")));
}

TEST_F(RegistryKeyTest, DeleteSubkeyRemovesLinksWithoutFollowingThem)
{
    Tarn::RegistryKey scratch = OpenScratchKey();
    scratch.CreateSubkey(Text(L"Outside\\Child"), KEY_WRITE);
    scratch.CreateSubkey(Text(L"Tree\\Plain"), KEY_WRITE);
    const std::wstring scratchPath = NativePath(scratch.GetHandle());
    ASSERT_TRUE(CreateLink(Below(L"Tree\\Escape"), scratchPath + L"\\Outside"));
    ASSERT_TRUE(CreateLink(Below(L"Tree\\Lost"), scratchPath + L"\\Missing"));
    ASSERT_TRUE(KeyExists(Below(L"Tree\\Escape\\Child"))) << "the link leads outside the tree";

    // On a thread of its own, so that a delete that never ends fails the test instead of hanging it.
    const auto outcome = std::make_shared<std::atomic<int>>(-1);
    std::thread([outcome] {
        try
        {
            *outcome = OpenScratchKey().DeleteSubkey(Text(L"Tree")) ? 1 : 0;
        }
        catch (const Tarn::Exception&)
        {
            *outcome = 0;
        }
    }).detach();
    TarnTest::WaitUntil([&outcome] { return *outcome >= 0; });

    EXPECT_EQ(1, *outcome) << "deleted, and not caught in a loop of links";
    EXPECT_FALSE(KeyExists(Below(L"Tree")));
    EXPECT_TRUE(KeyExists(Below(L"Outside\\Child"))) << "what a link points to is not the tree's";
}

TEST_F(RegistryKeyTest, DeleteSubkeyOfAMissingKeyReturnsFalseWithoutATrace)
{
    TarnTest::DebugOutputListener listener;

    EXPECT_FALSE(OpenScratchKey().DeleteSubkey(Text(L"Missing")));
    EXPECT_TRUE(listener.GetLinesContaining("tarnregistrykey").empty());
}

TEST_F(RegistryKeyTest, DeleteSubkeyRefusesANameThatWouldMeanTheKeyItself)
{
    Tarn::RegistryKey scratch = OpenScratchKey();
    scratch.CreateSubkey(Text(L"Child"), KEY_WRITE);

    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { scratch.DeleteSubkey(Tarn::String(L"", true)); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { scratch.DeleteSubkey(Tarn::String()); }));
    EXPECT_TRUE(KeyExists(Below(L"Child")));
}

TEST_F(RegistryKeyTest, AssignedCopyOutlivesTheOriginal)
{
    Tarn::RegistryKey original = OpenScratchKey();
    Tarn::RegistryKey copy;
    copy = original;

    EXPECT_NE(original.GetHandle(), copy.GetHandle());
    EXPECT_EQ(Narrow(original.GetPath()), Narrow(copy.GetPath()));

    original.Close();
    original.Close();
    EXPECT_EQ(nullptr, original.GetHandle());
    EXPECT_TRUE(original.GetPath().IsEmpty());

    copy.SetStringValue(Text(L"ThroughCopy"), Text(L"x"), REG_SZ);
    DWORD type = 0;
    std::vector<BYTE> bytes;
    EXPECT_TRUE(QueryValue(ScratchKeyName, L"ThroughCopy", type, bytes));
}

TEST_F(RegistryKeyTest, CloseAndDestructionReleaseTheHandle)
{
    Tarn::RegistryKey closed = OpenScratchKey();
    const HKEY closedHandle = closed.GetHandle();
    closed.Close();
    EXPECT_FALSE(IsOpenKeyHandle(closedHandle));

    HKEY destroyedHandle = nullptr;
    {
        Tarn::RegistryKey destroyed = OpenScratchKey();
        destroyedHandle = destroyed.GetHandle();
        EXPECT_TRUE(IsOpenKeyHandle(destroyedHandle));
    }
    EXPECT_FALSE(IsOpenKeyHandle(destroyedHandle));
}

TEST_F(RegistryKeyTest, AssignmentSharesARootAndEmptiesFromAnEmptyKey)
{
    Tarn::RegistryKey key = OpenScratchKey();

    const Tarn::RegistryKey& itself = key;
    key = itself;
    EXPECT_EQ(ScratchKeyPath, Narrow(key.GetPath()));

    key = Tarn::RegistryKey::CurrentUser;
    EXPECT_EQ(HKEY_CURRENT_USER, key.GetHandle());
    EXPECT_EQ("HKEY_CURRENT_USER", Narrow(key.GetPath()));

    key = Tarn::RegistryKey();
    EXPECT_EQ(nullptr, key.GetHandle());
    EXPECT_TRUE(key.GetPath().IsEmpty());

    EXPECT_EQ(HKEY_CURRENT_USER, Tarn::RegistryKey::CurrentUser.GetHandle());
    EXPECT_TRUE(KeyExists(ScratchKeyName));
}

TEST_F(RegistryKeyTest, RootKeysAreNeverClosed)
{
    Tarn::RegistryKey copy;
    copy = Tarn::RegistryKey::CurrentUser;
    EXPECT_EQ(Tarn::InvalidOperationException::Code, TarnTest::ThrownCode([&] { copy.Close(); }));

    TarnTest::DebugOutputListener listener;
    {
        Tarn::RegistryKey wrapped(HKEY_CURRENT_USER, Text(L"HKEY_CURRENT_USER"));
    }
    {
        Tarn::RegistryKey destroyed;
        destroyed = Tarn::RegistryKey::CurrentUser;
    }

    EXPECT_TRUE(listener.GetLinesContaining("tarnregistrykey").empty());
    EXPECT_EQ(HKEY_CURRENT_USER, Tarn::RegistryKey::CurrentUser.GetHandle());
    EXPECT_TRUE(KeyExists(ScratchKeyName));
}
