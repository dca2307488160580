#include "internal/files/VersionText.h"

#include <climits>
#include <cstdlib>

namespace ravel {

namespace {

const int kFieldsCompared = 4;

// Runs of these count as one separator.
bool isSeparator(char c) { return c == ' ' || c == ',' || c == '.'; }

// Walks the fields of a version text.
class Fields
{
public:
    explicit Fields(const RWCString& text) : m_text(text) {}

    // The next field as a number, or false when the text is used up.
    bool next(long& value)
    {
        const char* text = m_text.data();
        const size_t length = m_text.length();
        while (m_at < length && isSeparator(text[m_at]))
            ++m_at;
        if (m_at >= length)
            return false;
        const size_t start = m_at;
        while (m_at < length && !isSeparator(text[m_at]))
            ++m_at;
        value = leadingNumber(RWCString(text + start, m_at - start));
        return true;
    }

private:
    // The signed decimal number the field begins with; 0 without digits, clamped to int's range.
    static long leadingNumber(const RWCString& field)
    {
        long value = std::strtol(field.data(), nullptr, 10);
        if (value > INT_MAX)
            value = INT_MAX;
        if (value < INT_MIN)
            value = INT_MIN;
        return value;
    }

    const RWCString& m_text;
    size_t m_at = 0;
};

} // namespace

bool versionTextIsNewer(const RWCString& first, const RWCString& second)
{
    Fields a(first);
    Fields b(second);
    for (int field = 0; field < kFieldsCompared; ++field) {
        long x = 0;
        long y = 0;
        if (!a.next(x))
            return false;
        if (!b.next(y))
            return true;
        if (x != y)
            return x > y;
    }
    return false;
}

} // namespace ravel
