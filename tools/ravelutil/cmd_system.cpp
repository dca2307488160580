// System commands: the administrator test, privileges, shutting down, restarting and logging off,
// the system language, a self-check of the thread classes, and network drives.
#include "command.h"

#include "BCriticalSection.h"
#include "BOsEvent.h"
#include "BOsThread.h"
#include "sysLanguage.h"
#include "sysMSNetworking.h"
#include "sysServices.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace ravelutil;

namespace {

const char* const kLanguageNames[] = {"LANGUAGE_UNLISTED",
                                      "LANGUAGE_ENGLISH",
                                      "LANGUAGE_FRENCH",
                                      "LANGUAGE_GERMAN",
                                      "LANGUAGE_ITALIAN",
                                      "LANGUAGE_SPANISH",
                                      "LANGUAGE_PORTUGUESE",
                                      "LANGUAGE_CZECH",
                                      "LANGUAGE_POLISH",
                                      "LANGUAGE_RUSSIAN",
                                      "LANGUAGE_JAPANESE",
                                      "LANGUAGE_KOREAN",
                                      "LANGUAGE_CHINESE_TRADITIONAL",
                                      "LANGUAGE_CHINESE_SIMPLIFIED",
                                      "LANGUAGE_DANISH",
                                      "LANGUAGE_DUTCH",
                                      "LANGUAGE_FINNISH",
                                      "LANGUAGE_HUNGARIAN",
                                      "LANGUAGE_NORWEGIAN",
                                      "LANGUAGE_SWEDISH",
                                      "LANGUAGE_THAI",
                                      "LANGUAGE_TURKISH",
                                      "LANGUAGE_ARABIC",
                                      "LANGUAGE_HEBREW"};
static_assert(sizeof kLanguageNames / sizeof kLanguageNames[0] == sysLanguage::LANGUAGE_COUNT, "a name per language");

void printLanguage(teLanguage language)
{
    std::printf("language %d %s\n", static_cast<int>(language), kLanguageNames[language]);
    std::printf("directory %s\n", sysLanguage().langToDirString(language).data());
}

// Asks on the terminal unless the words hold --yes; false when the person does not say yes.
bool confirmed(const Args& args, const char* question, bool& usageFault)
{
    usageFault = false;
    if (args.size() == 1 && args[0] == "--yes")
        return true;
    if (!args.empty()) {
        usageFault = true;
        return false;
    }
    std::printf("%s [y/N] ", question);
    std::fflush(stdout);
    char line[16] = {};
    if (std::fgets(line, sizeof line, stdin) == nullptr)
        return false;
    return std::tolower(static_cast<unsigned char>(line[0])) == 'y';
}

int systemControl(const Args& args, const char* usageLine, const char* question, bool (sysServices::*operation)())
{
    bool usageFault = false;
    if (!confirmed(args, question, usageFault)) {
        if (usageFault)
            return usage(usageLine);
        std::printf("not confirmed\n");
        return kFalse;
    }
    sysServices services;
    return exitFor((services.*operation)());
}

// Counts under a shared lock once the start signal is given; every thread's count is its result.
class CountingThread : public BOsThread
{
public:
    CountingThread(BCriticalSection& lock, BOsEvent& go, unsigned long& shared, unsigned int rounds)
        : m_lock(lock), m_go(go), m_shared(shared), m_rounds(rounds)
    {}
    ~CountingThread() override { Wait(-1); }

protected:
    unsigned int Thread() override
    {
        m_go.Wait(-1);
        unsigned int counted = 0;
        for (unsigned int i = 0; i < m_rounds; ++i) {
            m_lock.enter();
            ++m_shared;
            m_lock.leave();
            ++counted;
        }
        return counted;
    }

private:
    BCriticalSection& m_lock;
    BOsEvent& m_go;
    unsigned long& m_shared;
    unsigned int m_rounds;
};

} // namespace

RAVEL_COMMAND(cmdAdmin, "admin", "admin", "whether the current user is an administrator (exit 0 when so)")
{
    if (!args.empty())
        return usage("admin");
    const bool admin = sysServices().isCurrentUserAdmin();
    std::printf("%s\n", admin ? "true" : "false");
    return exitFor(admin);
}

RAVEL_COMMAND(cmdRunOnce, "run-once", "run-once <command>",
              "run the command line once at the next log-on (exit 0 when registered)")
{
    if (args.size() != 1)
        return usage("run-once <command>");
    return exitFor(sysServices().CommandToRunOnce(RWCString(args[0].c_str())));
}

