#pragma once

#include <windows.h>

namespace Tarn
{
    // A Windows locale for locale-dependent formatting and parsing. The system's own texts always
    // use Invariant, so they never depend on the user's regional settings.
    class Locale
    {
    public:
        static const Locale Invariant;      // LOCALE_INVARIANT
        static const Locale SystemDefault;  // LOCALE_SYSTEM_DEFAULT
        static const Locale UserDefault;    // LOCALE_USER_DEFAULT

        constexpr explicit Locale(LCID identifier) noexcept : m_identifier(identifier) {}
        virtual ~Locale() = default;

        LCID GetIdentifier() const noexcept { return m_identifier; }

    private:
        LCID m_identifier;
    };
}
