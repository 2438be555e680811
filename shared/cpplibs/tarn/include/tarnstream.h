#pragma once

#include <windows.h>

namespace Tarn
{
    namespace Io
    {
        // A sequence of bytes with a position. Implementations are used by one thread at a time.
        class IStream
        {
        public:
            IStream() = default;
            IStream(const IStream&) = delete;
            IStream& operator=(const IStream&) = delete;

            virtual bool CanRead() const = 0;
            virtual bool CanWrite() const = 0;
            virtual bool CanSeek() const = 0;
            // Whether reads and writes may give up after a time-out.
            virtual bool CanTimeout() const = 0;

            // True once a read has returned fewer bytes than asked.
            virtual bool IsEndOfStream() const = 0;
            virtual UINT64 GetSize() const = 0;
            virtual UINT64 GetPosition() const = 0;
            virtual void SetPosition(UINT64 position) = 0;
            // Returns the number of bytes read; 0 at the end of the stream.
            virtual UINT32 Read(void* buffer, UINT32 size) = 0;
            virtual void Write(const void* buffer, UINT32 size) = 0;

            // Reads this stream from its position to its end and writes everything to the target,
            // passing the bytes through the caller's buffer. Returns the number of bytes copied; 0
            // without touching the target when this stream is already at its end.
            // ArgumentException for a null target or buffer or a buffer size of 0.
            virtual UINT64 CopyTo(IStream* target, void* buffer, UINT32 bufferSize) = 0;
            // As above, through a buffer of bufferSize bytes allocated for the call.
            virtual UINT64 CopyTo(IStream* target, UINT32 bufferSize) = 0;
            // As above, through a buffer of DefaultCopyBufferSize bytes.
            virtual UINT64 CopyTo(IStream* target) = 0;

            virtual ~IStream() = default;
        };

        // The base of concrete streams: supplies the copy operations on top of Read and Write.
        class Stream : public IStream
        {
        public:
            static constexpr UINT32 DefaultCopyBufferSize = 2048;

            UINT64 CopyTo(IStream* target, void* buffer, UINT32 bufferSize) override;
            UINT64 CopyTo(IStream* target, UINT32 bufferSize) override;
            UINT64 CopyTo(IStream* target) override;
        };
    }
}
