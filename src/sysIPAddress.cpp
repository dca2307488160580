#include "sysIPAddress.h"

#include "RWCRegexp.h"
#include "RWCTokenizer.h"
#include "RavelConvert.h"

#include <cstdlib>

namespace {
// Four groups of one to three digits joined by single dots; the match must be the whole text.
const char kAddressPattern[] = "[0-9]?[0-9]?[0-9]\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?\\.[0-9][0-9]?[0-9]?";
const char kDot[] = ".";
const int kParts = 4;
} // namespace

sysIPAddress::sysIPAddress() = default;
sysIPAddress::sysIPAddress(const sysIPAddress&) = default;
sysIPAddress& sysIPAddress::operator=(const sysIPAddress&) = default;
sysIPAddress::~sysIPAddress() = default;

bool sysIPAddress::isValid(RWCString& address)
{
    static const RWCRegexp pattern(kAddressPattern);
    const RWCSubString match = address(pattern);
    if (match.isNull() || match != address)
        return false;

    RWCTokenizer next(address);
    RWCString parts[kParts];
    for (RWCString& part : parts) {
        const RWCString token(next(kDot));
        if (token.isNull())
            return false;
        if (!inRange(std::atoi(token.data()), 0, 255))
            return false;
        part = token.strip(RWCString::leading, '0');
        if (part.isNull())
            part = "0";
    }
    address = parts[0] + kDot + parts[1] + kDot + parts[2] + kDot + parts[3];
    return true;
}

bool sysIPAddress::IPtoByte(RWCString address, unsigned char& first, unsigned char& second, unsigned char& third,
                            unsigned char& fourth)
{
    first = second = third = fourth = 0;
    if (!isValid(address))
        return false;
    RWCTokenizer next(address);
    unsigned char* const parts[kParts] = {&first, &second, &third, &fourth};
    for (unsigned char* part : parts)
        *part = static_cast<unsigned char>(std::atoi(RWCString(next(kDot)).data()));
    return true;
}

bool sysIPAddress::byteToIP(RWCString& address, unsigned char first, unsigned char second, unsigned char third,
                            unsigned char fourth)
{
    RWCString text = iToRWCString(first, 10) + kDot + iToRWCString(second, 10) + kDot + iToRWCString(third, 10) + kDot +
                     iToRWCString(fourth, 10);
    if (!isValid(text))
        return false;
    address = text;
    return true;
}

bool sysIPAddress::isValidChar(char c) { return (c >= '0' && c <= '9') || c == '.'; }

bool sysIPAddress::inRange(int value, int lowest, int highest) { return lowest <= value && value <= highest; }
