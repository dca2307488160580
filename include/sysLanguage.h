#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// The system languages an installer tells apart; every other language identifier is unlisted.
// Values index the directory names, so the numbers are fixed.
enum teLanguage {
    LANGUAGE_UNLISTED = 0,
    LANGUAGE_ENGLISH = 1,
    LANGUAGE_FRENCH = 2,
    LANGUAGE_GERMAN = 3,
    LANGUAGE_ITALIAN = 4,
    LANGUAGE_SPANISH = 5,
    LANGUAGE_PORTUGUESE = 6,
    LANGUAGE_CZECH = 7,
    LANGUAGE_POLISH = 8,
    LANGUAGE_RUSSIAN = 9,
    LANGUAGE_JAPANESE = 10,
    LANGUAGE_KOREAN = 11,
    LANGUAGE_CHINESE_TRADITIONAL = 12,
    LANGUAGE_CHINESE_SIMPLIFIED = 13,
    LANGUAGE_DANISH = 14,
    LANGUAGE_DUTCH = 15,
    LANGUAGE_FINNISH = 16,
    LANGUAGE_HUNGARIAN = 17,
    LANGUAGE_NORWEGIAN = 18,
    LANGUAGE_SWEDISH = 19,
    LANGUAGE_THAI = 20,
    LANGUAGE_TURKISH = 21,
    LANGUAGE_ARABIC = 22,
    LANGUAGE_HEBREW = 23
};

// The language the system runs in, fixed when the object is made from the system default
// language identifier, and the short directory name of each language ("Fr", "Ge", "unknown").
// Copies carry the language and all the names.
class RAVELUTIL_API sysLanguage
{
public:
    enum { LANGUAGE_COUNT = 24 };

    sysLanguage();
    sysLanguage(const sysLanguage& other);
    sysLanguage& operator=(const sysLanguage& other);
    virtual ~sysLanguage();

    teLanguage getLanguage();
    // Any language, not only the system's; values outside the enumeration are not valid.
    RWCString langToDirString(teLanguage language);
    // The English name of the user's default language; empty when the system cannot say.
    void getLanguageSystemString(RWCString& name);
    // The user's default language identifier (0x409 for US English); 0 when the system cannot say.
    // The user default may differ from the system default that getLanguage reports.
    void getLanguageSystemID(unsigned long* languageID);

    // The mapping the class itself uses: exactly the identifiers of its table, not the primary
    // language alone (English 0x3809 and above are unlisted; 0x0000 and 0x0400 are English).
    static teLanguage languageOfID(unsigned short languageID);

private:
    teLanguage langIDtoEnum(unsigned short languageID);
    // Asks the system afresh.
    teLanguage getSysLanguage();

    teLanguage m_language;
    RWCString m_dirNames[LANGUAGE_COUNT];
};
