#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testserverlibrary.h"
#include "testsupport.h"

namespace
{
    const std::wstring LongPathPrefix = L"\\\\?\\";

    // A folder below the temporary folder whose path is longer than 1024 characters and not
    // ASCII; removed again with everything in it.
    class LongNonAsciiFolder
    {
    public:
        LongNonAsciiFolder()
        {
            wchar_t temporary[MAX_PATH];
            const DWORD length = ::GetTempPathW(MAX_PATH, temporary);
            std::wstring path = LongPathPrefix + std::wstring(temporary, length) + L"Tarn-Prüfung-模块";
            m_folders.push_back(path);
            while (path.size() < 1100)
            {
                path += L"\\Ünterordner-" + std::wstring(180, L'x');
                m_folders.push_back(path);
            }
            for (const std::wstring& folder : m_folders)
            {
                ::CreateDirectoryW(folder.c_str(), nullptr);
            }
        }

        ~LongNonAsciiFolder()
        {
            for (const std::wstring& file : m_files)
            {
                ::DeleteFileW(file.c_str());
            }
            for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
            {
                ::RemoveDirectoryW(folder->c_str());
            }
        }

        // Copies the file into the folder; returns the copy's path.
        std::wstring Copy(const std::wstring& source, PCWSTR name)
        {
            const std::wstring target = m_folders.back() + L"\\" + name;
            if (!::CopyFileW(source.c_str(), target.c_str(), FALSE))
            {
                return std::wstring();
            }
            m_files.push_back(target);
            return target;
        }

    private:
        std::vector<std::wstring> m_folders;
        std::vector<std::wstring> m_files;
    };
}

TEST(DllModuleTest, KnowsItsHandleAndFullPathWhileLoadedAndForgetsTheHandleAtDetach)
{
    LongNonAsciiFolder folder;
    const std::wstring path = folder.Copy(TestServer::GetServerPath(), L"Tarn-Prüfserver.dll");
    ASSERT_FALSE(path.empty());
    TarnTest::DebugOutputListener listener;
    {
        TestServer::Library server(path);
        EXPECT_EQ(server.GetHandle(), server.GetResourceInstance());
        // The loader may or may not keep the long-path prefix the DLL was loaded with.
        const std::wstring withoutPrefix = path.substr(LongPathPrefix.size());
        const std::wstring fileName = server.GetServerFileName();
        EXPECT_EQ(withoutPrefix, fileName.compare(0, LongPathPrefix.size(), LongPathPrefix) == 0
                                     ? fileName.substr(LongPathPrefix.size())
                                     : fileName);
    }
    EXPECT_EQ(1u, listener.GetLinesContaining("DllMain(): Module instance after detach: 0000000000000000").size());
}
