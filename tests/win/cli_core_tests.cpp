// ravelutil's frame and core commands, run as a separate program the way scripts use it.
#include "RunProgram.h"

#include <gtest/gtest.h>

using ravel::test::ravelutil;

TEST(CliCore, LogRecordPrintsTheFormattedRecordByteForByte)
{
    auto r = ravelutil("log-record 3 1 4 f 100 x");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "COMMENT: x   CAT: network  TYPE: error  LEVEL: release  FILE: f  LINE: 100\n");
    EXPECT_EQ(ravelutil("log-record 0 2 0 f 1 c -").out,
              "COMMENT: c   CAT: file  TYPE: info  LEVEL: omega  FILE: f  LINE: 1\n     DATA: \n");
    EXPECT_EQ(ravelutil("log-record 1 1 4 f 1 c 000102030405060708090a0b0c0d0e0f101112131415161718").out,
              "COMMENT: c   CAT: general  TYPE: error  LEVEL: release  FILE: f  LINE: 1\n"
              "     DATA: 00 01 02 03 04 05 06 07 08 09 0a 0b \n"
              "           0c 0d 0e 0f 10 11 12 13 14 15 16 17 \n"
              "           18 \n");
}

TEST(CliCore, ItoaHelpVersionAndUsageErrors)
{
    EXPECT_EQ(ravelutil("itoa -1 2 --i64").out, std::string(64, '1') + "\n");
    EXPECT_EQ(ravelutil("itoa 18446744073709551615 36 --u64").out, "3w5e11264sgsf\n");
    EXPECT_EQ(ravelutil("itoa 010 10").out, "10\n");
    const auto r = ravelutil("itoa 4294967296 10");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
    for (const char* usage : {"", "no-such-command", "itoa 1 10 --log-level loud", "log-record 5 1 4 f 1 c",
                              "log-record 1 1 4 f 1 c 0g"})
        EXPECT_EQ(ravelutil(usage).exitCode, 2) << usage;

    EXPECT_NE(ravelutil("help").out.find("log-record"), std::string::npos);
    EXPECT_EQ(ravelutil("version").out.rfind("RavelUtilities ", 0), 0u);
}
