#include "tarnstring.h"

#include <cstring>
#include <cwchar>
#include <limits>
#include <utility>

#include "tarnautoptr.h"
#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarnlocale.h"
#include "tarntrace.h"

#include <strsafe.h>

namespace
{
    const wchar_t TraceSource[] = L"src\\tarnstring";

    // Resource strings are at most 65535 units long, so the doubling stays far from overflow.
    const UINT32 InitialLoadCapacity = 64;

    // The UTF-8 conversions count in int.
    const UINT32 MaximumConversionCount = static_cast<UINT32>(std::numeric_limits<int>::max());

    // Both forms of String::GetStringLength: a null text has length 0, one without a terminator
    // within STRSAFE_MAX_CCH characters is refused, with the failed measure named in the trace.
    template <typename Character>
    UINT32 MeasureText(const Character* text, HRESULT(WINAPI* measure)(const Character*, size_t, size_t*),
                       PCWSTR failure)
    {
        if (text == nullptr)
        {
            return 0;
        }
        size_t length = 0;
        if (FAILED(measure(text, STRSAFE_MAX_CCH, &length)))
        {
            TARN_THROW_TRACED(L"Tarn::String::GetStringLength", failure, Tarn::ArgumentException());
        }
        return static_cast<UINT32>(length);
    }
}

namespace Tarn
{
    StringBuffer::StringBuffer(PCWSTR text, UINT32 capacity) : m_characters(nullptr), m_capacity(0)
    {
        const UINT32 required = String::GetStringLength(text) + 1;
        const UINT32 size = capacity > required ? capacity : required;
        AutoArrayPtr<WCHAR> characters(new WCHAR[size]());
        if (text != nullptr && FAILED(::StringCchCopyW(characters.Get(), size, text)))
        {
            throw ArgumentException();
        }
        m_characters = characters.Detach();
        m_capacity = size;
    }

    StringBuffer::~StringBuffer()
    {
        delete[] m_characters;
    }

    const String String::Empty(L"", true);

    String::String(const String& a, const String& b) : String(a)
    {
        Append(b);
    }

    String::String(UINT resourceId, HINSTANCE instance) : String()
    {
        Load(resourceId, instance);
    }

    String::String(const String& other) noexcept : m_mode(other.m_mode), m_buffer(other.m_buffer), m_literal(other.m_literal)
    {
        if (m_buffer != nullptr)
        {
            m_buffer->AddRef();
        }
    }

    String::String(String&& other) noexcept : m_mode(other.m_mode), m_buffer(other.m_buffer), m_literal(other.m_literal)
    {
        other.m_mode = StorageMode::Buffer;
        other.m_buffer = nullptr;
        other.m_literal = nullptr;
    }

    String::~String()
    {
        if (m_buffer != nullptr)
        {
            m_buffer->Release();
        }
    }

    String& String::operator=(const String& other) noexcept
    {
        if (this != &other)
        {
            // Taking the new reference first keeps a buffer alive that both strings share.
            if (other.m_buffer != nullptr)
            {
                other.m_buffer->AddRef();
            }
            if (m_buffer != nullptr)
            {
                m_buffer->Release();
            }
            m_mode = other.m_mode;
            m_buffer = other.m_buffer;
            m_literal = other.m_literal;
        }
        return *this;
    }

    String& String::operator=(String&& other) noexcept
    {
        if (this != &other)
        {
            if (m_buffer != nullptr)
            {
                m_buffer->Release();
            }
            m_mode = other.m_mode;
            m_buffer = other.m_buffer;
            m_literal = other.m_literal;
            other.m_mode = StorageMode::Buffer;
            other.m_buffer = nullptr;
            other.m_literal = nullptr;
        }
        return *this;
    }

    String& String::operator=(PCWSTR text)
    {
        Assign(text);
        return *this;
    }

    void String::TakeBuffer(StringBuffer* buffer) noexcept
    {
        if (m_buffer != nullptr)
        {
            m_buffer->Release();
        }
        m_mode = StorageMode::Buffer;
        m_buffer = buffer;
        m_literal = nullptr;
    }

    void String::Assign(PCWSTR text)
    {
        if (text == GetBuffer())
        {
            return;
        }
        // The copy is made before the old buffer goes, so text may point into it.
        TakeBuffer(text == nullptr ? nullptr : new StringBuffer(text, 0));
    }

