#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// Questions about a command line of single-letter options: "-f file.txt -n 5".
class RAVELUTIL_API BCommandStringParser
{
public:
    // No command and no switch character: no option is ever found.
    BCommandStringParser();
    // The first of switchChars is the switch character; every further one is rewritten to it.
    BCommandStringParser(RWCString command, RWCString switchChars);
    BCommandStringParser(const BCommandStringParser& other);
    BCommandStringParser& operator=(const BCommandStringParser& other);
    virtual ~BCommandStringParser();

    RWCString& getCommandString();
    bool exists(char option);
    // True only when the option occurs and a token follows it.
    bool getString(char option, RWCString* value);
    // The following token through atoi; the number is left alone when there is none.
    bool getInt(char option, int* value);

private:
    bool getValue(char option, RWCString* value);

    RWCString m_command;
    RWCString m_switchChar;
};
