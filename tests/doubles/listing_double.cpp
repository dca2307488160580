// Stands in for the system's route or arp program. Every run appends its command line (one line)
// to the file named by RAVEL_<NAME>_LOG; a listing run ("route print", "arp -a") writes the bytes
// of the file named by RAVEL_<NAME>_OUTPUT to standard output. Both variables are set by the test.
// A simulated network, for the host-reachability tests:
//   RAVEL_NET_STATE     a file with the table the commands built: "route [-p] ADD a i" and
//                       "arp -s a h i" add the line "route a i" or "arp a h i", "route delete a"
//                       and "arp -d a" remove every line of the address.
//   RAVEL_<NAME>_BREAK  a verb ("ADD", "delete", "-s", "-d"): after a run with it the double puts
//                       a file that is no program in its own place, so later commands cannot start.
//   RAVEL_ROUTE_APPLY   a program run with "add a i" or "delete a" to change a real table; it
//                       writes "<program>.done" when finished (Wine gives no handle of a Unix
//                       program to wait on).
#include "Doubles.h"
#include "TestData.h"

#include <fstream>
#include <sstream>
#include <vector>

#ifndef RAVEL_DOUBLE_NAME
#error "RAVEL_DOUBLE_NAME (ROUTE or ARP) must be defined"
#endif

namespace {

const std::string kPrefix = std::string("RAVEL_") + RAVEL_DOUBLE_NAME;

bool same(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// The verb of a command line, and the table line it adds ('+') or the prefix of those it removes.
struct Change
{
    std::string verb;
    char kind = 0;
    std::string text;
};

Change changeFor(int argc, char** argv)
{
    const std::vector<std::string> w(argv, argv + argc);
    const std::size_t at = w.size() > 1 && same(w[1], "-p") ? 2 : 1, n = w.size() - std::min(w.size(), at + 1);
    Change c;
    c.verb = at < w.size() ? w[at] : "";
    const bool route = same(RAVEL_DOUBLE_NAME, "ROUTE");
    if (route && same(c.verb, "ADD") && n >= 2)
        c.kind = '+', c.text = "route " + w[at + 1] + " " + w[at + 2];
    else if (route && same(c.verb, "delete") && n >= 1)
        c.kind = '-', c.text = "route " + w[at + 1] + " ";
    else if (!route && c.verb == "-s" && n >= 3)
        c.kind = '+', c.text = "arp " + w[at + 1] + " " + w[at + 2] + " " + w[at + 3];
    else if (!route && c.verb == "-d" && n >= 1)
        c.kind = '-', c.text = "arp " + w[at + 1] + " ";
    return c;
}

void applyToState(const std::string& path, const Change& c)
{
    std::string kept;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (c.kind != '-' || line.compare(0, c.text.size(), c.text) != 0)
            kept += line + "\n";
    in.close();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << kept << (c.kind == '+' ? c.text + "\n" : "");
}

void applyForReal(const std::string& program, const Change& c)
{
    const std::string done = program + ".done";
    DeleteFileA(done.c_str());
    std::string line = "\"" + program + "\" " + (c.kind == '+' ? "add" : "delete") + c.text.substr(5);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return;
    const ravel::KernelHandle process(pi.hProcess), thread(pi.hThread);
    for (int i = 0; i < 300 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
}

void breakItself()
{
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string aside = std::string(self, n) + ".broken";
    DeleteFileA(aside.c_str());
    if (n > 0 && n < sizeof self && MoveFileA(self, aside.c_str()))
        std::ofstream(self, std::ios::binary) << "not a program\n";
}

} // namespace

int main(int argc, char** argv)
{
    appendLine(kPrefix + "_LOG", GetCommandLineA());
    const Change change = changeFor(argc, argv);
    const std::string state = variable("RAVEL_NET_STATE"), apply = variable(kPrefix + "_APPLY");
    if (change.kind != 0 && !state.empty())
        applyToState(state, change);
    if (change.kind != 0 && !apply.empty() && same(RAVEL_DOUBLE_NAME, "ROUTE"))
        applyForReal(apply, change);
    const std::string breakVerb = variable(kPrefix + "_BREAK");
    if (!breakVerb.empty() && same(change.verb, breakVerb.c_str()))
        breakItself();
    const std::string argument = argc > 1 ? argv[1] : "";
    if (argument == "print" || argument == "-a")
        writeAll(GetStdHandle(STD_OUTPUT_HANDLE), ravel::test::readFile(variable(kPrefix + "_OUTPUT")));
    return 0;
}