RAVEL_COMMAND(cmdPrivilege, "privilege", "privilege <name> on|off", "enable or disable a privilege of this process")
{
    if (args.size() != 2 || (args[1] != "on" && args[1] != "off"))
        return usage("privilege <name> on|off");
    std::vector<char> name(args[0].begin(), args[0].end());
    name.push_back('\0');
    return exitFor(sysServices().Privilege(name.data(), args[1] == "on" ? 1 : 0));
}

RAVEL_COMMAND(cmdRestart, "restart", "restart [--yes]", "ask the system to restart (asks first unless --yes)")
{
    return systemControl(args, "restart [--yes]", "Restart the system now?", &sysServices::ShutDownAndRestart);
}

RAVEL_COMMAND(cmdShutdown, "shutdown", "shutdown [--yes]", "ask the system to shut down (asks first unless --yes)")
{
    return systemControl(args, "shutdown [--yes]", "Shut the system down now?", &sysServices::ShutDown);
}

RAVEL_COMMAND(cmdLogoff, "logoff", "logoff [--yes]", "log the user off (asks first unless --yes)")
{
    return systemControl(args, "logoff [--yes]", "Log off now?", &sysServices::LogOff);
}

RAVEL_COMMAND(cmdLanguage, "language", "language",
              "the user's language identifier and name, the system language and its directory name")
{
    if (!args.empty())
        return usage("language");
    sysLanguage language;
    unsigned long id = 0;
    RWCString name;
    language.getLanguageSystemID(&id);
    language.getLanguageSystemString(name);
    std::printf("identifier %04lX\n", id);
    std::printf("name %s\n", name.data());
    printLanguage(language.getLanguage());
    return kTrue;
}

RAVEL_COMMAND(cmdLanguageOf, "language-of", "language-of <hex id>", "the language and directory name of an identifier")
{
    static const char kUsage[] = "language-of <hex id>";
    if (args.size() != 1)
        return usage(kUsage);
    const std::string& text = args[0];
    const std::size_t digits = text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0 ? 2 : 0;
    char* end = nullptr;
    const unsigned long id = std::strtoul(text.c_str() + digits, &end, 16);
    if (text.size() == digits || *end != '\0' || text[digits] == '-' || text[digits] == '+' || id > 0xFFFF)
        return usageError("language-of needs a language identifier from 0 to ffff in hex");
    printLanguage(sysLanguage::languageOfID(static_cast<unsigned short>(id)));
    return kTrue;
}

RAVEL_COMMAND(cmdThreadsDemo, "threads-demo", "threads-demo <n>",
              "start n threads that count under one lock after one signal; prints their results")
{
    static const char kUsage[] = "threads-demo <n>";
    static const unsigned int kRounds = 10000;
    unsigned long long count = 0;
    if (args.size() != 1 || !parseUnsigned(args[0], count) || count < 1 || count > 64)
        return args.size() == 1 ? usageError("threads-demo needs 1 to 64 threads") : usage(kUsage);

    BCriticalSection lock;
    BOsEvent go;
    unsigned long shared = 0;
    std::vector<std::unique_ptr<CountingThread>> threads;
    for (unsigned long long i = 0; i < count; ++i)
        threads.push_back(std::make_unique<CountingThread>(lock, go, shared, kRounds));
    for (auto& thread : threads)
        thread->Start();
    go.Set();
    bool right = true;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        const unsigned int waited = threads[i]->Wait(-1);
        const unsigned int result = threads[i]->GetResult();
        std::printf("thread %zu id %lu result %u\n", i + 1, threads[i]->GetThreadID(), result);
        right = right && waited == 0 && result == kRounds;
    }
    std::printf("total %lu of %llu\n", shared, count * kRounds);
    return exitFor(right && shared == count * kRounds);
}

RAVEL_COMMAND(cmdMap, "map", "map <\\\\server\\share>", "connect a share to the highest free drive letter")
{
    if (args.size() != 1)
        return usage("map <\\\\server\\share>");
    RWCString drive;
    const bool mapped = sysMSNetworking().mapDrive(rw(args[0]), drive);
    if (mapped)
        std::printf("%s\n", drive.data());
    return exitFor(mapped);
}

RAVEL_COMMAND(cmdUnmap, "unmap", "unmap <drive>", "disconnect a network drive (z: or z:\\path), even with open files")
{
    if (args.size() != 1)
        return usage("unmap <drive>");
    return exitFor(sysMSNetworking().unmapDrive(rw(args[0])));
}
