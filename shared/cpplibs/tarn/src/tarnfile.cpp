#include "tarnfile.h"

#include <utility>

#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnfile";
}

namespace Tarn
{
    namespace Io
    {
        File::File(const String& path)
            : m_path(), m_handle(INVALID_HANDLE_VALUE), m_endOfFile(false)
        {
            Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
        }

        File::~File()
        {
            try
            {
                Close();
            }
            catch (const Exception& exception)
            {
                TARN_TRACE_EXCEPTION(L"Tarn::Io::File::~File", exception);
            }
        }

        void File::Create(const String& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                          DWORD flagsAndAttributes)
        {
            if (m_handle != INVALID_HANDLE_VALUE)
            {
                throw InvalidOperationException();
            }

            // Copied before the file is opened, so that a failed copy leaves no handle to undo.
            String ownPath = path.Clone();
            const HANDLE handle = ::CreateFileW(ownPath.GetBuffer(), desiredAccess, shareMode, nullptr,
                                                creationDisposition, flagsAndAttributes, nullptr);
            if (handle == INVALID_HANDLE_VALUE)
            {
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::Create",
                                     L"CreateFile() failed for file \"{0}\", GetLastError() returns 0x{1:X8}", ownPath,
                                     ::GetLastError());
            }

            m_path = std::move(ownPath);
            m_handle = handle;
            m_endOfFile = false;
        }

        void File::Close()
        {
            if (m_handle == INVALID_HANDLE_VALUE)
            {
                return;
            }

            if (!::CloseHandle(m_handle))
            {
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::Close",
                                     L"CloseHandle() failed for file \"{0}\", GetLastError() returns 0x{1:X}", m_path,
                                     ::GetLastError());
            }

            m_handle = INVALID_HANDLE_VALUE;
            m_path.Clear();
            m_endOfFile = false;
        }

        bool File::IsEndOfStream() const
        {
            RequireOpen();
            return m_endOfFile;
        }

        UINT64 File::GetSize() const
        {
            RequireOpen();
            LARGE_INTEGER size = {};
            if (!::GetFileSizeEx(m_handle, &size))
            {
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::GetSize",
                                     L"GetFileSizeEx() failed for file \"{0}\", GetLastError() returns 0x{1:X}", m_path,
                                     ::GetLastError());
            }
            return static_cast<UINT64>(size.QuadPart);
        }

        UINT64 File::GetPosition() const
        {
            RequireOpen();
            LARGE_INTEGER distance = {};
            LARGE_INTEGER position = {};
            if (!::SetFilePointerEx(m_handle, distance, &position, FILE_CURRENT))
            {
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::GetPosition",
                                     L"SetFilePointerEx() failed for file \"{0}\", GetLastError() returns 0x{1:X}", m_path,
                                     ::GetLastError());
            }
            return static_cast<UINT64>(position.QuadPart);
        }

        void File::SetPosition(UINT64 position)
        {
            RequireOpen();
            LARGE_INTEGER distance = {};
            distance.QuadPart = static_cast<LONGLONG>(position);
            if (!::SetFilePointerEx(m_handle, distance, nullptr, FILE_BEGIN))
            {
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::SetPosition",
                                     L"SetFilePointerEx() failed for file \"{0}\", GetLastError() returns 0x{1:X}", m_path,
                                     ::GetLastError());
            }
            m_endOfFile = false;
        }

        UINT32 File::Read(void* buffer, UINT32 size)
        {
            RequireOpen();
            DWORD bytesRead = 0;
            if (!::ReadFile(m_handle, buffer, size, &bytesRead, nullptr))
            {
                const DWORD error = ::GetLastError();
                if (error == ERROR_HANDLE_EOF)
                {
                    m_endOfFile = true;
                    return 0;
                }
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::Read",
                                     L"ReadFile() failed for file \"{0}\", GetLastError() returns 0x{1:X}", m_path, error);
            }

            if (bytesRead < size)
            {
                m_endOfFile = true;
            }
            return bytesRead;
        }

        void File::Write(const void* buffer, UINT32 size)
        {
            RequireOpen();
            DWORD bytesWritten = 0;
            if (!::WriteFile(m_handle, buffer, size, &bytesWritten, nullptr))
            {
                TARN_THROW_WIN32_FOR(L"Tarn::Io::File::Write",
                                     L"WriteFile() failed for file \"{0}\", GetLastError() returns 0x{1:X}", m_path,
                                     ::GetLastError());
            }
            m_endOfFile = false;
        }

        void File::RequireOpen() const
        {
            if (m_handle == INVALID_HANDLE_VALUE)
            {
                throw InvalidOperationException();
            }
        }
    }
}
