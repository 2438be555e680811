#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tarnexception.h"
#include "tarnfile.h"
#include "tarnstring.h"
#include "testsupport.h"

namespace
{
    const UINT32 BlockSize = 16384;

    std::vector<BYTE> Pattern(size_t size)
    {
        std::vector<BYTE> bytes(size);
        UINT32 state = 0x12345678;
        for (BYTE& byte : bytes)
        {
            state = state * 1664525 + 1013904223;
            byte = static_cast<BYTE>(state >> 24);
        }
        return bytes;
    }

    std::string Narrow(const std::wstring& text)
    {
        return std::string(text.begin(), text.end());
    }

    // A stream that keeps what is written to it, to observe what a copy hands over.
    class RecordingStream : public Tarn::Io::Stream
    {
    public:
        bool CanRead() const override { return false; }
        bool CanWrite() const override { return true; }
        bool CanSeek() const override { return false; }
        bool CanTimeout() const override { return false; }
        bool IsEndOfStream() const override { return true; }
        UINT64 GetSize() const override { return bytes.size(); }
        UINT64 GetPosition() const override { return bytes.size(); }
        void SetPosition(UINT64) override { throw Tarn::NotImplementedException(); }
        UINT32 Read(void*, UINT32) override { throw Tarn::NotImplementedException(); }

        void Write(const void* buffer, UINT32 size) override
        {
            ++writes;
            if (failWrites)
            {
                throw Tarn::SystemException(HRESULT_FROM_WIN32(ERROR_DISK_FULL));
            }
            const BYTE* first = static_cast<const BYTE*>(buffer);
            bytes.insert(bytes.end(), first, first + size);
        }

        std::vector<BYTE> bytes;
        int writes = 0;
        bool failWrites = false;
    };
}

// Creates scratch files in the temporary folder and deletes them after each test.
class ScratchFileTest : public testing::Test
{
protected:
    void TearDown() override
    {
        for (const std::wstring& path : m_paths)
        {
            ::DeleteFileW(path.c_str());
        }
    }

    std::wstring NewPath()
    {
        wchar_t folder[MAX_PATH];
        EXPECT_NE(0u, ::GetTempPathW(MAX_PATH, folder));
        const std::wstring path = std::wstring(folder) + L"tarn_file_test_" + std::to_wstring(::GetCurrentProcessId()) +
                                  L"_" + std::to_wstring(m_paths.size()) + L".bin";
        m_paths.push_back(path);
        return path;
    }

    std::wstring CreateScratchFile(const std::vector<BYTE>& content)
    {
        const std::wstring path = NewPath();
        HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, handle);
        DWORD written = 0;
        EXPECT_TRUE(::WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
        ::CloseHandle(handle);
        return path;
    }

    static Tarn::String ToString(const std::wstring& path)
    {
        return Tarn::String(path.c_str(), false);
    }

private:
    std::vector<std::wstring> m_paths;
};

using FileTest = ScratchFileTest;

TEST_F(FileTest, ReadingInBlocksReproducesTheBytesExactlyWhateverTheSize)
{
    const size_t sizes[] = {0, 1, BlockSize - 1, BlockSize, BlockSize + 1, 5 * 1024 * 1024 + 3};
    for (size_t size : sizes)
    {
        SCOPED_TRACE(size);
        const std::vector<BYTE> expected = Pattern(size);
        Tarn::Io::File file(ToString(CreateScratchFile(expected)));

        std::vector<BYTE> actual;
        std::vector<BYTE> block(BlockSize);
        size_t reads = 0;
        for (UINT32 read = file.Read(block.data(), BlockSize); read > 0; read = file.Read(block.data(), BlockSize))
        {
            actual.insert(actual.end(), block.begin(), block.begin() + read);
            ++reads;
        }

        EXPECT_TRUE(file.IsEndOfStream());
        EXPECT_EQ(size, file.GetSize());
        EXPECT_EQ(size, file.GetPosition());
        EXPECT_EQ((size + BlockSize - 1) / BlockSize, reads);
        EXPECT_TRUE(expected == actual);
    }
}

namespace
{
    struct FollowingOperation
    {
        const char* operation;
        std::function<void(Tarn::Io::File&)> act;
        bool endOfStream;
        std::vector<BYTE> nextRead;
        std::vector<BYTE> fileAfter;
    };

    void PrintTo(const FollowingOperation& operation, std::ostream* out) { *out << operation.operation; }
}

