// Portable pieces of the platform, option-string and process families: the platform table, the
// command-string parser and the text a capture yields.
#include "BCommandStringParser.h"
#include "internal/platform/PlatformTable.h"
#include "internal/process/CaptureText.h"

#include <gtest/gtest.h>

#include <string>

using ravel::platformFromVersion;

TEST(PlatformTable, RowsByPlatformIdMajorAndMinor)
{
    struct Row
    {
        unsigned long id, major, minor;
        tePlatform platform;
    };
    const Row rows[] = {
        // The 9x family is told apart by the minor version only.
        {1, 0, 0, PLATFORM_WIN95},
        {1, 99, 0, PLATFORM_WIN95},
        {1, 4, 10, PLATFORM_WIN98},
        {1, 5, 10, PLATFORM_WIN98},
        {1, 4, 90, PLATFORM_WINME},
        {1, 0, 90, PLATFORM_WINME},
        {1, 4, 1, PLATFORM_UNRECOGNIZED},
        {1, 4, 11, PLATFORM_UNRECOGNIZED},
        {1, 4, 89, PLATFORM_UNRECOGNIZED},
        {1, 4, 91, PLATFORM_UNRECOGNIZED},
        {2, 4, 0, PLATFORM_WINNT4},
        {2, 4, 7, PLATFORM_WINNT4},
        {2, 5, 0, PLATFORM_WIN2000},
        {2, 5, 1, PLATFORM_WINXP},
        {2, 5, 2, PLATFORM_WIN2000}, // the server line is not XP
        {2, 6, 0, PLATFORM_WINVISTA},
        {2, 6, 3, PLATFORM_WINVISTA},
        {2, 3, 51, PLATFORM_UNRECOGNIZED},
        {2, 7, 0, PLATFORM_UNRECOGNIZED},
        {2, 10, 0, PLATFORM_UNRECOGNIZED},
        {0, 3, 10, PLATFORM_WIN32S},
        {0, 0, 0, PLATFORM_WIN32S},
        {3, 5, 1, PLATFORM_UNRECOGNIZED},
        {0xFFFFFFFFul, 6, 0, PLATFORM_UNRECOGNIZED},
    };
    for (const Row& r : rows)
        EXPECT_EQ(platformFromVersion(r.id, r.major, r.minor), r.platform) << r.id << " " << r.major << "." << r.minor;
}

namespace {
// What the parser answers for one option: present or not, then the string and int queries, each
// "-" when it fails (and leaves its output alone).
std::string answer(BCommandStringParser parser, char option)
{
    RWCString text("stale");
    int number = 77;
    const bool hasText = parser.getString(option, &text), hasNumber = parser.getInt(option, &number);
    return std::string(parser.exists(option) ? "present" : "absent") + " " +
           (hasText ? std::string(text.data()) : "-" + std::string(text.data())) + " " +
           (hasNumber ? std::to_string(number) : "-" + std::to_string(number));
}
} // namespace

TEST(CommandStringParser, ValuesAreTheFollowingTokenAndSwitchesAreRewritten)
{
    struct Case
    {
        const char* command;
        const char* switches;
        char option;
        const char* answer;
        const char* rewritten;
    };
    const Case cases[] = {
        {"-f file.txt  -n\t5\n-m -12x -e", "-", 'f', "present file.txt 0", nullptr},
        {"-f file.txt  -n\t5\n-m -12x -e", "-", 'n', "present 5 5", nullptr},
        {"-f file.txt  -n\t5\n-m -12x -e", "-", 'm', "present -12x -12", nullptr},
        {"-f file.txt -e", "-", 'F', "absent - -77", nullptr},  // case matters
        {"-f file.txt -e", "-", 'e', "present - -77", nullptr}, // last: no value, and the string is cleared
        // Characters after the letter are ignored and do not form a value.
        {"-ab -sfoo bar", "-", 'a', "present -sfoo 0", nullptr},
        {"-ab -sfoo bar", "-", 'b', "absent - -77", nullptr},
        {"-ab -sfoo bar", "-", 's', "present bar 0", nullptr},
        // A lone switch character and a token with the switch elsewhere are not options.
        {"- x a-b -", "-", 'x', "absent - -77", nullptr},
        {"- x a-b -", "-", 'b', "absent - -77", nullptr},
        {"-v one -v two", "-", 'v', "present one 0", nullptr}, // the first matching token wins
        // Every further switch character is rewritten to the first, in the whole text.
        {"/s x -v /q", "-/", 'q', "present - -77", "-s x -v -q"},
        {"/s x /q", "-/", 's', "present x 0", "-s x -q"},
        {"/a +b c/d", "-/+-", 'b', "present c-d 0", "-a -b c-d"},
        {"-s /t", "/", 's', "absent - -77", "-s /t"},
        {"-s /t", "/", 't', "present - -77", nullptr},
        {"-s x", "", 's', "absent - -77", "-s x"}, // no switch characters: nothing is an option
    };
    for (const Case& c : cases) {
        BCommandStringParser parser(c.command, c.switches);
        EXPECT_EQ(answer(parser, c.option), c.answer) << c.command << " with " << c.switches << ": " << c.option;
        EXPECT_EQ(parser.getCommandString(), c.rewritten ? c.rewritten : c.command) << c.command;
    }
    BCommandStringParser copy("-x", "-");
    copy = BCommandStringParser("-s /t", "/");
    EXPECT_EQ(answer(BCommandStringParser(copy), 't'), "present - -77");
}

TEST(CapturedText, BlocksOf1024KeepTheirTextUpToTheFirstZero)
{
    const auto captured = [](const std::string& bytes) {
        const RWCString text = ravel::capturedText(bytes);
        return std::string(text.data(), text.length());
    };
    EXPECT_EQ(captured(std::string("ab\0cd", 5)), "ab");
    // A zero ends only its own block: the next block is taken again from its start.
    std::string bytes(1024, 'a');
    bytes[10] = '\0';
    bytes += std::string("bb\0b", 4) + std::string(1020, 'b') + "tail";
    EXPECT_EQ(captured(bytes), std::string(10, 'a') + "bb" + "tail");
    // A block that starts with a zero contributes nothing.
    EXPECT_EQ(captured(std::string(1024, 'x') + std::string(1, '\0') + "lost"), std::string(1024, 'x'));
    // Text without zeros passes whole, across any number of blocks.
    const std::string large(3 * 1024 + 7, 'z');
    EXPECT_EQ(captured(large), large);
}
