#pragma once
#include "BIniFile.h"
#include "BStringVector.h"
#include "RWCString.h"
#include "RavelExport.h"

// The names listed in the section "EXCLUDED" of an INI file.
class RAVELUTIL_API BExcluder
{
public:
    BExcluder();
    BExcluder(const BExcluder& other);
    BExcluder& operator=(const BExcluder& other);
    virtual ~BExcluder();

    // Reads the list once; iniFile is relative to the current directory. Later calls answer true
    // without reading, whatever file they name.
    bool initialize(RWCString iniFile);
    // Whether the list holds the name, ignoring case. False before a successful initialize.
    bool isExcluded(RWCString name);

protected:
    BIniFile m_iniFile;
    bool m_bInitialized;
    BStringVector m_names;
};
