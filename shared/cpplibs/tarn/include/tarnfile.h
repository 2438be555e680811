#pragma once

#include <windows.h>

#include "tarnstream.h"
#include "tarnstring.h"

namespace Tarn
{
    namespace Io
    {
        // A Windows file, owned alone and closed on destruction. Every failed Windows call is traced
        // at ERROR with the file's path and thrown as SystemException(HRESULT_FROM_WIN32).
        class File : public Stream
        {
        public:
            // Opens an existing file for reading. Other handles may read it but not write it while
            // it is open, so its content cannot change under a reader.
            explicit File(const String& path);
            // Closes the file; a failure is traced, not thrown.
            ~File() override;

            // Opens the path with CreateFileW and these arguments. InvalidOperationException when a
            // file is already open.
            void Create(const String& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                        DWORD flagsAndAttributes);
            // Nothing when already closed. When CloseHandle fails the file stays open.
            void Close();

            // True whatever the access the file was opened with.
            bool CanRead() const override { return true; }
            bool CanWrite() const override { return true; }
            bool CanSeek() const override { return true; }
            bool CanTimeout() const override { return false; }

            // The operations below throw InvalidOperationException on a closed file.

            // Set by a read that returned fewer bytes than asked; cleared by SetPosition, Write,
            // Create and Close.
            bool IsEndOfStream() const override;
            UINT64 GetSize() const override;
            UINT64 GetPosition() const override;
            void SetPosition(UINT64 position) override;
            // Reads at most size bytes. A read at the end of the file returns 0, so a loop that stops
            // at 0 makes one extra, empty read when the size is a multiple of its block.
            UINT32 Read(void* buffer, UINT32 size) override;
            // Writes the bytes synchronously.
            void Write(const void* buffer, UINT32 size) override;

            // INVALID_HANDLE_VALUE while closed. The file keeps ownership.
            HANDLE GetHandle() const { return m_handle; }

        private:
            void RequireOpen() const;

            String m_path;          // as opened, an own copy; null while closed
            HANDLE m_handle;
            bool m_endOfFile;
        };
    }
}
