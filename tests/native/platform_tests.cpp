// Portable pieces of the platform, option-string and process families: the platform table, the
// command-string parser and the text a capture yields.
#include "BCommandStringParser.h"
#include "internal/process/CaptureText.h"
#include "internal/platform/PlatformTable.h"

#include <gtest/gtest.h>

#include <string>

using ravel::platformFromVersion;

TEST(PlatformTable, RowsByPlatformIdMajorAndMinor)
{
    struct Row { unsigned long id, major, minor; tePlatform platform; };
    const Row rows[] = {
        // The 9x family is told apart by the minor version only.
        {1, 0, 0, PLATFORM_WIN95}, {1, 99, 0, PLATFORM_WIN95}, {1, 4, 10, PLATFORM_WIN98}, {1, 5, 10, PLATFORM_WIN98},
        {1, 4, 90, PLATFORM_WINME}, {1, 0, 90, PLATFORM_WINME}, {1, 4, 1, PLATFORM_UNRECOGNIZED},
        {1, 4, 11, PLATFORM_UNRECOGNIZED}, {1, 4, 89, PLATFORM_UNRECOGNIZED}, {1, 4, 91, PLATFORM_UNRECOGNIZED},
        {2, 4, 0, PLATFORM_WINNT4}, {2, 4, 7, PLATFORM_WINNT4}, {2, 5, 0, PLATFORM_WIN2000}, {2, 5, 1, PLATFORM_WINXP},
        {2, 5, 2, PLATFORM_WIN2000},  // the server line is not XP
        {2, 6, 0, PLATFORM_WINVISTA}, {2, 6, 3, PLATFORM_WINVISTA}, {2, 3, 51, PLATFORM_UNRECOGNIZED},
        {2, 7, 0, PLATFORM_UNRECOGNIZED}, {2, 10, 0, PLATFORM_UNRECOGNIZED},
        {0, 3, 10, PLATFORM_WIN32S}, {0, 0, 0, PLATFORM_WIN32S}, {3, 5, 1, PLATFORM_UNRECOGNIZED},
        {0xFFFFFFFFul, 6, 0, PLATFORM_UNRECOGNIZED},
    };
    for (const Row& r : rows)
        EXPECT_EQ(platformFromVersion(r.id, r.major, r.minor), r.platform) << r.id << " " << r.major << "." << r.minor;
}

TEST(CommandStringParser, ValuesAreTheFollowingToken)
{
    BCommandStringParser parser("-f file.txt  -n\t5\n-m -12x -e", "-");
    RWCString text("stale");
    EXPECT_TRUE(parser.getString('f', &text));
    EXPECT_EQ(text, "file.txt");
    int number = 77;
    EXPECT_TRUE(parser.getInt('n', &number));
    EXPECT_EQ(number, 5);
    EXPECT_TRUE(parser.getInt('m', &number));
    EXPECT_EQ(number, -12);
    EXPECT_FALSE(parser.exists('F'));  // case matters

    // The option is last: present, but without a value.
    EXPECT_TRUE(parser.exists('e'));
    text = "stale";
    EXPECT_FALSE(parser.getString('e', &text));
    EXPECT_EQ(text, "");
    number = 77;
    EXPECT_FALSE(parser.getInt('e', &number));
    EXPECT_FALSE(parser.getInt('q', &number));
    EXPECT_EQ(number, 77);
}

TEST(CommandStringParser, TokenShapes)
{
    // Characters after the letter are ignored and do not form a value.
    BCommandStringParser joined("-ab -sfoo bar", "-");
    EXPECT_TRUE(joined.exists('a'));
    EXPECT_FALSE(joined.exists('b'));
    RWCString text;
    EXPECT_TRUE(joined.getString('s', &text));
    EXPECT_EQ(text, "bar");

    // A lone switch character and a token with the switch elsewhere are not options.
    BCommandStringParser odd("- x a-b -", "-");
    EXPECT_FALSE(odd.exists('x'));
    EXPECT_FALSE(odd.exists('b'));

    // A value that is not a number converts to 0 and still counts.
    BCommandStringParser notNumber("-n abc", "-");
    int number = 5;
    EXPECT_TRUE(notNumber.getInt('n', &number));
    EXPECT_EQ(number, 0);

    // The first matching token wins.
    BCommandStringParser twice("-v one -v two", "-");
    EXPECT_TRUE(twice.getString('v', &text));
    EXPECT_EQ(text, "one");
}

TEST(CommandStringParser, FurtherSwitchCharactersAreRewritten)
{
    BCommandStringParser parser("/s x -v /q", "-/");
    EXPECT_EQ(parser.getCommandString(), "-s x -v -q");
    EXPECT_TRUE(parser.exists('q'));
    RWCString text;
    EXPECT_TRUE(parser.getString('s', &text));
    EXPECT_EQ(text, "x");

    // Every further character is rewritten, in the whole text, values included.
    BCommandStringParser three("/a +b c/d", "-/+-");
    EXPECT_EQ(three.getCommandString(), "-a -b c-d");

    // Only the first character switches: "-" is literal text here.
    BCommandStringParser slash("-s /t", "/");
    EXPECT_FALSE(slash.exists('s'));
    EXPECT_TRUE(slash.exists('t'));

    // Without switch characters nothing is an option, and the command stays as given.
    BCommandStringParser none("-s x", "");
    EXPECT_EQ(none.getCommandString(), "-s x");
    EXPECT_FALSE(none.exists('s'));

    BCommandStringParser copy(parser);
    copy = slash;
    EXPECT_TRUE(copy.exists('t'));
    EXPECT_EQ(copy.getCommandString(), "-s /t");
}

namespace {
std::string captured(const std::string& bytes)
{
    const RWCString text = ravel::capturedText(bytes);
    return std::string(text.data(), text.length());
}
} // namespace

TEST(CapturedText, BlocksOf1024KeepTheirTextUpToTheFirstZero)
{
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
