#pragma once

#include <windows.h>

#include "tarnlocale.h"
#include "tarnstring.h"

namespace Tarn
{
    // Converts decimal text to numbers. Parse failures are reported by a false result or by
    // ParseException; no trace line is written for them.
    class Parser
    {
    public:
        // Decimal integer of 8, 16, 32 or 64 bits, writing through output (of that width). With a
        // locale, its thousands separator is removed first; a sign is accepted in signed mode only.
        static bool TryParseDecimalInteger(const String& text, UINT32 bits, bool isSigned, const Locale* locale, void* output);
        // A decimal number with the locale's decimal separator. ParseException when it is not one.
        static double ParseDouble(const String& text, const Locale& locale);
        // Whether ParseDouble accepts the text; exceptions other than ParseException pass through.
        static bool IsNumber(const String& text, const Locale& locale);
        // Digits only, at most 4,294,967,295. ArgumentException for a null output.
        static bool TryParseUInt32(const String& text, UINT32* output);
        // As TryParseUInt32; ParseException when it fails.
        static UINT32 ParseUInt32(const String& text);
    };
}
