#include "RavelNames.h"

#include "archive_names.h"

// One rule for every archive the library reads: the cabinet engine's.
bool ravelIsUnsafeArchiveName(const char* name) { return cabinet::isUnsafeArchiveName(name); }
bool ravelIsUnsafeUtf8ArchiveName(const char* name) { return cabinet::isUnsafeArchiveName(name, true); }
