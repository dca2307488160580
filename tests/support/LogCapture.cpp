#include "LogCapture.h"

namespace ravel::test {

namespace {
std::string head(const std::string& comment, const char* category, const char* type, const char* level)
{
    return "COMMENT: " + comment + "   CAT: " + category + "  TYPE: " + type + "  LEVEL: " + level + "  FILE: ";
}
} // namespace

std::string record(const std::string& comment, const char* category, const char* type, const char* level,
                   const char* file)
{
    return head(comment, category, type, level) + file + "  LINE: ";
}

LogCapture::LogCapture(LogInterface::teLevel threshold)
{
    setRavelUtilitiesLogLevel(threshold);
    setRavelUtilitiesLogFile(&LogCapture::sink, this);
}

LogCapture::~LogCapture()
{
    setRavelUtilitiesLogFile(nullptr, nullptr);
    setRavelUtilitiesLogLevel(LogInterface::LEVEL_OMEGA);
}

void LogCapture::sink(const char* text, void* context) { static_cast<LogCapture*>(context)->m_records.emplace_back(text); }

bool LogCapture::contains(const std::string& text) const
{
    for (const std::string& r : m_records)
        if (r.find(text) != std::string::npos)
            return true;
    return false;
}

bool LogCapture::has(const std::string& comment, const char* category, const char* type, const char* level) const
{
    const std::string start = head(comment, category, type, level);
    for (const std::string& r : m_records)
        if (r.compare(0, start.size(), start) == 0)
            return true;
    return false;
}

std::string LogCapture::all() const
{
    std::string text;
    for (const std::string& r : m_records)
        text += r;
    return text;
}

} // namespace ravel::test
