// The core through qvzkut01.dll's exported interface: sink and threshold, records, string vectors
// and the C-style exports.
#include "BStringVector.h"
#include "LogCapture.h"
#include "LogInterface.h"
#include "RavelConvert.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(LogAcrossDll, SinkReceivesFormattedRecordsAboveThreshold)
{
    LogCapture capture(LogInterface::LEVEL_FINAL);
    LogInterface::log(LogInterface::CAT_NETWORK, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE, "f", 100, "x");
    LogInterface::log(LogInterface::CAT_GENERAL, LogInterface::TYPE_INFO, LogInterface::LEVEL_BETA, "f", 1, "quiet");
    static const unsigned char bytes[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    LogInterface::log(LogInterface::CAT_FILE, LogInterface::TYPE_ASSERT, LogInterface::LEVEL_FINAL, "g", 2, "dump",
                      bytes, sizeof bytes);
    ASSERT_EQ(capture.records().size(), 2u);
    EXPECT_EQ(capture.records()[0], "COMMENT: x   CAT: network  TYPE: error  LEVEL: release  FILE: f  LINE: 100\n");
    EXPECT_EQ(capture.records()[1],
              "COMMENT: dump   CAT: file  TYPE: assert  LEVEL: final  FILE: g  LINE: 2\n     DATA: 01 02 03 04 05 06 "
              "07 08 09 0a 0b 0c \n           0d \n");
    setRavelUtilitiesLogLevel(static_cast<LogInterface::teLevel>(5));
    LogInterface::log(LogInterface::CAT_NETWORK, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE, "f", 1, "none");
    EXPECT_EQ(capture.records().size(), 2u);
}

TEST(LogAcrossDll, RecordBufferFromTheDllIsReleasedHere)
{
    char* record = nullptr;
    LogInterface::formatLogRecord(&record, LogInterface::CAT_PRNTPATH, LogInterface::TYPE_WARN,
                                  LogInterface::LEVEL_OMEGA, "a", 3, "b", nullptr, 0);
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(record, "COMMENT: b   CAT: prntpath  TYPE: warn  LEVEL: omega  FILE: a  LINE: 3\n");
    delete[] record;
}

TEST(VectorsAcrossDll, ValuesCopiesAndFallbackCrossTheBoundary)
{
    BSortedStringVector sorted;
    for (const char* s : {"delta", "Alpha", "charlie", "Bravo"})
        sorted.insert(s);
    BStringVector copy(sorted);
    ASSERT_EQ(copy.entries(), 4u);
    EXPECT_STREQ(copy[0].data(), "Alpha");
    EXPECT_STREQ(copy[3].data(), "delta");
    EXPECT_EQ(copy.find("BRAVO", false), 1u);
    EXPECT_EQ(copy.find("BRAVO", true), 0xFFFFFFFFu);
    const BStringVector& c = copy;
    EXPECT_TRUE(c[4].isNull());
    EXPECT_STREQ(iToRWCString(-1, 16).data(), "ffffffff");
    EXPECT_STREQ(ui64ToRWCString(0xFFFFFFFFFFFFFFFFull, 16).data(), "ffffffffffffffff");
}

TEST(DllImage, CarriesFileVersionAndTheExports)
{
    HMODULE dll = GetModuleHandleA("qvzkut01.dll");
    ASSERT_NE(dll, nullptr);
    EXPECT_NE(GetProcAddress(dll, "setRavelUtilitiesLogFile"), nullptr);
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(dll, path, MAX_PATH), 0u);
    DWORD handle = 0;
    EXPECT_GT(GetFileVersionInfoSizeA(path, &handle), 0u);
}
