#pragma once
// Commands of ravelutil register themselves from their own files:
//
//   RAVEL_COMMAND(cmdPing, "ping", "ping <ip>", "probe a host once with an ICMP echo")
//   {
//       if (args.size() != 1) return usage("ping <ip>");
//       ...
//       return 0;   // 0 success or true, 1 false or failure
//   }
//
// `args` holds the words after the command name (global options already removed).
#include "RWCString.h"

#include <string>
#include <vector>

namespace ravelutil {

using Args = std::vector<std::string>;
using Handler = int (*)(const Args& args);

struct Command
{
    const char* name;
    const char* usage;
    const char* help;
    Handler run;
};

std::vector<Command>& commands();

struct Registrar
{
    explicit Registrar(const Command& command) { commands().push_back(command); }
};

// The one status line on standard error (progress), shown only when standard error is a terminal:
// rewritten in place, and cleared before anything else is written to standard error (errors,
// log records), so it never shares a line with them.
bool statusLineShown();
void showStatus(const std::string& text);
void clearStatus();

// Prints "usage: ravelutil <line>" on standard error and gives the usage exit code.
int usage(const std::string& line);
// Prints a one-line error on standard error and gives the usage exit code.
int usageError(const std::string& message);
// Prints "ravelutil: <message>" on standard error and gives the failure exit code.
int failure(const std::string& message);

enum ExitCode { kTrue = 0, kFalse = 1, kUsage = 2 };
inline int exitFor(bool answer) { return answer ? kTrue : kFalse; }

// Parses a whole decimal (or 0x hex) number; false when the text is not one or out of range.
bool parseLong(const std::string& text, long long& value);
bool parseUnsigned(const std::string& text, unsigned long long& value);

inline RWCString rw(const std::string& s) { return RWCString(s.data(), s.size()); }
inline std::string str(const RWCString& s) { return std::string(s.data(), s.length()); }

} // namespace ravelutil

#define RAVEL_COMMAND(ident, name, usageLine, helpLine)                                                                \
    static int ident(const ::ravelutil::Args& args);                                                                   \
    static const ::ravelutil::Registrar ident##Registrar({name, usageLine, helpLine, &ident});                         \
    static int ident(const ::ravelutil::Args& args)
