#include "tarnfunctionname.h"

#include <cstring>

namespace
{
    // A template parameter and the argument it stands for, as spans of the signature.
    struct Substitution
    {
        const char* Name;
        size_t NameLength;
        const char* Argument;
        size_t ArgumentLength;
    };

    const size_t MaximumSubstitutions = 16;

    // How GCC opens the clause of template arguments, and how it binds each argument.
    const char WithClause[] = "with ";
    const char Binding[] = " = ";

    bool IsIdentifierCharacter(char character)
    {
        return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
               (character >= '0' && character <= '9') || character == '_';
    }

    int NestingChange(char character)
    {
        switch (character)
        {
        case '<':
        case '(':
        case '[':
            return 1;
        case '>':
        case ')':
        case ']':
            return -1;
        default:
            return 0;
        }
    }

    // Writes the name spaced as MSVC spaces template arguments.
    class NameWriter
    {
    public:
        explicit NameWriter(Tarn::String& name) : m_name(name), m_last('\0') {}

        void Write(const char* text, size_t length)
        {
            for (size_t index = 0; index < length; ++index)
            {
                Write(text[index]);
            }
        }

        void Write(char character)
        {
            if (character == ' ' && m_last == ',')
            {
                return;
            }
            const bool pointerAfterName =
                (character == '*' || character == '&') && m_last != ' ' && m_last != '*' && m_last != '&';
            if ((character == '>' && m_last == '>') || pointerAfterName)
            {
                m_name.Append(L' ');
            }
            m_name.Append(static_cast<WCHAR>(static_cast<unsigned char>(character)));
            m_last = character;
        }

    private:
        Tarn::String& m_name;
        char m_last;
    };

    // GCC ends a template's signature with "[with T = int; U = char]": one substitution per item.
    size_t ReadSubstitutions(const char* clause, Substitution* substitutions)
    {
        const char* position = clause;
        if (std::strncmp(position, WithClause, sizeof(WithClause) - 1) == 0)
        {
            position += sizeof(WithClause) - 1;
        }
        size_t count = 0;
        while (*position != '\0' && *position != ']' && count < MaximumSubstitutions)
        {
            const char* separator = std::strstr(position, Binding);
            if (separator == nullptr)
            {
                break;
            }
            Substitution& substitution = substitutions[count++];
            substitution.Name = position;
            substitution.NameLength = static_cast<size_t>(separator - position);
            substitution.Argument = separator + sizeof(Binding) - 1;
            int depth = 0;
            const char* end = substitution.Argument;
            for (; *end != '\0'; ++end)
            {
                if (depth == 0 && (*end == ';' || *end == ']'))
                {
                    break;
                }
                depth += NestingChange(*end);
            }
            substitution.ArgumentLength = static_cast<size_t>(end - substitution.Argument);
            position = *end == ';' ? end + 1 : end;
            while (*position == ' ')
            {
                ++position;
            }
        }
        return count;
    }

    const Substitution* FindSubstitution(const char* identifier, size_t length, const Substitution* substitutions,
                                         size_t count)
    {
        for (size_t index = 0; index < count; ++index)
        {
            if (substitutions[index].NameLength == length &&
                std::strncmp(substitutions[index].Name, identifier, length) == 0)
            {
                return &substitutions[index];
            }
        }
        return nullptr;
    }
}

namespace Tarn
{
    String GetFunctionName(const char* compilerSignature) noexcept
    {
        try
        {
            // GCC: "[return type ]name(parameters)[ [with substitutions]]"; MSVC: the name alone.
            const size_t length = std::strlen(compilerSignature);
            size_t clause = length;
            size_t nameStart = 0;
            size_t nameEnd = length;
            int depth = 0;
            for (size_t index = 0; index < length; ++index)
            {
                const char character = compilerSignature[index];
                if (depth == 0 && character == ' ' && compilerSignature[index + 1] == '[')
                {
                    clause = index + 1;
                    nameEnd = nameEnd < index ? nameEnd : index;
                    break;
                }
                if (depth == 0 && nameEnd == length)
                {
                    if (character == '(')
                    {
                        nameEnd = index;
                    }
                    else if (character == ' ')
                    {
                        nameStart = index + 1;
                    }
                }
                depth += NestingChange(character);
            }
            while (nameStart < nameEnd && (compilerSignature[nameStart] == '*' || compilerSignature[nameStart] == '&'))
            {
                ++nameStart;
            }

            Substitution substitutions[MaximumSubstitutions];
            const size_t substitutionCount =
                clause < length ? ReadSubstitutions(compilerSignature + clause + 1, substitutions) : 0;

            String name(L"", true);
            NameWriter writer(name);
            int templateDepth = 0;
            for (size_t index = nameStart; index < nameEnd;)
            {
                const char character = compilerSignature[index];
                if (!IsIdentifierCharacter(character))
                {
                    templateDepth += character == '<' ? 1 : character == '>' ? -1 : 0;
                    writer.Write(character);
                    ++index;
                    continue;
                }
                size_t identifierEnd = index;
                while (identifierEnd < nameEnd && IsIdentifierCharacter(compilerSignature[identifierEnd]))
                {
                    ++identifierEnd;
                }
                const Substitution* substitution =
                    templateDepth > 0 ? FindSubstitution(compilerSignature + index, identifierEnd - index,
                                                         substitutions, substitutionCount)
                                      : nullptr;
                if (substitution != nullptr)
                {
                    writer.Write(substitution->Argument, substitution->ArgumentLength);
                }
                else
                {
                    writer.Write(compilerSignature + index, identifierEnd - index);
                }
                index = identifierEnd;
            }
            return name;
        }
        catch (...)
        {
            return String();
        }
    }
}
