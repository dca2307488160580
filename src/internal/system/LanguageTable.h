#pragma once
// Which of the installer's languages a Windows language identifier stands for, and its directory
// name. Only identifiers in the table count: a primary-language test would take in more.
namespace ravel {

const int kLanguageCount = 24;

// 0 (unlisted) for every identifier not in the table.
int languageOfLanguageID(unsigned short languageID);
// The directory name of a language value 0..23 ("unknown" for 0); null outside that range.
const char* languageDirectoryName(int language);

} // namespace ravel
