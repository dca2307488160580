#include "internal/config/IniText.h"

namespace ravel {

namespace {
const char kSectionLine[] = "[rename]";
const char kNulKey[] = "NUL";
const char kSeparator[] = "=";
// A line is read with a buffer of 255 characters: pieces of 254 and the terminator.
const size_t kPieceLength = 254;
const char kEndOfText = '\x1a';

// Text mode as the C runtime reads a file: CR LF becomes LF and Ctrl-Z ends the text.
std::string readAsText(const std::string& bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size() && bytes[i] != kEndOfText; ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
    return text;
}

// Text mode as the C runtime writes: every LF goes out as CR LF.
std::string writeAsText(const std::string& text)
{
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

void appendEntries(std::string& out, const BStringVector& entries)
{
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    for (unsigned int i = 0; i < entries.entries(); ++i) {
        const RWCString entry = entries[i];
        out += kNulKey;
        out += kSeparator;
        out.append(entry.data(), entry.length());
        out += '\n';
    }
}
} // namespace

RWCString iniDirectoryPart(const RWCString& fullPath)
{
    const size_t at = fullPath.last('\\');
    return at == RWCString::npos ? RWCString() : RWCString(fullPath.data(), at);
}

RWCString iniKeyFromPair(const RWCString& pair)
{
    const size_t at = pair.last('=');
    if (at == RWCString::npos)
        return RWCString();
    const RWCString key(pair.data(), at);
    return RWCString(key.strip(RWCString::trailing));
}

RWCString iniValueFromPair(const RWCString& pair)
{
    const size_t at = pair.last('=');
    if (at == RWCString::npos)
        return RWCString();
    const RWCString value(pair.data() + at + 1, pair.length() - at - 1);
    return RWCString(value.strip(RWCString::leading));
}

BStringVector iniSectionLines(const char* data, size_t count, bool skipComments)
{
    BStringVector lines;
    for (size_t from = 0; from < count;) {
        size_t end = from;
        while (end < count && data[end] != '\0')
            ++end;
        if (end == from)
            break;
        if (!(skipComments && data[from] == ';'))
            lines.insert(RWCString(data + from, end - from));
        from = end + 1;
    }
    return lines;
}

std::string iniWithNulEntries(const std::string& existing, const BStringVector& entries)
{
    const std::string text = readAsText(existing);
    std::string out;
    out.reserve(text.size() + 64 * (entries.entries() + 1));
    bool written = false;
    for (size_t from = 0; from < text.size();) {
        const size_t lineEnd = text.find('\n', from);
        const size_t end = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        const size_t length = end - from < kPieceLength ? end - from : kPieceLength;
        const RWCString piece(text.data() + from, length);
        out.append(piece.data(), piece.length());
        from += length;
        if (piece.contains(kSectionLine, RWCString::ignoreCase)) {
            appendEntries(out, entries);
            written = true;
        }
    }
    if (!written) {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += kSectionLine;
        out += '\n';
        appendEntries(out, entries);
    }
    return writeAsText(out);
}

} // namespace ravel
