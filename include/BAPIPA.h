#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// A free address in the automatic private addressing range 169.254.0.0/16 (or in a subnet the
// caller names): candidates derived from the process id, each probed, the first silent one wins.
class RAVELUTIL_API BAPIPA : public LogInterface
{
public:
    BAPIPA();
    BAPIPA(const BAPIPA& other);
    BAPIPA& operator=(const BAPIPA& other);
    virtual ~BAPIPA();

    // The zero (or 255) bytes of the subnet text mark the positions to fill; at most `attempts`
    // candidates are tried. `*address` always holds the last candidate formed.
    bool getAutoIPAddress(RWCString subnet, RWCString* address, unsigned int attempts);
    // In 169.254.0.0 with 8 attempts; on false the address is emptied.
    bool getMSAutoIPAddress(RWCString* address);
    bool getMSAutoIPSubnet(RWCString* subnet);
    bool getMSAutoIPSubnetMask(RWCString* mask);

private:
    RWCString m_autoIPSubnet;
    RWCString m_autoIPSubnetMask;
};

// The candidate a search by a process whose id has these low 16 bits forms when `countdown`
// attempts are left (the first candidate has countdown = attempts), as BAPIPA forms it; `skipped`
// says whether the search passes it over unprobed (a third byte of 0 or of 254 and more). For
// tools and callers that want to know the candidates before they are tried.
RAVELUTIL_API RWCString ravelApipaCandidate(RWCString subnet, unsigned long processId, unsigned int countdown,
                                            bool& skipped);
