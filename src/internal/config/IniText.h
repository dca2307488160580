#pragma once
// The text rules of INI files that the profile functions do not cover: key=value pairs and the
// NUL-key "[rename]" writer, which must repeat one key many times in a section.
#include "BStringVector.h"
#include "RWCString.h"

#include <string>

namespace ravel {

// The part before the last backslash (backslash excluded); empty without one.
RWCString iniDirectoryPart(const RWCString& fullPath);

// Split at the last "=": the key loses trailing blanks, the value leading ones. Both are empty
// when the pair has no "=".
RWCString iniKeyFromPair(const RWCString& pair);
RWCString iniValueFromPair(const RWCString& pair);

// The lines of a section as the profile functions return them (each ended by a zero), up to the
// first empty one; lines that begin with ";" are left out when asked.
BStringVector iniSectionLines(const char* data, size_t count, bool skipComments);

// The bytes of an INI file after the NUL-key entries were added to it, given the bytes it held
// (empty for a file that does not exist). The file is read and written as text on Windows: CR LF
// ends lines, and a Ctrl-Z ends what is read. Pieces of at most 254 characters are copied as they
// were; after every piece that mentions "[rename]" (ignoring case) one "NUL=<entry>" line per
// entry follows; without such a piece the section and its entries are appended at the end.
// Entries and an appended section always start on a line of their own.
std::string iniWithNulEntries(const std::string& existing, const BStringVector& entries);

} // namespace ravel
