// Uses the installed headers (the cabinet ones included), both import libraries and both DLLs.
#include "BCabExtractor.h"
#include "RavelConvert.h"

#include <cstdio>
#include <string>

int main()
{
    BStringVector names;
    names.insert(iToRWCString(-1, 16));
    BCabExtractor cab;
    const std::string text = std::string(names[0].data()) + " " + cab.return_fdi_error_string(FDIERROR_NONE).data();
    std::printf("%s\n", text == "ffffffff No error" ? "consumer: ok" : text.c_str());
    return text == "ffffffff No error" ? 0 : 1;
}
