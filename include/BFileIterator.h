#pragma once
#include "RWCString.h"
#include "RavelExport.h"

// Reads a text file line by line and hands each line, its line end kept, to a callback; a line
// longer than the buffer size less one arrives in pieces of that length.
class RAVELUTIL_API BFileIterator
{
public:
    enum teErrors { ITERATE_OK = 0, ITERATE_OPEN_FAILED = 1, ITERATE_READ_ERROR = 2, ITERATE_STOPPED = 3 };
    // True to go on; changes to the line are discarded.
    typedef bool (*Callback)(RWCString& line, void* data);

    BFileIterator(int bufferSize = 1024);
    teErrors iterate(RWCString path, Callback callback, void* data);

private:
    int m_bufferSize;
};
