#pragma once
#include "BStringVector.h"
#include "RWCString.h"
#include "RavelExport.h"

// Files to delete when the last live object goes: now, or at the next restart when they are in
// use. The list and the count of live objects are shared by the whole process.
class RAVELUTIL_API BFileDestructor
{
public:
    BFileDestructor();
    BFileDestructor(const BFileDestructor& other);
    BFileDestructor& operator=(const BFileDestructor& other);
    virtual ~BFileDestructor();

    // The next destruction of any object deletes the listed files.
    void initialize();
    void addFileToDelete(RWCString path);
    // Every listed file, again on each call: the list is never cleared.
    void deleteFiles();

    static unsigned long instantiationCounter;
    static BStringVector deleteFilesList;
};
