#pragma once
#include "RWCString.h"
#include "RavelExport.h"

#include <cstdio>

// Writes strings to a new text file, unchanged and without added line ends. A copy starts
// without a stream, so each stream is closed once, by the object that opened it.
class RAVELUTIL_API BFileBuilder
{
public:
    enum teErrors { BUILD_OK = 0, BUILD_OPEN_FAILED = 1, BUILD_WRITE_FAILED = 2 };

    BFileBuilder();
    BFileBuilder(const BFileBuilder& other);
    BFileBuilder& operator=(const BFileBuilder& other);
    ~BFileBuilder();

    // Creates or empties the file; a stream held before is closed.
    teErrors init(RWCString path);
    teErrors addString(RWCString& text);

private:
    std::FILE* m_stream;
};
