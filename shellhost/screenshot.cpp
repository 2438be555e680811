#include "screenshot.h"

#include <objbase.h>
#include <wincodec.h>

#include "compointer.h"
#include "console.h"

namespace ShellHost
{
    namespace
    {
        void Check(HRESULT result, const std::wstring& what)
        {
            if (FAILED(result))
            {
                throw Failure(L"the screenshot could not be saved: " + what + L" failed with " + FormatCode(result));
            }
        }

        // The screen's pixels under a rectangle, in a bitmap of our own.
        class ScreenCopy
        {
        public:
            explicit ScreenCopy(const RECT& area)
                : m_screen(::GetDC(nullptr)), m_memory(::CreateCompatibleDC(m_screen)),
                  m_bitmap(::CreateCompatibleBitmap(m_screen, area.right - area.left, area.bottom - area.top)),
                  m_copied(false)
            {
                const HGDIOBJ previous = ::SelectObject(m_memory, m_bitmap);
                m_copied = ::BitBlt(m_memory, 0, 0, area.right - area.left, area.bottom - area.top, m_screen, area.left,
                                    area.top, SRCCOPY) != FALSE;
                ::SelectObject(m_memory, previous);
            }
            ScreenCopy(const ScreenCopy&) = delete;
            ScreenCopy& operator=(const ScreenCopy&) = delete;
            ~ScreenCopy()
            {
                ::DeleteObject(m_bitmap);
                ::DeleteDC(m_memory);
                ::ReleaseDC(nullptr, m_screen);
            }

            HBITMAP GetBitmap() const { return m_bitmap; }
            bool IsCopied() const { return m_copied; }

        private:
            HDC m_screen;
            HDC m_memory;
            HBITMAP m_bitmap;
            bool m_copied;
        };

        // COM on this thread for as long as the encoder is used.
        class Apartment
        {
        public:
            Apartment() : m_result(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
            Apartment(const Apartment&) = delete;
            Apartment& operator=(const Apartment&) = delete;
            ~Apartment()
            {
                if (SUCCEEDED(m_result))
                {
                    ::CoUninitialize();
                }
            }

        private:
            HRESULT m_result;
        };
    }

    void SaveScreenshot(HWND window, const std::wstring& pngPath)
    {
        RECT area;
        if (!::GetWindowRect(window, &area))
        {
            throw Failure(L"the screenshot could not be taken: the window is gone");
        }
        const ScreenCopy copy(area);
        if (!copy.IsCopied())
        {
            throw Failure(L"the screenshot could not be taken: BitBlt failed");
        }
        const Apartment apartment;

        ComPointer<IWICImagingFactory> factory;
        Check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(factory.Receive())),
              L"creating the imaging factory");
        ComPointer<IWICBitmap> bitmap;
        Check(factory->CreateBitmapFromHBITMAP(copy.GetBitmap(), nullptr, WICBitmapIgnoreAlpha, bitmap.Receive()),
              L"IWICImagingFactory::CreateBitmapFromHBITMAP");
        ComPointer<IWICStream> stream;
        Check(factory->CreateStream(stream.Receive()), L"IWICImagingFactory::CreateStream");
        Check(stream->InitializeFromFilename(pngPath.c_str(), GENERIC_WRITE), L"opening " + pngPath);
        ComPointer<IWICBitmapEncoder> encoder;
        Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Receive()), L"IWICImagingFactory::CreateEncoder");
        Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), L"IWICBitmapEncoder::Initialize");
        ComPointer<IWICBitmapFrameEncode> frame;
        Check(encoder->CreateNewFrame(frame.Receive(), nullptr), L"IWICBitmapEncoder::CreateNewFrame");
        Check(frame->Initialize(nullptr), L"IWICBitmapFrameEncode::Initialize");
        Check(frame->WriteSource(bitmap.Get(), nullptr), L"IWICBitmapFrameEncode::WriteSource");
        Check(frame->Commit(), L"IWICBitmapFrameEncode::Commit");
        Check(encoder->Commit(), L"IWICBitmapEncoder::Commit");
    }
}
