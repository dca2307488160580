// Logging, conversions and string vectors of the portable core.
#include "BStringVector.h"
#include "LogInterface.h"
#include "RavelConvert.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// A record from file "f"; dataBytes < 0 passes no data at all, otherwise bytes f0 f1 ...
std::string format(int category, int type, int level, int line, const char* comment, int dataBytes)
{
    std::vector<unsigned char> bytes(dataBytes < 0 ? 1 : dataBytes + 1);
    for (int i = 0; i < dataBytes; ++i)
        bytes[i] = static_cast<unsigned char>(i + 0xF0);
    char* record = nullptr;
    LogInterface::formatLogRecord(&record, static_cast<LogInterface::teCategory>(category),
                                  static_cast<LogInterface::teType>(type), static_cast<LogInterface::teLevel>(level),
                                  "f", line, comment, dataBytes < 0 ? nullptr : bytes.data(),
                                  static_cast<unsigned>(dataBytes < 0 ? 0 : dataBytes));
    std::string text(record);
    delete[] record;
    return text;
}

std::string joined(const BStringVector& v)
{
    std::string text;
    for (unsigned i = 0; i < v.entries(); ++i)
        text += (i ? "," : "") + std::string(v[i].data());
    return text;
}

struct Sink
{
    std::vector<std::string> records;
    static void take(const char* record, void* context) { static_cast<Sink*>(context)->records.emplace_back(record); }
};

} // namespace

TEST(LogRecord, ExactTextThresholdSinkAndMacros)
{
    const std::string comment(5000, 'z'); // never truncated
    EXPECT_EQ(format(3, 1, 4, 10, "x", -1),
              "COMMENT: x   CAT: network  TYPE: error  LEVEL: release  FILE: f  LINE: 10\n");
    EXPECT_EQ(format(4, 3, 0, -7, "", -1), "COMMENT:    CAT: prntpath  TYPE: warn  LEVEL: omega  FILE: f  LINE: -7\n");
    EXPECT_EQ(format(1, 2, 3, 1, comment.c_str(), -1),
              "COMMENT: " + comment + "   CAT: general  TYPE: info  LEVEL: final  FILE: f  LINE: 1\n");
    const std::string head = "COMMENT: c   CAT: file  TYPE: assert  LEVEL: omega  FILE: f  LINE: 1\n     DATA: ";
    EXPECT_EQ(format(0, 0, 0, 1, "c", 0), head + "\n");
    EXPECT_EQ(format(0, 0, 0, 1, "c", 1), head + "f0 \n");
    EXPECT_EQ(format(0, 0, 0, 1, "c", 13), head + "f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb \n           fc \n");
    EXPECT_EQ(format(0, 0, 0, 1, "c", 25), head + "f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb \n"
                                                  "           fc fd fe ff 00 01 02 03 04 05 06 07 \n           08 \n");
    Sink sink;
    setRavelUtilitiesLogFile(&Sink::take, &sink);
    for (int threshold = 0; threshold <= 5; ++threshold) {
        sink.records.clear();
        setRavelUtilitiesLogLevel(static_cast<LogInterface::teLevel>(threshold));
        EXPECT_EQ(LogInterface::getLogLevel(), threshold);
        for (int level = 0; level <= 4; ++level)
            RAVEL_LOG(LogInterface::CAT_FILE, LogInterface::TYPE_INFO, static_cast<LogInterface::teLevel>(level), "m");
        EXPECT_EQ(static_cast<int>(sink.records.size()), 5 - threshold) << "threshold " << threshold;
    }
    // The sink needs both its function and its context.
    sink.records.clear();
    setRavelUtilitiesLogLevel(LogInterface::LEVEL_OMEGA);
    for (void* context : {static_cast<void*>(nullptr), static_cast<void*>(&sink)}) {
        setRavelUtilitiesLogFile(context == nullptr ? &Sink::take : nullptr, context);
        LogInterface::log(LogInterface::CAT_FILE, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, "f", 1, "a");
    }
    EXPECT_TRUE(sink.records.empty());
    // Records name their source relative to the repository; error codes are dumped as data.
    setRavelUtilitiesLogFile(&Sink::take, &sink);
    RAVEL_LOG_CODE(LogInterface::CAT_GENERAL, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE, RWCString("code"),
                   0x01020304ul);
    setRavelUtilitiesLogFile(nullptr, nullptr);
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_NE(sink.records[0].find("FILE: tests/native/core_tests.cpp  LINE: "), std::string::npos) << sink.records[0];
    EXPECT_NE(sink.records[0].find("\n     DATA: 04 03 02 01 \n"), std::string::npos) << sink.records[0];
}

