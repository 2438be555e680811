#include "tarnrectangle.h"

#include "tarnformatter.h"
#include "tarnlocale.h"

namespace
{
    // A literal-mode string is constant-initialised: safe against concurrent first use.
    const Tarn::String RectangleFormat(L"left: {0}, top: {1}, right: {2}, bottom: {3}", true);
}

namespace Tarn
{
    String Rectangle::FormatObject(const String&, const Locale&) const
    {
        return Formatter::Format(RectangleFormat, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom,
                                 Locale::Invariant);
    }
}
