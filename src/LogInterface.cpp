#include "LogInterface.h"

#include "internal/core/DebugOutput.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kCategoryWords[] = {"file", "general", "memory", "network", "prntpath"};
const char* const kTypeWords[] = {"assert", "error", "info", "warn"};
const char* const kLevelWords[] = {"omega", "alpha", "beta", "final", "release"};

const char kHeadFormat[] = "COMMENT: %s   CAT: %s  TYPE: %s  LEVEL: %s  FILE: %s  LINE: %d";
const char kDataHeader[] = "\n     DATA: ";
const char kDumpLineBreak[] = "\n           "; // aligns every dump line under the first byte
const unsigned kBytesPerLine = 12;

// Process-wide state, set by the host; no lock, as the host configures before use.
LogSink g_sink = nullptr;
void* g_context = nullptr;
std::int32_t g_threshold = LogInterface::LEVEL_OMEGA;

bool readDebugFlag()
{
    const char* value = std::getenv("RAVELUTIL_DEBUG_OUTPUT");
    return value != nullptr && value[0] == '1';
}
const bool g_debugOutput = readDebugFlag();

template <std::size_t N>
const char* word(const char* const (&table)[N], int value)
{
    // Callers pass values of the enumerations; anything else prints as "?" rather than reading past the table.
    return value >= 0 && static_cast<std::size_t>(value) < N ? table[value] : "?";
}

} // namespace

LogInterface::~LogInterface() = default;

LogInterface::teLevel LogInterface::getLogLevel() { return static_cast<teLevel>(g_threshold); }

bool LogInterface::debugOutput() { return g_debugOutput; }

void LogInterface::formatLogRecord(char** out, teCategory category, teType type, teLevel level, const char* file,
                                   int line, const char* comment, const void* data, unsigned int dataLength)
{
    const char* cat = word(kCategoryWords, category);
    const char* typ = word(kTypeWords, type);
    const char* lvl = word(kLevelWords, level);
    if (comment == nullptr)
        comment = "";
    if (file == nullptr)
        file = "";

    const int headLength = std::snprintf(nullptr, 0, kHeadFormat, comment, cat, typ, lvl, file, line);
    std::size_t size = static_cast<std::size_t>(headLength > 0 ? headLength : 0) + 2; // "\n" and zero
    if (data != nullptr) {
        const std::size_t lines = dataLength == 0 ? 0 : (dataLength - 1) / kBytesPerLine;
        size += sizeof kDataHeader - 1 + 3u * dataLength + lines * (sizeof kDumpLineBreak - 1);
    }

    char* buffer = new char[size];
    int used = std::snprintf(buffer, size, kHeadFormat, comment, cat, typ, lvl, file, line);
    char* p = buffer + (used > 0 ? used : 0);
    if (data != nullptr) {
        std::memcpy(p, kDataHeader, sizeof kDataHeader - 1);
        p += sizeof kDataHeader - 1;
        static const char hex[] = "0123456789abcdef";
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (unsigned int i = 0; i < dataLength; ++i) {
            if (i != 0 && i % kBytesPerLine == 0) {
                std::memcpy(p, kDumpLineBreak, sizeof kDumpLineBreak - 1);
                p += sizeof kDumpLineBreak - 1;
            }
            *p++ = hex[bytes[i] >> 4];
            *p++ = hex[bytes[i] & 0x0f];
            *p++ = ' ';
        }
    }
    *p++ = '\n';
    *p = '\0';
    *out = buffer;
}

void LogInterface::emitLogRecord(const char* record)
{
    if (g_debugOutput)
        ravel::debugOutput(record);
    if (g_sink != nullptr && g_context != nullptr)
        g_sink(record, g_context);
}

void LogInterface::log(teCategory category, teType type, teLevel level, const char* file, int line, const char* comment,
                       const void* data, unsigned int dataLength)
{
    if (g_threshold > static_cast<std::int32_t>(level))
        return;
    char* record = nullptr;
    formatLogRecord(&record, category, type, level, file, line, comment, data, dataLength);
    emitLogRecord(record);
    delete[] record;
}

void setRavelUtilitiesLogFile(LogSink sink, void* context)
{
    g_sink = sink;
    g_context = context;
}

void setRavelUtilitiesLogLevel(LogInterface::teLevel level) { g_threshold = static_cast<std::int32_t>(level); }

namespace ravel {
void logCode(LogInterface::teCategory category, LogInterface::teType type, LogInterface::teLevel level,
             const char* file, int line, const char* comment, unsigned long code)
{
    const std::uint32_t value = static_cast<std::uint32_t>(code);
    unsigned char bytes[4];
    std::memcpy(bytes, &value, sizeof bytes);
    LogInterface::log(category, type, level, file, line, comment, bytes, sizeof bytes);
}
} // namespace ravel