// After a short read another read leaves the end-of-file flag set; a move or a write clears it. The
// write lands where the reads stopped, at the end.
class FileShortReadTest : public ScratchFileTest, public testing::WithParamInterface<FollowingOperation>
{
public:
    static std::vector<FollowingOperation> Operations();

protected:
    inline static const std::vector<BYTE> content = Pattern(5);
};

std::vector<FollowingOperation> FileShortReadTest::Operations()
{
    static const BYTE tail[] = {1, 2, 3};
    std::vector<BYTE> extended = content;
    extended.insert(extended.end(), tail, tail + sizeof(tail));
    return {
        {"Read", [](Tarn::Io::File& file) { BYTE block[16]; EXPECT_EQ(0u, file.Read(block, sizeof(block))); }, true,
         {}, content},
        {"SetPosition", [](Tarn::Io::File& file) { file.SetPosition(2); }, false, {content.begin() + 2, content.end()},
         content},
        {"Write", [](Tarn::Io::File& file) { file.Write(tail, sizeof(tail)); }, false, {}, extended},
    };
}

TEST_P(FileShortReadTest, ShortReadSetsEndOfStreamUntilAMoveOrAWriteClearsIt)
{
    const FollowingOperation& operation = GetParam();
    const std::wstring path = CreateScratchFile(content);
    Tarn::Io::File file(ToString(path));
    file.Close();
    file.Create(ToString(path), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    std::vector<BYTE> block(BlockSize);
    EXPECT_FALSE(file.IsEndOfStream());
    EXPECT_EQ(5u, file.Read(block.data(), BlockSize));
    EXPECT_TRUE(file.IsEndOfStream());

    operation.act(file);
    EXPECT_EQ(operation.endOfStream, file.IsEndOfStream());
    const UINT32 read = file.Read(block.data(), BlockSize);
    EXPECT_EQ(operation.nextRead, std::vector<BYTE>(block.begin(), block.begin() + read));
    file.Close();

    Tarn::Io::File written(ToString(path));
    std::vector<BYTE> whole(static_cast<size_t>(written.GetSize()));
    EXPECT_EQ(whole.size(), written.Read(whole.data(), static_cast<UINT32>(whole.size())));
    EXPECT_EQ(operation.fileAfter, whole);
}
INSTANTIATE_TEST_SUITE_P(, FileShortReadTest, testing::ValuesIn(FileShortReadTest::Operations()),
                         [](const testing::TestParamInfo<FollowingOperation>& row) {
                             return std::string(row.param.operation);
                         });

TEST_F(FileTest, MissingFileThrowsFileNotFoundAfterOneErrorTraceNamingThePath)
{
    const std::wstring path = NewPath();
    TarnTest::DebugOutputListener listener;

    EXPECT_EQ(static_cast<HRESULT>(0x80070002), TarnTest::ThrownCode([&] { Tarn::Io::File file(ToString(path)); }));

    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarnfile", "Tarn::Io::File::Create",
                                            "CreateFile() failed for file \"" + Narrow(path) + "\", GetLastError() returns 0x00000002"));
    EXPECT_EQ(1u, listener.GetLinesContaining("CreateFile() failed").size());
}

TEST_F(FileTest, FileHeldForWritingWithoutReadSharingCannotBeOpened)
{
    const std::wstring path = CreateScratchFile(Pattern(10));
    HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);

    EXPECT_EQ(static_cast<HRESULT>(0x80070020), TarnTest::ThrownCode([&] { Tarn::Io::File file(ToString(path)); }));

    ::CloseHandle(writer);
}

TEST_F(FileTest, OpenFileMayBeReadButNotWrittenByOtherHandles)
{
    const std::wstring path = CreateScratchFile(Pattern(10));
    Tarn::Io::File file(ToString(path));

    HANDLE reader = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    ::CloseHandle(reader);

    HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
}

