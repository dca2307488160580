// The core through qvzkut01.dll's exported interface (the sink and threshold, a record buffer made
// there and released here, string vectors, version resources) and ravelutil's core commands, run
// as a separate program the way scripts use it.
#include "BStringVector.h"
#include "LogCapture.h"
#include "RavelConvert.h"
#include "RunProgram.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CoreAcrossDll, RecordsBuffersVectorsAndVersionResources)
{
    ravel::test::LogCapture capture(LogInterface::LEVEL_FINAL);
    LogInterface::log(LogInterface::CAT_NETWORK, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE, "f", 100, "x");
    LogInterface::log(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_BETA, "f", 1, "quiet");
    static const unsigned char bytes[2] = {1, 0xab};
    LogInterface::log(LogInterface::CAT_FILE, LogInterface::TYPE_ASSERT, LogInterface::LEVEL_FINAL, "g", 2, "d", bytes,
                      2);
    EXPECT_EQ(capture.all(),
              "COMMENT: x   CAT: network  TYPE: error  LEVEL: release  FILE: f  LINE: 100\n"
              "COMMENT: d   CAT: file  TYPE: assert  LEVEL: final  FILE: g  LINE: 2\n     DATA: 01 ab \n");
    char* record = nullptr; // made in the DLL, released here
    LogInterface::formatLogRecord(&record, LogInterface::CAT_PRNTPATH, LogInterface::TYPE_WARN,
                                  LogInterface::LEVEL_OMEGA, "a", 3, "b", nullptr, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record, "COMMENT: b   CAT: prntpath  TYPE: warn  LEVEL: omega  FILE: a  LINE: 3\n");
    delete[] record;
    BSortedStringVector sorted;
    for (const char* s : {"delta", "Alpha", "charlie", "Bravo"})
        sorted.insert(s);
    BStringVector copy(sorted);
    ASSERT_EQ(copy.entries(), 4u);
    EXPECT_STREQ(copy[3].data(), "delta");
    EXPECT_EQ(copy.find("BRAVO", false), 1u);
    EXPECT_TRUE(static_cast<const BStringVector&>(copy)[4].isNull());
    // Each DLL carries its version resource under US English / Unicode.
    for (const char* name : {"qvzkut01.dll", "tls7912d.dll"}) {
        char path[MAX_PATH] = {};
        ASSERT_NE(GetModuleFileNameA(GetModuleHandleA(name), path, MAX_PATH), 0u) << name;
        DWORD ignored = 0;
        std::vector<char> block(GetFileVersionInfoSizeA(path, &ignored));
        ASSERT_TRUE(!block.empty() && GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data()));
        char* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\OriginalFilename",
                                   reinterpret_cast<void**>(&value), &length));
        EXPECT_STREQ(value, name);
    }
    EXPECT_NE(GetProcAddress(GetModuleHandleA("qvzkut01.dll"), "setRavelUtilitiesLogFile"), nullptr);
}

TEST(CliCore, LogRecordDataAndUsageErrors)
{
    using ravel::test::ravelutil;
    EXPECT_EQ(ravelutil("log-record 1 1 4 f 1 c 000102030405060708090a0b0c0d0e0f10").out,
              "COMMENT: c   CAT: general  TYPE: error  LEVEL: release  FILE: f  LINE: 1\n"
              "     DATA: 00 01 02 03 04 05 06 07 08 09 0a 0b \n           0c 0d 0e 0f 10 \n");
    EXPECT_EQ(ravelutil("itoa 18446744073709551615 36 --u64").out, "3w5e11264sgsf\n");
    const auto r = ravelutil("itoa 4294967296 10");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(!r.err.empty() && r.err.find('\n') == r.err.size() - 1) << "one line of error";
    for (const char* usage : {"itoa 4294967296 10", "", "no-such-command", "itoa 1 10 --log-level loud",
                              "log-record 5 1 4 f 1 c", "log-record 1 1 4 f 1 c 0g"})
        EXPECT_EQ(ravelutil(usage).exitCode, 2) << usage;
}
