#include "BFileDestructor.h"

#include "sysFileStructure.h"

#include <windows.h>

unsigned long BFileDestructor::instantiationCounter = 0;
BStringVector BFileDestructor::deleteFilesList;

BFileDestructor::BFileDestructor() { ++instantiationCounter; }

BFileDestructor::BFileDestructor(const BFileDestructor&) { ++instantiationCounter; }

BFileDestructor& BFileDestructor::operator=(const BFileDestructor&) { return *this; }

BFileDestructor::~BFileDestructor()
{
    // The last object out deletes the files. A count already at zero (initialize made it 1 while
    // more objects lived) stays there rather than wrapping round.
    if (instantiationCounter == 0)
        return;
    if (instantiationCounter-- == 1)
        deleteFiles();
}

void BFileDestructor::initialize() { instantiationCounter = 1; }

void BFileDestructor::addFileToDelete(RWCString path) { deleteFilesList.insert(path); }

void BFileDestructor::deleteFiles()
{
    sysFileStructure files;
    for (unsigned int i = 0; i < deleteFilesList.entries(); ++i) {
        const RWCString path = deleteFilesList[i];
        if (!DeleteFileA(path.data()))
            files.DeleteOnReboot(path);
    }
}