TEST(ValuesAndVectors, ConversionsGrowthOutOfRangeFallbackAndSortedInsert)
{
    const unsigned long long all = 18446744073709551615ULL;
    const RWCString texts[] = {iToRWCString(-5, 10),      iToRWCString(-1, 16),          iToRWCString(0, 2),
                               iToRWCString(INT_MIN, 10), iToRWCString(INT_MIN, 2),      iToRWCString(35, 36),
                               i64ToRWCString(-1, 16),    i64ToRWCString(LLONG_MIN, 10), ui64ToRWCString(all, 10),
                               ui64ToRWCString(all, 36)};
    const std::string expected[] = {"-5",
                                    "ffffffff",
                                    "0",
                                    "-2147483648",
                                    "1" + std::string(31, '0'),
                                    "z",
                                    "ffffffffffffffff",
                                    "-9223372036854775808",
                                    "18446744073709551615",
                                    "3w5e11264sgsf"};
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(std::string(texts[i].data()), expected[i]) << "case " << i;
    EXPECT_TRUE(iToRWCString(10, 1).isNull() && iToRWCString(10, 37).isNull());
    struct Probe : BStringVector
    {
        unsigned capacity() const { return m_capacity; }
    } grown;
    std::vector<unsigned> capacities;
    for (int i = 0; i < 47; ++i) {
        grown.insert(iToRWCString(i, 10));
        if (capacities.empty() || capacities.back() != grown.capacity())
            capacities.push_back(grown.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<unsigned>{10, 21, 33, 46, 60}));
    EXPECT_EQ(std::string(grown[46].data()), "46");
    BStringVector v;
    EXPECT_EQ(v.find("x", true), 0xFFFFFFFFu);
    EXPECT_TRUE(v[0].isNull());
    v.removeAt(0);
    for (const char* s : {"abc", "def", "ghi"})
        v.insert(s);
    EXPECT_EQ(v.find("ABC", false), 0u);
    EXPECT_EQ(v.find("ABC", true) & v.find("ab", false), 0xFFFFFFFFu);
    v.removeAt(3);
    v.removeAt(0);
    v.removeAt(1);
    EXPECT_EQ(joined(v), "def");
    // Writing through an out-of-range reference changes what later out-of-range reads yield.
    v[7] = "fallback";
    EXPECT_EQ(std::string(static_cast<const BStringVector&>(v)[9].data()), "fallback");
    const BStringVector& self = v;
    v = self;
    BStringVector copy(v);
    copy[0] = "changed";
    EXPECT_EQ(joined(v), "def");
    // The sorted vector keeps case-insensitive order through every way in.
    BSortedStringVector sorted;
    for (const char* s : {"b", "A", "c"})
        sorted.insert(s);
    EXPECT_EQ(joined(sorted), "A,b,c");
    BStringVector more;
    more.insert("B");
    more.insert("aa");
    sorted.addVector(more);
    EXPECT_EQ(joined(sorted).substr(0, 5), "A,aa,");
    EXPECT_EQ(sorted.find("c", true), 4u);
    EXPECT_EQ(joined(BSortedStringVector(sorted)), joined(sorted));
    // Assignment through the base re-inserts through the sorted insert.
    BSortedStringVector into;
    into.insert("M");
    static_cast<BStringVector&>(into) = more;
    EXPECT_EQ(joined(into), "aa,B");
}