    void String::Assign(const char* text, UINT codePage, int byteCount)
    {
        const int length = ::MultiByteToWideChar(codePage, 0, text, byteCount, nullptr, 0);
        if (length == 0)
        {
            TARN_THROW_WIN32(L"Tarn::String::Assign", L"MultiByteToWideChar() failed, GetLastError() returns 0x{0:X}",
                             ::GetLastError());
        }
        AutoRefCountPtr<StringBuffer> buffer(new StringBuffer(nullptr, static_cast<UINT32>(length) + 1));
        if (::MultiByteToWideChar(codePage, 0, text, byteCount, buffer->GetCharacters(), length) == 0)
        {
            TARN_THROW_WIN32(L"Tarn::String::Assign", L"MultiByteToWideChar() failed, GetLastError() returns 0x{0:X}",
                             ::GetLastError());
        }
        buffer->GetCharacters()[length] = L'\0';
        TakeBuffer(buffer.Detach());
    }

    void String::Load(UINT resourceId, HINSTANCE instance)
    {
        if (instance == nullptr)
        {
            throw ArgumentException();
        }
        // Loading into a buffer of its own leaves this string as it was when the lookup fails.
        for (UINT32 capacity = InitialLoadCapacity;; capacity *= 2)
        {
            AutoRefCountPtr<StringBuffer> buffer(new StringBuffer(nullptr, capacity));
            // LoadStringW reports a missing string in an existing block without setting an error.
            const int length = TARN_CALL_WIN32_FRESH(
                ::LoadStringW(instance, resourceId, buffer->GetCharacters(), static_cast<int>(capacity)), 0,
                L"Tarn::String::Load", L"LoadString() failed, error code 0x{0:X}");
            if (length == 0)
            {
                buffer->GetCharacters()[0] = L'\0';
                TakeBuffer(buffer.Detach());
                return;
            }
            // A text that fills the buffer exactly may have been cut short.
            if (static_cast<UINT32>(length) + 1 != capacity)
            {
                TakeBuffer(buffer.Detach());
                return;
            }
        }
    }

    PWSTR String::GetBuffer() const noexcept
    {
        if (m_mode == StorageMode::Literal)
        {
            return const_cast<PWSTR>(m_literal);
        }
        return m_buffer != nullptr ? m_buffer->GetCharacters() : nullptr;
    }

    UINT32 String::GetLength() const
    {
        return GetStringLength(GetBuffer());
    }

    UINT32 String::GetCapacity() const noexcept
    {
        return m_mode == StorageMode::Buffer && m_buffer != nullptr ? m_buffer->GetCapacity() : 0;
    }

    bool String::IsNull() const noexcept
    {
        return GetBuffer() == nullptr;
    }

    bool String::IsEmpty() const
    {
        const PCWSTR data = GetBuffer();
        return data != nullptr && data[0] == L'\0';
    }

    bool String::IsNullOrEmpty() const
    {
        const PCWSTR data = GetBuffer();
        return data == nullptr || data[0] == L'\0';
    }

    WCHAR String::GetAt(UINT32 position) const
    {
        if (position >= GetLength())
        {
            throw ArgumentException();
        }
        return GetBuffer()[position];
    }

    void String::Reserve(UINT32 capacity)
    {
        if (m_mode == StorageMode::Buffer && m_buffer != nullptr && m_buffer->GetReferenceCount() < 2 &&
            m_buffer->GetCapacity() >= capacity)
        {
            return;
        }
        TakeBuffer(new StringBuffer(GetBuffer(), capacity));
    }

    void String::Append(const String& text)
    {
        const UINT32 length = text.GetLength();
        if (length != 0)
        {
            Append(text.GetBuffer(), length);
        }
    }

    void String::Append(PCWSTR text, UINT32 maximumCount)
    {
        if (text == nullptr)
        {
            throw ArgumentException();
        }
        UINT32 count = GetStringLength(text);
        if (count > maximumCount)
        {
            count = maximumCount;
        }
        if (count == 0)
        {
            return;
        }
        // Text inside this string's own buffer (appending a string to itself) must survive Reserve:
        // the extra reference makes Reserve copy into a new buffer and keeps the old one readable.
        StringBuffer* own = m_mode == StorageMode::Buffer ? m_buffer : nullptr;
        const bool textIsOwn = own != nullptr &&
                               reinterpret_cast<ULONG_PTR>(text) >= reinterpret_cast<ULONG_PTR>(own->GetCharacters()) &&
                               reinterpret_cast<ULONG_PTR>(text) <
                                   reinterpret_cast<ULONG_PTR>(own->GetCharacters() + own->GetCapacity());
        if (textIsOwn)
        {
            own->AddRef();
        }
        AutoRefCountPtr<StringBuffer> source(textIsOwn ? own : nullptr);

        Reserve(GetLength() + 1 + count);
        if (FAILED(::StringCchCatNW(m_buffer->GetCharacters(), m_buffer->GetCapacity(), text, count)))
        {
            throw ArgumentException();
        }
    }

    void String::Append(WCHAR character)
    {
        const WCHAR text[] = {character, L'\0'};
        Append(text, 1);
    }

