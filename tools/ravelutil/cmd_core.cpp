// Core commands: version, number conversion, log record formatting.
#include "command.h"

#include "LogInterface.h"
#include "RavelConvert.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace ravelutil;

#ifndef RAVEL_VERSION_TEXT
#define RAVEL_VERSION_TEXT "unknown"
#endif

RAVEL_COMMAND(cmdVersion, "version", "version", "print the version of RavelUtilities")
{
    (void)args;
    std::printf("RavelUtilities %s\n", RAVEL_VERSION_TEXT);
    return kTrue;
}

RAVEL_COMMAND(cmdItoa, "itoa", "itoa <value> <radix> [--i64|--u64]", "convert an integer to text in radix 2..36")
{
    if (args.size() < 2 || args.size() > 3)
        return usage("itoa <value> <radix> [--i64|--u64]");
    long long radix = 0;
    if (!parseLong(args[1], radix) || radix < 2 || radix > 36)
        return usageError("radix must be 2..36");
    const std::string width = args.size() == 3 ? args[2] : "";
    RWCString text;
    if (width == "--u64") {
        unsigned long long value = 0;
        if (!parseUnsigned(args[0], value))
            return usageError("value is not an unsigned 64-bit number: " + args[0]);
        text = ui64ToRWCString(value, static_cast<int>(radix));
    } else if (width == "--i64") {
        long long value = 0;
        if (!parseLong(args[0], value))
            return usageError("value is not a signed 64-bit number: " + args[0]);
        text = i64ToRWCString(value, static_cast<int>(radix));
    } else if (width.empty()) {
        long long value = 0;
        if (!parseLong(args[0], value) || value < -2147483648LL || value > 2147483647LL)
            return usageError("value is not a signed 32-bit number: " + args[0]);
        text = iToRWCString(static_cast<int>(value), static_cast<int>(radix));
    } else {
        return usage("itoa <value> <radix> [--i64|--u64]");
    }
    std::printf("%s\n", text.data());
    return kTrue;
}

namespace {
bool parseHexBytes(const std::string& text, std::vector<unsigned char>& bytes)
{
    if (text == "-")
        return true;
    if (text.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned long long value = 0;
        if (!parseUnsigned("0x" + text.substr(i, 2), value))
            return false;
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return true;
}
} // namespace

RAVEL_COMMAND(cmdLogRecord, "log-record", "log-record <category> <type> <level> <file> <line> <comment> [hex bytes]",
              "print the record the logger formats (hex bytes as one string, - for an empty dump)")
{
    static const char kUsage[] = "log-record <category> <type> <level> <file> <line> <comment> [hex bytes]";
    if (args.size() != 6 && args.size() != 7)
        return usage(kUsage);
    long long category = 0, type = 0, level = 0, line = 0;
    if (!parseLong(args[0], category) || category < 0 || category > 4 || !parseLong(args[1], type) || type < 0 ||
        type > 3 || !parseLong(args[2], level) || level < 0 || level > 4)
        return usageError("category 0..4, type 0..3, level 0..4");
    if (!parseLong(args[4], line) || line < -2147483648LL || line > 2147483647LL)
        return usageError("line is not a 32-bit number: " + args[4]);
    std::vector<unsigned char> bytes;
    const bool withData = args.size() == 7;
    if (withData && !parseHexBytes(args[6], bytes))
        return usageError("hex bytes must be pairs of hex digits, or - for none");
    static const unsigned char kNone = 0;
    char* record = nullptr;
    LogInterface::formatLogRecord(
        &record, static_cast<LogInterface::teCategory>(category), static_cast<LogInterface::teType>(type),
        static_cast<LogInterface::teLevel>(level), args[3].c_str(), static_cast<int>(line), args[5].c_str(),
        withData ? (bytes.empty() ? &kNone : bytes.data()) : nullptr, static_cast<unsigned int>(bytes.size()));
    std::fputs(record, stdout);
    delete[] record;
    return kTrue;
}
