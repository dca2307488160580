#pragma once
// Running the system's route and arp commands (Windows only).
#include "RWCString.h"

#include <initializer_list>

namespace ravel {
// What the command line wrote to its standard output; empty when it could not be captured.
RWCString captureCommand(const char* commandLine);
// Fills the template's "%s" in order, runs the line without a console and waits for its end;
// false when it did not start. `line` receives the command line for the caller's records; a
// line too long for its buffer is never run and fails like one that cannot start.
bool runCommand(const char* pattern, std::initializer_list<RWCString> texts, RWCString& line);
} // namespace ravel
