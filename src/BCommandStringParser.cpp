#include "BCommandStringParser.h"

#include "RWCTokenizer.h"

#include <cstdlib>

BCommandStringParser::BCommandStringParser() = default;

BCommandStringParser::BCommandStringParser(RWCString command, RWCString switchChars) : m_command(command)
{
    if (switchChars.isNull())
        return;
    const char switchChar = switchChars[0];
    m_switchChar = RWCString(switchChar);
    for (size_t i = 1; i < switchChars.length(); ++i) {
        const char other = switchChars[i];
        if (other == switchChar)
            continue;
        for (size_t at = m_command.first(other); at != RWCString::npos; at = m_command.first(other, at + 1))
            m_command[at] = switchChar;
    }
}

BCommandStringParser::BCommandStringParser(const BCommandStringParser&) = default;
BCommandStringParser& BCommandStringParser::operator=(const BCommandStringParser&) = default;
BCommandStringParser::~BCommandStringParser() = default;

RWCString& BCommandStringParser::getCommandString() { return m_command; }

bool BCommandStringParser::exists(char option) { return getValue(option, nullptr); }

bool BCommandStringParser::getString(char option, RWCString* value)
{
    RWCString text;
    const bool found = getValue(option, &text);
    if (value != nullptr)
        *value = text;
    return found && !text.isNull();
}

bool BCommandStringParser::getInt(char option, int* value)
{
    RWCString text;
    if (!getValue(option, &text) || text.isNull())
        return false;
    if (value != nullptr)
        *value = std::atoi(text.data());
    return true;
}

bool BCommandStringParser::getValue(char option, RWCString* value)
{
    if (value != nullptr)
        *value = RWCString();
    // Without a switch character no token can be an option.
    if (m_switchChar.isNull())
        return false;
    const char switchChar = m_switchChar[0];
    RWCTokenizer next(m_command);
    // Tokens are never empty, so an empty one means the text is used up. (Assigning to a
    // sub-string would write into the text, hence the copies.)
    for (RWCString token = next(); !token.isNull(); token = next()) {
        if (token.length() >= 2 && token[0] == switchChar && token[1] == option) {
            if (value != nullptr)
                *value = RWCString(next());
            return true;
        }
    }
    return false;
}
