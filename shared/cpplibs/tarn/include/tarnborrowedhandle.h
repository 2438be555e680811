#pragma once

#include <windows.h>

#include <uxtheme.h>

namespace Tarn
{
    // A handle that the window wrappers hand out without owning it: the system, or whoever made the
    // object, releases it; this class never does.
    template <typename HandleType>
    class BorrowedHandle
    {
    public:
        explicit BorrowedHandle(HandleType handle = nullptr) noexcept : m_handle(handle) {}
        virtual ~BorrowedHandle() = default;

        HandleType GetHandle() const noexcept { return m_handle; }

    private:
        HandleType m_handle;
    };

    // A display monitor.
    class Monitor : public BorrowedHandle<HMONITOR>
    {
    public:
        using BorrowedHandle::BorrowedHandle;
    };

    // A window's visual-style theme data; null when the window is not themed.
    class Theme : public BorrowedHandle<HTHEME>
    {
    public:
        using BorrowedHandle::BorrowedHandle;
    };

    // A font a window draws with; null for the system font.
    class GdiFont : public BorrowedHandle<HFONT>
    {
    public:
        using BorrowedHandle::BorrowedHandle;
    };
}
