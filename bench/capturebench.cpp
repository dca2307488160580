// Cost of capturing a program's standard output, against starting the same program and waiting
// for it. The program is this one, started again in child mode. Run under Wine (or Windows):
//   capturebench [runs]
#include "sysServices.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int child(int argc, char** argv)
{
    const std::string mode = argv[2];
    std::string text;
    if (mode == "line") {
        text = "one line of output\r\n";
    } else if (mode == "bytes" && argc > 3) {
        text.assign(std::strtoul(argv[3], nullptr, 10), 'x');
    } else if (mode == "late" && argc > 3) {
        Sleep(std::strtoul(argv[3], nullptr, 10));
        text = "late line\r\n";
    }
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    size_t at = 0;
    while (at < text.size()) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - at, 4096));
        if (!WriteFile(out, text.data() + at, chunk, &wrote, nullptr))
            break;
        at += wrote;
    }
    return 0;
}

struct Stats
{
    double median;
    double max;
};

template <class Run>
Stats measure(int runs, Run run)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        if (!run()) {
            std::fprintf(stderr, "run failed\n");
            std::exit(1);
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string program = std::string("\"") + self + "\" --child ";

    struct Case
    {
        const char* name;
        std::string arguments;
        size_t expected;
    };
    const Case cases[] = {
        {"one line", "line", 20},
        {"line after 200 ms", "late 200", 11},
        {"64 KiB", "bytes 65536", 65536},
        {"1 MiB", "bytes 1048576", 1048576},
    };
    std::printf("%-20s %14s %14s %14s %12s\n", "child", "spawn+wait ms", "capture ms", "overhead ms", "capture max");
    for (const Case& c : cases) {
        const std::string line = program + c.arguments;
        const Stats spawned = measure(runs, [&] {
            std::vector<char> buffer(line.begin(), line.end());
            buffer.push_back('\0');
            sysServices services;
            return services.SpawnProcess(buffer.data(), RWCString(), true);
        });
        const Stats captured = measure(runs, [&] {
            RWCString output;
            sysServices services;
            return services.SpawnProcessCaptureOutput(line.c_str(), output) && output.length() == c.expected;
        });
        std::printf("%-20s %14.1f %14.1f %14.1f %12.1f\n", c.name, spawned.median, captured.median,
                    captured.median - spawned.median, captured.max);
    }
    return 0;
}