    void String::Append(WCHAR character, UINT32 count)
    {
        if (count == 0)
        {
            return;
        }
        if (count >= STRSAFE_MAX_CCH)
        {
            throw ArgumentException();
        }
        AutoArrayPtr<WCHAR> text(new WCHAR[count + 1]);
        for (UINT32 index = 0; index < count; ++index)
        {
            text[index] = character;
        }
        text[count] = L'\0';
        Append(text.Get(), count);
    }

    String& String::operator+=(const String& text)
    {
        Append(text);
        return *this;
    }

    void String::Clear()
    {
        if (m_mode == StorageMode::Buffer)
        {
            TakeBuffer(nullptr);
        }
    }

    String String::Clone() const
    {
        String clone;
        if (!IsNull())
        {
            clone.TakeBuffer(new StringBuffer(GetBuffer(), 0));
        }
        return clone;
    }

    int String::Compare(const String& other, CompareMode mode) const
    {
        const DWORD flags = mode == CompareMode::IgnoreCase ? NORM_IGNORECASE : 0;
        return InternalCompare(other.GetBuffer(), LOCALE_USER_DEFAULT, flags);
    }

    bool String::operator==(const String& other) const
    {
        return InternalCompare(other.GetBuffer(), LOCALE_USER_DEFAULT, 0) == 0;
    }

    bool String::operator!=(PCWSTR other) const
    {
        return InternalCompare(other, LOCALE_USER_DEFAULT, 0) != 0;
    }

    int String::InternalCompare(PCWSTR other, LCID locale, DWORD flags) const
    {
        const PCWSTR data = GetBuffer();
        if (data == nullptr || other == nullptr)
        {
            return data == other ? 0 : (data == nullptr ? -1 : 1);
        }
        const int result = ::CompareStringW(locale, flags, data, -1, other, -1);
        switch (result)
        {
        case CSTR_LESS_THAN:
            return -1;
        case CSTR_EQUAL:
            return 0;
        case CSTR_GREATER_THAN:
            return 1;
        case 0:
            TARN_THROW_WIN32(L"Tarn::String::InternalCompare", L"CompareString() failed, GetLastError() returns 0x{0:X}",
                             ::GetLastError());
        default:
            TARN_TRACE(TraceLevel::Critical, L"Tarn::String::InternalCompare",
                       L"Unhandled return code {0} from CompareString()", result);
            throw NotImplementedException();
        }
    }

    UINT32 String::IndexOf(const String& text, UINT32 start) const
    {
        const UINT32 textLength = text.GetLength();
        if (textLength == 0)
        {
            throw ArgumentException();
        }
        const UINT32 length = GetLength();
        if (length == 0 || textLength > length || start > length - textLength)
        {
            return NotFound;
        }
        const PCWSTR data = GetBuffer();
        const PCWSTR find = text.GetBuffer();
        for (UINT32 position = start; position <= length - textLength; ++position)
        {
            if (std::wmemcmp(data + position, find, textLength) == 0)
            {
                return position;
            }
        }
        return NotFound;
    }

    UINT32 String::IndexOf(WCHAR character, UINT32 start) const
    {
        const UINT32 length = GetLength();
        if (length == 0)
        {
            return NotFound;
        }
        if (start >= length)
        {
            throw ArgumentException();
        }
        const PCWSTR data = GetBuffer();
        for (UINT32 position = start; position < length; ++position)
        {
            if (data[position] == character)
            {
                return position;
            }
        }
        return NotFound;
    }

    bool String::StartsWith(WCHAR character) const
    {
        return !IsNullOrEmpty() && GetBuffer()[0] == character;
    }

    String String::Substring(UINT32 start, UINT32 count) const
    {
        const UINT32 length = GetLength();
        if (count == 0 || count > length || start > length - count)
        {
            throw ArgumentException();
        }
        if (start == 0 && count == length)
        {
            return *this;
        }
        String result;
        result.Reserve(count + 1);
        result.Append(GetBuffer() + start, count);
        return result;
    }

    String String::Left(UINT32 count) const
    {
        return Substring(0, count);
    }

    String String::Right(UINT32 count) const
    {
        const UINT32 length = GetLength();
        if (count > length)
        {
            throw ArgumentException();
        }
        return Substring(length - count, count);
    }

    String String::TrimStart(WCHAR character) const
    {
        if (character == L'\0')
        {
            throw ArgumentException();
        }
        const UINT32 length = GetLength();
        const PCWSTR data = GetBuffer();
        UINT32 start = 0;
        while (start < length && data[start] == character)
        {
            ++start;
        }
        return start == length ? String() : Substring(start, length - start);
    }

