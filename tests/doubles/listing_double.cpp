// Stands in for the system's route or arp program. Every run appends its command line (one line)
// to the file named by RAVEL_<NAME>_LOG; a listing run ("route print", "arp -a") writes the bytes
// of the file named by RAVEL_<NAME>_OUTPUT to standard output. Both variables are set by the test.
//
// A simulated network, for the tests of the host-reachability logic:
//   RAVEL_NET_STATE      a file holding the table the commands built, one line per entry,
//                        "route <address> <interface>" and "arp <address> <hardware> <interface>":
//                        "route [-p] ADD a i" and "arp -s a h i" add a line, "route delete a" and
//                        "arp -d a" remove every line of the address.
//   RAVEL_<NAME>_BREAK   a verb ("ADD", "delete", "-s", "-d"): after the first run with it the
//                        double puts a file that is no program in its own place, so that every
//                        later command line fails to start.
//   RAVEL_ROUTE_APPLY    a program (a Unix script in the end-to-end test) run with "add <address>
//                        <interface>" or "delete <address>" to change a real table; it writes
//                        "<program>.done" when finished, and the double waits for that.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef RAVEL_DOUBLE_NAME
#error "RAVEL_DOUBLE_NAME (ROUTE or ARP) must be defined"
#endif

namespace {

std::string environment(const std::string& name)
{
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string variable(const char* suffix)
{
    const std::string name = std::string("RAVEL_") + RAVEL_DOUBLE_NAME + suffix;
    char value[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void writeAll(HANDLE to, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(to, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first argument after the program name.
std::string firstArgument(const std::string& commandLine)
{
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"')
        at = commandLine.find('"', 1);
    at = commandLine.find(' ', at == std::string::npos ? 0 : at);
    if (at == std::string::npos)
        return std::string();
    at = commandLine.find_first_not_of(' ', at);
    if (at == std::string::npos)
        return std::string();
    const std::size_t end = commandLine.find(' ', at);
    return commandLine.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::vector<std::string> words(const std::string& commandLine)
{
    std::vector<std::string> all;
    std::size_t at = 0;
    while ((at = commandLine.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = commandLine.find(' ', at);
        all.push_back(commandLine.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end;
    }
    return all;
}

bool same(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// The state line a command adds ("+ line") or the prefix of the lines it removes ("- prefix"),
// and the verb it was run with.
struct Change
{
    std::string verb;
    char kind = 0;
    std::string text;
};

Change changeFor(const std::vector<std::string>& w)
{
    Change c;
    std::size_t at = 1;
    if (at < w.size() && same(w[at], "-p"))
        ++at;
    if (at >= w.size())
        return c;
    c.verb = w[at];
    const std::string name = same(RAVEL_DOUBLE_NAME, "ROUTE") ? "route" : "arp";
    if (name == "route" && same(c.verb, "ADD") && at + 2 < w.size())
        c = {c.verb, '+', "route " + w[at + 1] + " " + w[at + 2]};
    else if (name == "route" && same(c.verb, "delete") && at + 1 < w.size())
        c = {c.verb, '-', "route " + w[at + 1] + " "};
    else if (name == "arp" && c.verb == "-s" && at + 3 < w.size())
        c = {c.verb, '+', "arp " + w[at + 1] + " " + w[at + 2] + " " + w[at + 3]};
    else if (name == "arp" && c.verb == "-d" && at + 1 < w.size())
        c = {c.verb, '-', "arp " + w[at + 1] + " "};
    return c;
}

void applyToState(const std::string& path, const Change& c)
{
    if (path.empty() || c.kind == 0)
        return;
    std::string kept;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (c.kind != '-' || line.compare(0, c.text.size(), c.text) != 0)
            kept += line + "\n";
    in.close();
    if (c.kind == '+')
        kept += c.text + "\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << kept;
}

// Runs the real-table program with the change and waits for it.
void applyForReal(const std::string& program, const std::vector<std::string>& w, const Change& c)
{
    if (program.empty() || c.kind == 0)
        return;
    std::string line = "\"" + program + "\" " + (c.kind == '+' ? "add " : "delete ");
    std::size_t at = 1 + (w.size() > 1 && same(w[1], "-p"));
    line += w[at + 1] + (c.kind == '+' ? " " + w[at + 2] : std::string());
    // Wine starts a Unix program without a handle to wait on: the program writes "<program>.done"
    // when it has finished.
    const std::string done = program + ".done";
    DeleteFileA(done.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return;
    if (pi.hProcess != nullptr) {
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    }
    for (int i = 0; i < 300 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
}

// Moves the running program aside and leaves a file that is no program in its place.
void breakItself()
{
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    if (n == 0 || n >= sizeof self)
        return;
    const std::string aside = std::string(self) + ".broken";
    DeleteFileA(aside.c_str());
    if (MoveFileA(self, aside.c_str()))
        std::ofstream(self, std::ios::binary) << "not a program\n";
}

} // namespace

int main()
{
    const std::string commandLine = GetCommandLineA();
    const std::string log = variable("_LOG");
    if (!log.empty()) {
        const HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            writeAll(file, commandLine + "\n");
            CloseHandle(file);
        }
    }
    const std::vector<std::string> w = words(commandLine);
    const Change change = changeFor(w);
    applyToState(environment("RAVEL_NET_STATE"), change);
    if (same(RAVEL_DOUBLE_NAME, "ROUTE"))
        applyForReal(variable("_APPLY"), w, change);
    const std::string breakVerb = variable("_BREAK");
    if (!breakVerb.empty() && same(change.verb, breakVerb.c_str()))
        breakItself();
    const std::string argument = firstArgument(commandLine);
    if (argument == "print" || argument == "-a") {
        const std::string output = variable("_OUTPUT");
        if (!output.empty())
            writeAll(GetStdHandle(STD_OUTPUT_HANDLE), readAll(output));
    }
    return 0;
}
