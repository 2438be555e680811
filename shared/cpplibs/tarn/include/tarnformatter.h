#pragma once

#include <windows.h>

#include "tarnformatproxy.h"
#include "tarnlocale.h"
#include "tarnstring.h"

namespace Tarn
{
    // Composite formatting: expands items of the form {index[,alignment][:format]} with typed
    // arguments; "{{" and "}}" stand for single braces. Integer specifiers D, X, x, N and F take an
    // optional precision of one or two digits; floating arguments take N and F.
    class Formatter
    {
    public:
        static String Format(const String& format, const FormatProxy& a0, const Locale& locale);
        static String Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const Locale& locale);
        static String Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const Locale& locale);
        static String Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const Locale& locale);
        static String Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const FormatProxy& a4, const Locale& locale);
        static String Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const FormatProxy& a4, const FormatProxy& a5, const Locale& locale);
        static String Format(const String& format, const FormatProxy& a0, const FormatProxy& a1, const FormatProxy& a2,
                             const FormatProxy& a3, const FormatProxy& a4, const FormatProxy& a5, const FormatProxy& a6,
                             const Locale& locale);
        // The core: count arguments from the array. A null or empty format gives an empty, non-null string.
        static String Format(const String& format, const FormatProxy* arguments, UINT32 argumentCount, const Locale& locale);

        // Two hexadecimal digits per byte, no separators. ArgumentException for null bytes or a count of 0.
        static String FormatHexBytes(const BYTE* bytes, UINT32 byteCount, bool upperCase);

        // Fixed-point and grouped-number renderings of one numeric argument through the locale's
        // number formatting. precision is -1 when the item gives none.
        static String FormatNumeric_F(const FormatProxy& argument, int precision, const Locale& locale);
        static String FormatNumeric_N(const FormatProxy& argument, int precision, const Locale& locale);
    };
}
