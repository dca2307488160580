// The one rule for names an archive supplies (stored file names, next-cabinet names, zip entry
// names) before any of them reaches the file system. Portable; judged on the name as stored,
// before it is joined to a directory, so a caller's own destination may well contain "..".
#pragma once

#include <string>

namespace cabinet {

// Refused: absolute names ("\x", "/x", "\\host\share"), drive letters and stream colons (any
// ':'), components Windows reads as ".." (two or more dots with only dots and blanks beside
// them), and device names (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 in any case, with any
// extension, trailing dots or blanks). A null name is refused. With `utf8`, the name must also be
// well-formed UTF-8: an overlong "/" or "." must never become a separator or a ".." once decoded.
bool isUnsafeArchiveName(const char* name, bool utf8 = false);

// Whether the bytes are well-formed UTF-8: shortest forms only, no surrogates, nothing past
// U+10FFFF. On success `wide` holds the UTF-16 text (for the wide-character file functions).
bool decodeUtf8(const char* text, std::u16string& wide);

} // namespace cabinet
