#pragma once
#include "LogInterface.h"
#include "RWCString.h"

#include <windows.h>

// A dynamic-link library loaded by name. The destructor does not free it: copies share the handle,
// and the owner decides when UnLoadDll runs.
class RAVELUTIL_API BDll : public LogInterface
{
public:
    BDll();
    BDll(const BDll& other);
    BDll& operator=(const BDll& other);
    virtual ~BDll();

    // A handle held before is not freed.
    bool LoadDll(RWCString name);
    // A missing function clears the loaded flag; the library stays loaded.
    bool getFunction(RWCString name, void** function);
    bool UnLoadDll();
    bool isLoaded();
    HINSTANCE getHinstDll();
    // Adopts a handle loaded elsewhere; the loaded flag is left as it is.
    bool setHinstDll(HINSTANCE handle);

private:
    bool m_bLoaded;
    HINSTANCE m_hInstDll;
};
