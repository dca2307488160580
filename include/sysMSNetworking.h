#pragma once
#include "LogInterface.h"
#include "RWCString.h"

// Network shares on drive letters, through the system's network provider functions. A share goes
// to the highest free letter from z: down to e:; the connection lasts until unmapDrive.
class RAVELUTIL_API sysMSNetworking : public LogInterface
{
public:
    sysMSNetworking();
    sysMSNetworking(const sysMSNetworking& other);
    sysMSNetworking& operator=(const sysMSNetworking& other);
    virtual ~sysMSNetworking();

    // Connects a share (\\server\share) to the highest free letter; drive becomes its name
    // ("z:"), or empty on false. A share that refuses a missing password is tried once more with
    // the empty one. Two calls at once may pick the same letter; the second then fails.
    bool mapDrive(RWCString share, RWCString& drive);
    // Disconnects the drive named by the first two characters ("z:\path" disconnects z:), even
    // when files on it are open.
    bool unmapDrive(RWCString drive);

private:
    // The highest free letter from z: to e:; drive is left alone when none is free.
    bool getFreeLogicalDrive(RWCString& drive);
};
