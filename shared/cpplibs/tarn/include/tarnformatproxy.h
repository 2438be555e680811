#pragma once

#include <windows.h>

#include "tarnformattable.h"

namespace Tarn
{
    // One argument of a composite formatting call: a tagged reference to the caller's value. For
    // most kinds it holds the variable's address, so it must not outlive the variable; bool,
    // character and pointer arguments are held by value.
    class FormatProxy
    {
    public:
        enum Kind : INT32
        {
            KindNone = 0,
            KindFormattable = 1,
            KindUInt8 = 2,
            KindInt8 = 3,
            KindUInt16 = 4,
            KindInt16 = 5,
            KindUInt32 = 6,
            KindInt32 = 7,
            KindUInt64 = 8,
            KindInt64 = 9,
            KindPointer = 10,
            KindFloat = 11,
            KindDouble = 12,
            KindBool = 13,
            KindCharacter = 14,
        };

        FormatProxy() noexcept : m_kind(KindNone), m_value(0) {}
        FormatProxy(const IFormattable& value) noexcept : m_kind(KindFormattable), m_value(AddressOf(&value)) {}
        FormatProxy(const unsigned char& value) noexcept : m_kind(KindUInt8), m_value(AddressOf(&value)) {}
        FormatProxy(const signed char& value) noexcept : m_kind(KindInt8), m_value(AddressOf(&value)) {}
        FormatProxy(const unsigned short& value) noexcept : m_kind(KindUInt16), m_value(AddressOf(&value)) {}
        FormatProxy(const short& value) noexcept : m_kind(KindInt16), m_value(AddressOf(&value)) {}
        FormatProxy(const unsigned int& value) noexcept : m_kind(KindUInt32), m_value(AddressOf(&value)) {}
        FormatProxy(const unsigned long& value) noexcept : m_kind(KindUInt32), m_value(AddressOf(&value)) {}
        FormatProxy(const int& value) noexcept : m_kind(KindInt32), m_value(AddressOf(&value)) {}
        FormatProxy(const long& value) noexcept : m_kind(KindInt32), m_value(AddressOf(&value)) {}
        FormatProxy(const unsigned long long& value) noexcept : m_kind(KindUInt64), m_value(AddressOf(&value)) {}
        FormatProxy(const long long& value) noexcept : m_kind(KindInt64), m_value(AddressOf(&value)) {}
        FormatProxy(const void* value) noexcept : m_kind(KindPointer), m_value(reinterpret_cast<ULONG_PTR>(value)) {}
        FormatProxy(const float& value) noexcept : m_kind(KindFloat), m_value(AddressOf(&value)) {}
        FormatProxy(const double& value) noexcept : m_kind(KindDouble), m_value(AddressOf(&value)) {}
        FormatProxy(bool value) noexcept : m_kind(KindBool), m_value(value ? 1 : 0) {}
        FormatProxy(wchar_t value) noexcept : m_kind(KindCharacter), m_value(static_cast<UINT16>(value)) {}
        // Wide text is passed as a String; a bare pointer would print its address.
        FormatProxy(const wchar_t* value) = delete;
        FormatProxy(wchar_t* value) = delete;
        FormatProxy(const char* value) = delete;

        virtual ~FormatProxy() = default;
        FormatProxy(const FormatProxy&) noexcept = default;
        FormatProxy& operator=(const FormatProxy&) noexcept = default;

        Kind GetKind() const noexcept { return m_kind; }
        // The address of the caller's variable, or the value itself for bool, character and pointer.
        ULONG_PTR GetValue() const noexcept { return m_value; }

    private:
        static ULONG_PTR AddressOf(const void* address) noexcept { return reinterpret_cast<ULONG_PTR>(address); }

        Kind m_kind;
        ULONG_PTR m_value;
    };
}
