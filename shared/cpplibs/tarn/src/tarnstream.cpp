#include "tarnstream.h"

#include "tarnautoptr.h"
#include "tarnexception.h"

namespace Tarn
{
    namespace Io
    {
        UINT64 Stream::CopyTo(IStream* target, void* buffer, UINT32 bufferSize)
        {
            if (target == nullptr || buffer == nullptr || bufferSize == 0)
            {
                throw ArgumentException();
            }

            UINT64 total = 0;
            while (!IsEndOfStream())
            {
                const UINT32 bytesRead = Read(buffer, bufferSize);
                if (bytesRead > 0)
                {
                    target->Write(buffer, bytesRead);
                    total += bytesRead;
                }
            }
            return total;
        }

        UINT64 Stream::CopyTo(IStream* target, UINT32 bufferSize)
        {
            AutoArrayPtr<BYTE> buffer(bufferSize > 0 ? new BYTE[bufferSize] : nullptr);
            return CopyTo(target, buffer.Get(), bufferSize);
        }

        UINT64 Stream::CopyTo(IStream* target)
        {
            return CopyTo(target, DefaultCopyBufferSize);
        }
    }
}
