#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// The rules for dotted-decimal IPv4 text: what counts as an address, its canonical form (no
// leading zeros) and the conversion between the text and its four bytes.
class RAVELUTIL_API sysIPAddress
{
public:
    sysIPAddress();
    sysIPAddress(const sysIPAddress& other);
    sysIPAddress& operator=(const sysIPAddress& other);
    virtual ~sysIPAddress();

    // Whether the text is an IPv4 address; if so it is rewritten in canonical form.
    static bool isValid(RWCString& address);
    // The four parts of a valid address, first to last; all 0 (and false) otherwise.
    static bool IPtoByte(RWCString address, unsigned char& first, unsigned char& second, unsigned char& third,
                         unsigned char& fourth);
    // The dotted text of four parts; the output is left alone on failure.
    static bool byteToIP(RWCString& address, unsigned char first, unsigned char second, unsigned char third,
                         unsigned char fourth);

private:
    static bool isValidChar(char c);
    static bool inRange(int value, int lowest, int highest);
};
