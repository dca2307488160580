// Stands in for the system's route or arp program. Every run appends its command line (one line)
// to the file named by RAVEL_<NAME>_LOG; a listing run ("route print", "arp -a") writes the bytes
// of the file named by RAVEL_<NAME>_OUTPUT to standard output. Both variables are set by the test.
#include "Doubles.h"

#include <fstream>
#include <iterator>

#ifndef RAVEL_DOUBLE_NAME
#error "RAVEL_DOUBLE_NAME (ROUTE or ARP) must be defined"
#endif

int main(int argc, char** argv)
{
    const std::string prefix = std::string("RAVEL_") + RAVEL_DOUBLE_NAME;
    appendLine(prefix + "_LOG", GetCommandLineA());
    const std::string argument = argc > 1 ? argv[1] : "";
    if (argument == "print" || argument == "-a") {
        std::ifstream in(variable(prefix + "_OUTPUT"), std::ios::binary);
        writeAll(GetStdHandle(STD_OUTPUT_HANDLE),
                 std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    return 0;
}
