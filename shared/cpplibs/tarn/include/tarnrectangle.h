#pragma once

#include <windows.h>

#include "tarnformattable.h"
#include "tarnstring.h"

namespace Tarn
{
    // A window rectangle (left, top, right, bottom) that can be traced as an argument of composite
    // formatting.
    class Rectangle : public IFormattable
    {
    public:
        // All four edges 0.
        Rectangle() noexcept : m_rect() {}
        explicit Rectangle(const RECT& rect) noexcept : m_rect(rect) {}

        const RECT& GetRect() const noexcept { return m_rect; }
        RECT& GetRect() noexcept { return m_rect; }

        // "left: {0}, top: {1}, right: {2}, bottom: {3}" in the invariant locale; the format part
        // and the locale are ignored.
        String FormatObject(const String& format, const Locale& locale) const override;

    private:
        RECT m_rect;
    };
}
