#pragma once

#include <windows.h>

#include "tarnformattable.h"
#include "tarnreferencecounted.h"
#include "tarnserializable.h"

namespace Tarn
{
    class FormatProxy;

    // A reference-counted, always NUL-terminated array of UTF-16 code units. Shared by the strings
    // copied from one another; never written while shared.
    class StringBuffer : public ReferenceCountedObject
    {
    public:
        // Capacity becomes max(capacity, length of text + 1); the text (may be null) is copied in.
        StringBuffer(PCWSTR text, UINT32 capacity);

        PWSTR GetCharacters() const noexcept { return m_characters; }
        // Code units in the array, terminator included.
        UINT32 GetCapacity() const noexcept { return m_capacity; }

    protected:
        ~StringBuffer() override;

    private:
        PWSTR m_characters;
        UINT32 m_capacity;
    };

    // The library's one string type: UTF-16 text with value semantics and cheap copies. A string is
    // null, refers to a static literal without copying it, or shares a StringBuffer that it copies
    // before writing. Null and empty are distinct. Lengths and positions are unsigned 32-bit counts
    // of code units; the length is counted on every use.
    class String : public IFormattable, public ISerializable
    {
    public:
        // A non-null, empty string in literal mode.
        static const String Empty;
        // Returned by IndexOf when nothing is found.
        static constexpr UINT32 NotFound = 0xFFFFFFFF;
        // The longest text a string takes, in code units (GetStringLength refuses longer ones).
        static constexpr UINT32 MaximumLength = 0x7FFFFFFF;

        // The null string.
        constexpr String() noexcept : m_mode(StorageMode::Buffer), m_buffer(nullptr), m_literal(nullptr) {}
        // literal: refer to the text without copying it (it must outlive the string); otherwise copy it.
        constexpr String(PCWSTR text, bool literal)
            : m_mode(literal ? StorageMode::Literal : StorageMode::Buffer), m_buffer(nullptr), m_literal(literal ? text : nullptr)
        {
            if (!literal)
            {
                Assign(text);
            }
        }
        // A copy of a followed by b.
        String(const String& a, const String& b);
        // The string resource of the module; see Load.
        String(UINT resourceId, HINSTANCE instance);
        String(const String& other) noexcept;
        String(String&& other) noexcept;
        ~String() override;

        String& operator=(const String& other) noexcept;
        String& operator=(String&& other) noexcept;
        String& operator=(PCWSTR text);

        // Copies the text (null makes the string null); nothing happens when it is this string's own data.
        void Assign(PCWSTR text);
        // Converts byteCount bytes of multi-byte text in the code page; the string's text ends at the
        // first NUL. On failure the string keeps its content.
        void Assign(const char* text, UINT codePage, int byteCount);
        // Loads a string resource; a missing resource whose lookup leaves no error gives the empty string.
        void Load(UINT resourceId, HINSTANCE instance);

        // The data pointer, or null. After Reserve, platform output may be written through it within
        // the capacity, always NUL-terminated.
        PWSTR GetBuffer() const noexcept;
        UINT32 GetLength() const;
        UINT32 GetCapacity() const noexcept;
        bool IsNull() const noexcept;
        bool IsEmpty() const;
        bool IsNullOrEmpty() const;
        // ArgumentException when the position is not below the length.
        WCHAR GetAt(UINT32 position) const;
        WCHAR operator[](UINT32 position) const { return GetAt(position); }

        // Guarantees a buffer of this string's own with at least this capacity (copy on write).
        void Reserve(UINT32 capacity);
        void Append(const String& text);
        // Appends at most maximumCount units of the text; a null text throws ArgumentException. The text
        // may lie in this string's own buffer (a string appended to itself).
        void Append(PCWSTR text, UINT32 maximumCount = MaximumLength);
        void Append(WCHAR character);
        void Append(WCHAR character, UINT32 count);
        String& operator+=(const String& text);
        // Makes a buffer string null; a literal string is left as it is.
        void Clear();
        // A copy with a buffer of its own.
        String Clone() const;

        // How Compare treats letter case; the values are those the mode has always been given as.
        enum class CompareMode : INT32
        {
            CaseSensitive = 0,
            IgnoreCase = 1,
        };

        // -1, 0 or 1, in the user default locale.
        int Compare(const String& other, CompareMode mode) const;
        bool operator==(const String& other) const;
        bool operator!=(PCWSTR other) const;
        // -1, 0 or 1 by CompareStringW; null sorts before everything, two nulls are equal.
        int InternalCompare(PCWSTR other, LCID locale, DWORD flags) const;

        // Position of the first occurrence at or after start (plain code-unit comparison), or NotFound.
        UINT32 IndexOf(const String& text, UINT32 start = 0) const;
        UINT32 IndexOf(WCHAR character, UINT32 start = 0) const;
        bool StartsWith(WCHAR character) const;
        // count units from start; ArgumentException for a count of 0 or a range beyond the length.
        String Substring(UINT32 start, UINT32 count) const;
        String Left(UINT32 count) const;
        String Right(UINT32 count) const;
        // The text without the leading/trailing run of the character; null when nothing remains.
        String TrimStart(WCHAR character) const;
        String TrimEnd(WCHAR character) const;
        String Trim(WCHAR character) const;
        // Every occurrence replaced; an inserted replacement is never searched again.
        String Replace(const String& find, const String& replacement) const;
        String Remove(const String& find) const;
        String Remove(WCHAR character) const;

        // Accepts only a null or empty format part: a copy of this string, Empty when it is null.
        String FormatObject(const String& format, const Locale& locale) const override;

        // UTF-8 with terminator.
        UINT32 GetSerializedSize() const override;
        UINT32 Serialize(BYTE* buffer, UINT32 bufferSize) const override;
        UINT32 Deserialize(const BYTE* bytes, UINT32 byteCount) override;

        // Composite formatting with one argument; see Formatter::Format.
        static void Format(String& result, const String& format, const FormatProxy& argument, const Locale& locale);

        // Units before the terminator; 0 for null. ArgumentException beyond 2,147,483,647 units.
        static UINT32 GetStringLength(PCWSTR text);
        static UINT32 GetStringLength(const char* text);
        // Bytes WideCharToMultiByte needs for the text, terminator included; 0 for null.
        static UINT32 GetRequiredBufferSize(PCWSTR text, UINT codePage);

    private:
        enum class StorageMode : INT32
        {
            Buffer = 0,
            Literal = 1,
        };

        void TakeBuffer(StringBuffer* buffer) noexcept;

        StorageMode m_mode;
        StringBuffer* m_buffer;   // one reference held, in buffer mode
        PCWSTR m_literal;         // not owned, in literal mode
    };
}
