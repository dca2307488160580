#pragma once
// The library's records as a test sees them: captured through the sink, and the exact head each
// one starts with.
#include "LogInterface.h"

#include <string>
#include <vector>

namespace ravel::test {

// The head of a record up to its line number, as written to the sink and to standard error.
std::string record(const std::string& comment, const char* category, const char* type, const char* level,
                   const char* file);

// Installs a sink for the lifetime of the object and keeps every record it is handed.
class LogCapture
{
public:
    explicit LogCapture(LogInterface::teLevel threshold = LogInterface::LEVEL_OMEGA);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& records() const { return m_records; }
    bool contains(const std::string& text) const;
    // Whether a record has exactly this comment, category, type and level, from any file.
    bool has(const std::string& comment, const char* category, const char* type, const char* level) const;
    void clear() { m_records.clear(); }
    std::string all() const;

private:
    static void sink(const char* record, void* context);
    std::vector<std::string> m_records;
};

} // namespace ravel::test
