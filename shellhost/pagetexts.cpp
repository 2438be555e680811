#include "pagetexts.h"

#include "console.h"
#include "resource.h"

namespace ShellHost
{
    namespace
    {
        const WORD ExtendedTemplateSignature = 0xFFFF;
        const DWORD NoIdentifier = 0xFFFF;

        // Reads the parts of a resource in order; throws Failure past its end.
        class ResourceReader
        {
        public:
            ResourceReader(const BYTE* data, DWORD size) : m_data(data), m_size(size), m_offset(0) {}

            template <typename T> T Read()
            {
                T value;
                Require(sizeof(T));
                memcpy(&value, m_data + m_offset, sizeof(T));
                m_offset += sizeof(T);
                return value;
            }

            void Skip(DWORD count)
            {
                Require(count);
                m_offset += count;
            }

            void AlignToDword() { m_offset = (m_offset + 3) & ~3u; }

            // A zero-terminated string.
            std::wstring ReadString()
            {
                std::wstring text;
                for (wchar_t character = Read<wchar_t>(); character != L'\0'; character = Read<wchar_t>())
                {
                    text += character;
                }
                return text;
            }

            // A string, or 0xFFFF and a 16-bit ordinal (returned as empty).
            std::wstring ReadStringOrOrdinal()
            {
                if (Read<WORD>() == 0xFFFF)
                {
                    Read<WORD>();
                    return std::wstring();
                }
                m_offset -= sizeof(WORD);
                return ReadString();
            }

        private:
            void Require(DWORD count) const
            {
                if (m_offset + count > m_size)
                {
                    throw Failure(L"digestry.dll holds a damaged resource");
                }
            }

            const BYTE* m_data;
            DWORD m_size;
            DWORD m_offset;
        };

        ResourceReader FindResourceData(HMODULE dll, LPCWSTR type, WORD name, LANGID language)
        {
            const HRSRC found = ::FindResourceExW(dll, type, MAKEINTRESOURCEW(name), language);
            const HGLOBAL loaded = found != nullptr ? ::LoadResource(dll, found) : nullptr;
            if (loaded == nullptr)
            {
                throw Failure(L"digestry.dll has no resource " + std::to_wstring(name) + L" in language " +
                              FormatCode(language));
            }
            return ResourceReader(static_cast<const BYTE*>(::LockResource(loaded)), ::SizeofResource(dll, found));
        }

        // The string of a string table: 16 counted strings to a block.
        std::wstring LoadText(HMODULE dll, UINT id, LANGID language)
        {
            ResourceReader block = FindResourceData(dll, RT_STRING, static_cast<WORD>(id / 16 + 1), language);
            for (UINT index = 0; index < id % 16; ++index)
            {
                block.Skip(block.Read<WORD>() * sizeof(wchar_t));
            }
            std::wstring text(block.Read<WORD>(), L'\0');
            for (wchar_t& character : text)
            {
                character = block.Read<wchar_t>();
            }
            return text;
        }
    }

    PageTexts PageTexts::Load(HMODULE dll, LANGID language)
    {
        ResourceReader dialog = FindResourceData(dll, RT_DIALOG, IDD_DIGESTRY_PAGE, language);
        dialog.Skip(sizeof(WORD));
        if (dialog.Read<WORD>() != ExtendedTemplateSignature)
        {
            throw Failure(L"digestry.dll's page template is not an extended one");
        }
        dialog.Skip(3 * sizeof(DWORD));  // help id, extended style, style
        const WORD count = dialog.Read<WORD>();
        dialog.Skip(4 * sizeof(short));
        dialog.ReadStringOrOrdinal();  // menu
        dialog.ReadStringOrOrdinal();  // class
        dialog.ReadString();           // caption
        dialog.Skip(2 * sizeof(WORD) + 2);
        dialog.ReadString();  // font

        PageTexts texts;
        for (WORD item = 0; item < count; ++item)
        {
            dialog.AlignToDword();
            dialog.Skip(3 * sizeof(DWORD) + 4 * sizeof(short));  // help id, styles, position
            const DWORD id = dialog.Read<DWORD>();
            dialog.ReadStringOrOrdinal();  // class
            const std::wstring text = dialog.ReadStringOrOrdinal();
            dialog.Skip(dialog.Read<WORD>());
            if (LOWORD(id) == NoIdentifier)
            {
                texts.labels.push_back(text);
            }
            else if (id == IDC_ABOUT_LINK)
            {
                texts.about = text;
            }
        }
        texts.computing = LoadText(dll, IDS_COMPUTING, language);
        texts.failure = LoadText(dll, IDS_COMPUTE_ERROR, language);
        texts.match = LoadText(dll, IDS_CHECKSUM_MATCH, language);
        texts.mismatch = LoadText(dll, IDS_CHECKSUM_MISMATCH, language);
        return texts;
    }
}
