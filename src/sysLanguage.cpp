#include "sysLanguage.h"

#include "internal/system/LanguageTable.h"

#include <windows.h>

#include <cstdlib>

static_assert(sysLanguage::LANGUAGE_COUNT == ravel::kLanguageCount, "one directory name per language");

namespace {
// Room the locale queries are given, terminator included.
const int kLocaleTextSize = 255;
} // namespace

sysLanguage::sysLanguage() : m_language(LANGUAGE_UNLISTED)
{
    for (int i = 0; i < LANGUAGE_COUNT; ++i)
        m_dirNames[i] = ravel::languageDirectoryName(i);
    m_language = getSysLanguage();
}

sysLanguage::sysLanguage(const sysLanguage& other) = default;
sysLanguage& sysLanguage::operator=(const sysLanguage& other) = default;
sysLanguage::~sysLanguage() = default;

teLanguage sysLanguage::getLanguage() { return m_language; }

RWCString sysLanguage::langToDirString(teLanguage language) { return m_dirNames[language]; }

void sysLanguage::getLanguageSystemString(RWCString& name)
{
    char text[kLocaleTextSize] = {};
    name = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, text, kLocaleTextSize) > 0 ? text : "";
}

void sysLanguage::getLanguageSystemID(unsigned long* languageID)
{
    char text[kLocaleTextSize] = {};
    *languageID = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTLANGUAGE, text, kLocaleTextSize) > 0
                      ? std::strtoul(text, nullptr, 16)
                      : 0;
}

teLanguage sysLanguage::languageOfID(unsigned short languageID)
{
    return static_cast<teLanguage>(ravel::languageOfLanguageID(languageID));
}

teLanguage sysLanguage::langIDtoEnum(unsigned short languageID) { return languageOfID(languageID); }

teLanguage sysLanguage::getSysLanguage() { return langIDtoEnum(GetSystemDefaultLangID()); }
