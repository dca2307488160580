#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// The IPv4 ARP cache through the system's arp command. Hardware addresses may use ":" or "-"
// between their bytes; they are used in the dash form.
class RAVELUTIL_API sysArpTable : public LogInterface
{
public:
    sysArpTable();
    sysArpTable(const sysArpTable& other);
    sysArpTable& operator=(const sysArpTable& other);
    virtual ~sysArpTable();

    RWCString dumpArpTable();
    // Whether one line of the listing holds both addresses, each as a whole number.
    bool inARPTable(RWCString ip, RWCString mac);
    // True when the arp command ran; its own verdict is not examined.
    bool addToArpTableWithInterface(RWCString ip, RWCString mac, RWCString nic);
    bool deleteFromArpTable(RWCString ip);

private:
    bool replaceStr1WithStr2(RWCString& text, RWCString str1, RWCString str2);
};
