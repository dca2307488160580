#pragma once
#include "RavelExport.h"

class RWCString;

// Receives each emitted record (valid only during the call) and the context given at install time.
typedef void (*LogSink)(const char* record, void* context);

// Common base of the library's classes: the logging vocabulary and a virtual destructor.
class RAVELUTIL_API LogInterface
{
public:
    enum teCategory { CAT_FILE = 0, CAT_GENERAL = 1, CAT_MEMORY = 2, CAT_NETWORK = 3, CAT_PRNTPATH = 4 };
    enum teType { TYPE_ASSERT = 0, TYPE_ERROR = 1, TYPE_INFO = 2, TYPE_WARN = 3 };
    enum teLevel { LEVEL_OMEGA = 0, LEVEL_ALPHA = 1, LEVEL_BETA = 2, LEVEL_FINAL = 3, LEVEL_RELEASE = 4 };

    LogInterface() = default;
    LogInterface(const LogInterface&) = default;
    LogInterface& operator=(const LogInterface&) = default;
    virtual ~LogInterface();

    static teLevel getLogLevel();
    // Allocates the record with array new into *out; the caller releases it with delete[].
    static void formatLogRecord(char** out, teCategory category, teType type, teLevel level, const char* file, int line,
                                const char* comment, const void* data, unsigned int dataLength);
    static void emitLogRecord(const char* record);
    static void log(teCategory category, teType type, teLevel level, const char* file, int line, const char* comment,
                    const void* data = nullptr, unsigned int dataLength = 0);

    // Whether a record at this level passes the threshold; call sites test it before building text.
    static bool isEnabled(teLevel level) { return static_cast<int>(getLogLevel()) <= static_cast<int>(level); }
    // The debug-output flag (OutputDebugString); set at load from RAVELUTIL_DEBUG_OUTPUT=1.
    static bool debugOutput();
};

extern "C" {
RAVELUTIL_API void setRavelUtilitiesLogFile(LogSink sink, void* context);
RAVELUTIL_API void setRavelUtilitiesLogLevel(LogInterface::teLevel level);
}

namespace ravel {
// Lets the call-site macros take a literal or a string expression alike.
inline const char* logText(const char* text) { return text; }
template <class S>
inline const char* logText(const S& text)
{
    return text.data();
}

// Logs the four bytes of a system error code as they lie in memory.
RAVELUTIL_API void logCode(LogInterface::teCategory category, LogInterface::teType type, LogInterface::teLevel level,
                           const char* file, int line, const char* comment, unsigned long code);
} // namespace ravel

#define RAVEL_LOG(cat, type, level, text)                                                                              \
    do {                                                                                                               \
        if (LogInterface::isEnabled(level))                                                                            \
            LogInterface::log((cat), (type), (level), __FILE__, __LINE__, ravel::logText(text));                       \
    } while (0)

#define RAVEL_LOG_DATA(cat, type, level, text, data, len)                                                              \
    do {                                                                                                               \
        if (LogInterface::isEnabled(level))                                                                            \
            LogInterface::log((cat), (type), (level), __FILE__, __LINE__, ravel::logText(text), (data), (len));        \
    } while (0)

#define RAVEL_LOG_CODE(cat, type, level, text, code)                                                                   \
    do {                                                                                                               \
        if (LogInterface::isEnabled(level))                                                                            \
            ravel::logCode((cat), (type), (level), __FILE__, __LINE__, ravel::logText(text),                           \
                           static_cast<unsigned long>(code));                                                          \
    } while (0)
