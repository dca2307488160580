#pragma once
// The library's records as a test sees them: captured through the sink, and the exact head each
// one starts with (as written to the sink and to standard error).
#include "LogInterface.h"

#include <string>
#include <vector>

namespace ravel::test {

// The head of a record up to its line number (without a file: up to the file's name).
inline std::string record(const std::string& comment, const char* category, const char* type, const char* level,
                          const char* file = nullptr)
{
    const std::string head = "COMMENT: " + comment + "   CAT: " + category + "  TYPE: " + type + "  LEVEL: " + level;
    return head + "  FILE: " + (file != nullptr ? file + std::string("  LINE: ") : "");
}

// Installs a sink for the lifetime of the object and keeps every record it is handed.
class LogCapture
{
public:
    explicit LogCapture(LogInterface::teLevel threshold = LogInterface::LEVEL_OMEGA)
    {
        setRavelUtilitiesLogLevel(threshold);
        setRavelUtilitiesLogFile(
            [](const char* text, void* self) { static_cast<LogCapture*>(self)->m_records.emplace_back(text); }, this);
    }
    ~LogCapture()
    {
        setRavelUtilitiesLogFile(nullptr, nullptr);
        setRavelUtilitiesLogLevel(LogInterface::LEVEL_OMEGA);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& records() const { return m_records; }
    void clear() { m_records.clear(); }
    std::string all() const
    {
        std::string text;
        for (const std::string& r : m_records)
            text += r;
        return text;
    }
    bool contains(const std::string& text) const
    {
        for (const std::string& r : m_records)
            if (r.find(text) != std::string::npos)
                return true;
        return false;
    }
    // Whether a record has exactly this comment, category, type and level, from any file.
    bool has(const std::string& comment, const char* category, const char* type, const char* level) const
    {
        const std::string head = record(comment, category, type, level);
        for (const std::string& r : m_records)
            if (r.compare(0, head.size(), head) == 0)
                return true;
        return false;
    }
    bool general(const std::string& comment, const char* type = "info", const char* level = "release") const
    {
        return has(comment, "general", type, level);
    }

private:
    std::vector<std::string> m_records;
};

} // namespace ravel::test
