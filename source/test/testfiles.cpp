#include "testfiles.h"

#include <tlhelp32.h>
#include <winioctl.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "hashalgorithmprovider.h"
#include "knownanswers.h"

namespace DigestryTest
{
    namespace
    {
        std::wstring GetTemporaryFolder()
        {
            wchar_t folder[MAX_PATH + 1];
            if (::GetTempPathW(MAX_PATH + 1, folder) == 0)
            {
                throw std::runtime_error("GetTempPathW failed");
            }
            return folder;
        }

        std::wstring NewTemporaryPath()
        {
            static LONG counter = 0;
            return GetTemporaryFolder() + L"digestry-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(::InterlockedIncrement(&counter)) + L".bin";
        }

        HANDLE CreateForWriting(const std::wstring& path)
        {
            const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE)
            {
                throw std::runtime_error("CreateFileW failed");
            }
            return file;
        }

        void WriteAll(HANDLE file, const char* data, size_t count)
        {
            DWORD written = 0;
            if (count > 0 && (!::WriteFile(file, data, static_cast<DWORD>(count), &written, nullptr) || written != count))
            {
                ::CloseHandle(file);
                throw std::runtime_error("WriteFile failed");
            }
        }
    }

    TemporaryFile::TemporaryFile(std::wstring path) : m_path(std::move(path))
    {
    }

    TemporaryFile::TemporaryFile(const std::string& content) : TemporaryFile(content, L"")
    {
    }

    TemporaryFile::TemporaryFile(const std::string& content, const std::wstring& name)
        : m_path(name.empty() ? NewTemporaryPath() : GetTemporaryFolder() + name)
    {
        const HANDLE file = CreateForWriting(m_path);
        WriteAll(file, content.data(), content.size());
        ::CloseHandle(file);
    }

    TemporaryFile TemporaryFile::OfSize(uint64_t size)
    {
        TemporaryFile result(NewTemporaryPath());
        const std::string pattern = PseudoRandomBytes(1 << 20, 0x5EED);
        const HANDLE file = CreateForWriting(result.m_path);
        for (uint64_t written = 0; written < size;)
        {
            const size_t count = static_cast<size_t>(std::min<uint64_t>(pattern.size(), size - written));
            WriteAll(file, pattern.data(), count);
            written += count;
        }
        ::CloseHandle(file);
        return result;
    }

    TemporaryFile TemporaryFile::Sparse(uint64_t size)
    {
        TemporaryFile result(NewTemporaryPath());
        const HANDLE file = CreateForWriting(result.m_path);
        DWORD returned = 0;
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        const bool sized = ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) &&
                           ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
        ::CloseHandle(file);
        if (!sized)
        {
            throw std::runtime_error("the sparse file cannot be sized");
        }
        return result;
    }

    TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept : m_path(std::move(other.m_path))
    {
        other.m_path.clear();
    }

    TemporaryFile::~TemporaryFile()
    {
        if (!m_path.empty())
        {
            ::DeleteFileW(m_path.c_str());
        }
    }

    std::string PseudoRandomBytes(size_t count, uint32_t seed)
    {
        std::string bytes(count, '\0');
        uint32_t state = seed * 2654435761u + 1;
        for (char& byte : bytes)
        {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state);
        }
        return bytes;
    }

    std::string HexDigest(Crypto::HashAlgorithm algorithm, const std::string& content)
    {
        Crypto::HashAlgorithmProvider provider(algorithm);
        Crypto::Hash hash = provider.CreateHash();
        if (!content.empty())
        {
            hash.HashData(reinterpret_cast<PUCHAR>(const_cast<char*>(content.data())), static_cast<ULONG>(content.size()));
        }
        Tarn::Buffer* digest = hash.GetHash();
        const std::string text = HexDigest(digest->GetData(), digest->GetLength());
        digest->Release();
        return text;
    }

    std::string HexDigest(const BYTE* bytes, size_t count)
    {
        return CryptoTest::ToHex(bytes, count);
    }

    size_t CountProcessThreads()
    {
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
        {
            throw std::runtime_error("CreateToolhelp32Snapshot failed");
        }
        size_t count = 0;
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL found = ::Thread32First(snapshot, &entry); found; found = ::Thread32Next(snapshot, &entry))
        {
            if (entry.th32OwnerProcessID == ::GetCurrentProcessId())
            {
                ++count;
            }
        }
        ::CloseHandle(snapshot);
        return count;
    }

    SilentPipe::SilentPipe() : m_watchdogFired(false)
    {
        static std::atomic<int> made{0};
        m_path = L"\\\\.\\pipe\\DigestryTest." + std::to_wstring(::GetCurrentProcessId()) + L"." + std::to_wstring(++made);
        m_pipe = ::CreateNamedPipeW(m_path.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
        m_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (m_pipe == INVALID_HANDLE_VALUE || m_stop == nullptr)
        {
            throw std::runtime_error("the pipe or its watchdog's event cannot be made");
        }
        m_watchdog = std::thread([this] {
            if (::WaitForSingleObject(m_stop, 60000) == WAIT_TIMEOUT)
            {
                m_watchdogFired = true;
                ::DisconnectNamedPipe(m_pipe);
            }
        });
    }

    SilentPipe::~SilentPipe()
    {
        ::SetEvent(m_stop);
        m_watchdog.join();
        ::CloseHandle(m_stop);
        ::CloseHandle(m_pipe);
    }

    bool SilentPipe::Feed()
    {
        const char byte = 0;
        DWORD written = 0;
        return ::WriteFile(m_pipe, &byte, 1, &written, nullptr) && written == 1;
    }
}