TEST_F(FileTest, SizesAndPositionsAbove4GiBAreReportedExactly)
{
    const UINT64 size = 5ull * 1024 * 1024 * 1024 + 3;
    const std::wstring path = NewPath();
    HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    // Extending without writing leaves a hole, so the file takes next to no disk space.
    LARGE_INTEGER end = {};
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(::SetFilePointerEx(handle, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(handle));
    ::CloseHandle(handle);

    Tarn::Io::File file(ToString(path));
    EXPECT_EQ(size, file.GetSize());

    file.SetPosition(size - 1);
    EXPECT_EQ(size - 1, file.GetPosition());
    BYTE block[16];
    EXPECT_EQ(1u, file.Read(block, sizeof(block)));
    EXPECT_EQ(size, file.GetPosition());
}

TEST_F(FileTest, ClosedFileRefusesEveryOperationAndClosingAgainIsHarmless)
{
    Tarn::Io::File file(ToString(CreateScratchFile(Pattern(10))));
    file.Close();
    file.Close();

    EXPECT_EQ(INVALID_HANDLE_VALUE, file.GetHandle());
    const HRESULT invalidOperation = Tarn::InvalidOperationException::Code;
    BYTE block[4] = {};
    EXPECT_EQ(invalidOperation, TarnTest::ThrownCode([&] { file.IsEndOfStream(); }));
    EXPECT_EQ(invalidOperation, TarnTest::ThrownCode([&] { file.GetSize(); }));
    EXPECT_EQ(invalidOperation, TarnTest::ThrownCode([&] { file.GetPosition(); }));
    EXPECT_EQ(invalidOperation, TarnTest::ThrownCode([&] { file.SetPosition(0); }));
    EXPECT_EQ(invalidOperation, TarnTest::ThrownCode([&] { file.Read(block, sizeof(block)); }));
    EXPECT_EQ(invalidOperation, TarnTest::ThrownCode([&] { file.Write(block, sizeof(block)); }));
}

TEST_F(FileTest, DestructionClosesTheFile)
{
    const std::wstring path = CreateScratchFile(Pattern(4));
    {
        Tarn::Io::File file(ToString(path));
    }

    HANDLE exclusive = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive);
    ::CloseHandle(exclusive);
}

using StreamCopyToTest = ScratchFileTest;

TEST_F(StreamCopyToTest, EachFormCopiesEverythingFromThePositionToTheEnd)
{
    const std::vector<BYTE> content = Pattern(5000);
    const std::wstring path = CreateScratchFile(content);
    BYTE buffer[7];

    for (int form = 0; form < 3; ++form)
    {
        SCOPED_TRACE(form);
        Tarn::Io::File file(ToString(path));
        file.SetPosition(3);
        RecordingStream target;

        const UINT64 copied = form == 0   ? file.CopyTo(&target, buffer, sizeof(buffer))
                              : form == 1 ? file.CopyTo(&target, 1000)
                                          : file.CopyTo(&target);

        EXPECT_EQ(4997u, copied);
        EXPECT_TRUE(std::vector<BYTE>(content.begin() + 3, content.end()) == target.bytes);
        EXPECT_TRUE(file.IsEndOfStream());
    }
}

TEST_F(StreamCopyToTest, FromAStreamAtItsEndCopiesNothingAndNeverWrites)
{
    Tarn::Io::File file(ToString(CreateScratchFile(Pattern(10))));
    BYTE block[16];
    file.Read(block, sizeof(block));
    RecordingStream target;

    EXPECT_EQ(0u, file.CopyTo(&target));
    EXPECT_EQ(0, target.writes);
}

TEST_F(StreamCopyToTest, RefusesNullTargetNullBufferAndEmptyBuffer)
{
    Tarn::Io::File file(ToString(CreateScratchFile(Pattern(10))));
    RecordingStream target;
    BYTE buffer[4];

    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { file.CopyTo(nullptr, buffer, sizeof(buffer)); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { file.CopyTo(&target, nullptr, sizeof(buffer)); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { file.CopyTo(&target, buffer, 0); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { file.CopyTo(&target, 0u); }));
    EXPECT_EQ(E_INVALIDARG, TarnTest::ThrownCode([&] { file.CopyTo(nullptr); }));
    EXPECT_EQ(0u, file.GetPosition());
}

TEST_F(StreamCopyToTest, FailingTargetPassesTheErrorOnAndLeaksNoBuffer)
{
    const std::wstring path = CreateScratchFile(Pattern(3000));
    const size_t growth = TarnTest::MeasureHeapGrowth(
        [&] {
            Tarn::Io::File file(ToString(path));
            RecordingStream target;
            target.failWrites = true;
            EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DISK_FULL), TarnTest::ThrownCode([&] { file.CopyTo(&target, 1024); }));
            EXPECT_EQ(1, target.writes);
        },
        50);

    EXPECT_EQ(0u, growth);
}
