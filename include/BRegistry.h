#pragma once
#include "BStringVector.h"
#include "LogInterface.h"
#include "RWCString.h"

#include <windows.h>

// The registry through text key paths ("HKEY_CURRENT_USER\Software\..."). An object holds one
// open working key, created when missing; value operations act on it. Key operations take a full
// path of their own. Root names are matched anywhere in a path, ignoring case; no short forms.
class RAVELUTIL_API BRegistry : public LogInterface
{
public:
    // The working key "HKEY_LOCAL_MACHINE\Software\Corvane\Velloran".
    BRegistry();
    // The working key at path, or the default one when the path names no root.
    explicit BRegistry(RWCString path);
    // A copy holds a handle of its own on the same key.
    BRegistry(const BRegistry& other);
    BRegistry& operator=(const BRegistry& other);
    virtual ~BRegistry();

    // Opens (creating it when missing) the key at path and makes it the working key. A failure
    // leaves the default path as the working key path.
    bool setWorkingKey(RWCString path);
    RWCString getWorkingKey();
    // The run-time type name of a pointer to this class.
    const RWCString& toString();

    // Value operations: all refuse (false, outputs untouched) on an object whose constructor
    // could not open its key, for the rest of its life.
    bool setValue(RWCString name, RWCString value);
    bool setValue(RWCString name, unsigned long value);
    bool setValue(RWCString name, char* data, unsigned long size);
    // At most 255 characters; on failure the text becomes empty.
    bool getValue(RWCString name, RWCString& value);
    // Any value of at most 4 bytes; on failure 0xFFFFFFFF.
    bool getValue(RWCString name, unsigned long& value);
    // Exact, case-sensitive comparison of the value names.
    bool valueExists(RWCString name);
    // A string becomes a single blank (it cannot be set empty), a number 0; other types fail.
    bool clearValue(RWCString name);
    // True also when the value did not exist.
    bool deleteValue(RWCString name);
    // Lists the working key's value names; works whether or not the object is open.
    bool enumValues(BStringVector& names);

    // Key operations by full path.
    bool keyExists(RWCString path);
    bool enumKeys(RWCString path, BStringVector& names);
    bool enumKeys(BStringVector& names);
    // The key and every key below it; never a root.
    bool deleteKey(RWCString path);

private:
    bool validateKeyFormat(RWCString path);
    bool getRootKey(RWCString path, HKEY& root);
    bool getSubKey(RWCString path, RWCString& sub);
    bool getLeafKey(RWCString& path, RWCString& leaf);
    bool initializeRegistry(RWCString path);
    bool openKey(RWCString path);
    bool closeWorkingKey();

    bool m_bOpen;
    RWCString m_text;
    RWCString m_workingKeyPath;
    HKEY m_hWorkingKey;
    HKEY m_hRootKey;
};