    String String::TrimEnd(WCHAR character) const
    {
        if (character == L'\0')
        {
            throw ArgumentException();
        }
        const PCWSTR data = GetBuffer();
        UINT32 end = GetLength();
        while (end > 0 && data[end - 1] == character)
        {
            --end;
        }
        return end == 0 ? String() : Substring(0, end);
    }

    String String::Trim(WCHAR character) const
    {
        return TrimStart(character).TrimEnd(character);
    }

    String String::Replace(const String& find, const String& replacement) const
    {
        const UINT32 findLength = find.GetLength();
        if (findLength == 0)
        {
            throw ArgumentException();
        }
        const UINT32 replacementLength = replacement.GetLength();
        // Only a code-unit-identical replacement may be skipped: a linguistic comparison calls texts
        // equal that differ in ignorable or composed characters (a soft hyphen and nothing, for one).
        if (replacementLength == findLength && std::wmemcmp(find.GetBuffer(), replacement.GetBuffer(), findLength) == 0)
        {
            return *this;
        }
        String result(*this);
        UINT32 position = 0;
        while (!result.IsEmpty())
        {
            const UINT32 match = result.IndexOf(find, position);
            if (match == NotFound)
            {
                break;
            }
            const UINT32 length = result.GetLength();
            const UINT32 tail = match + findLength;
            const UINT32 nextLength = length - findLength + replacementLength;
            String next;
            if (nextLength != 0)
            {
                next.Reserve(nextLength + 1);
            }
            if (match != 0)
            {
                next.Append(result.GetBuffer(), match);
            }
            next.Append(replacement);
            if (tail < length)
            {
                next.Append(result.GetBuffer() + tail);
            }
            result = std::move(next);
            position = match + replacementLength;
        }
        return result;
    }

    String String::Remove(const String& find) const
    {
        return Replace(find, Empty);
    }

    String String::Remove(WCHAR character) const
    {
        const WCHAR text[] = {character, L'\0'};
        return Remove(String(text, true));
    }

    String String::FormatObject(const String& format, const Locale&) const
    {
        if (!format.IsNullOrEmpty())
        {
            TARN_TRACE(TraceLevel::Error, L"Tarn::String::FormatObject", L"Unhandled format string \"{0}\"", format);
            throw FormatException();
        }
        return IsNull() ? Empty : *this;
    }

    UINT32 String::GetSerializedSize() const
    {
        return IsNull() ? 1 : GetRequiredBufferSize(GetBuffer(), CP_UTF8);
    }

    UINT32 String::Serialize(BYTE* buffer, UINT32 bufferSize) const
    {
        if (buffer == nullptr || bufferSize == 0)
        {
            throw ArgumentException();
        }
        if (IsNull())
        {
            buffer[0] = 0;
            return 1;
        }
        // The terminator is converted too, so the count includes it.
        const int size = static_cast<int>(bufferSize > MaximumConversionCount ? MaximumConversionCount : bufferSize);
        const int written =
            ::WideCharToMultiByte(CP_UTF8, 0, GetBuffer(), -1, reinterpret_cast<LPSTR>(buffer), size, nullptr, nullptr);
        if (written == 0)
        {
            ThrowLastError();
        }
        return static_cast<UINT32>(written);
    }

    UINT32 String::Deserialize(const BYTE* bytes, UINT32 byteCount)
    {
        // A larger count would reach MultiByteToWideChar as a negative length.
        if (bytes == nullptr || byteCount == 0 || byteCount > MaximumConversionCount)
        {
            throw ArgumentException();
        }
        Assign(reinterpret_cast<const char*>(bytes), CP_UTF8, static_cast<int>(byteCount));
        const void* terminator = std::memchr(bytes, 0, byteCount);
        return terminator == nullptr ? byteCount : static_cast<UINT32>(static_cast<const BYTE*>(terminator) - bytes) + 1;
    }

    UINT32 String::GetStringLength(PCWSTR text)
    {
        return MeasureText(text, &::StringCchLengthW, L"StringCchLengthW() failed");
    }

    UINT32 String::GetStringLength(const char* text)
    {
        return MeasureText(text, &::StringCchLengthA, L"StringCchLengthA() failed");
    }

    UINT32 String::GetRequiredBufferSize(PCWSTR text, UINT codePage)
    {
        if (text == nullptr)
        {
            return 0;
        }
        const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
        const int size = ::WideCharToMultiByte(codePage, flags, text, -1, nullptr, 0, nullptr, nullptr);
        if (size == 0)
        {
            TARN_THROW_WIN32(L"Tarn::String::GetRequiredBufferSize", L"WideCharToMultiByte() failed. Error code 0x{0:X8}",
                             ::GetLastError());
        }
        return static_cast<UINT32>(size);
    }
}
