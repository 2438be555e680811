#pragma once

namespace Tarn
{
    class String;
    class Locale;

    // An object that renders itself as an argument of composite formatting.
    class IFormattable
    {
    public:
        // The object's text for the item's format part (a null string when the item has none).
        // Throws FormatException for a format part the object does not accept.
        virtual String FormatObject(const String& format, const Locale& locale) const = 0;
        virtual ~IFormattable() = default;
    };
}
