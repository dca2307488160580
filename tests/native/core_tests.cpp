// Logging, conversions and string vectors of the portable core.
#include "BStringVector.h"
#include "LogInterface.h"
#include "RavelConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string format(int category, int type, int level, const char* file, int line, const char* comment,
                   const void* data, unsigned length)
{
    char* record = nullptr;
    LogInterface::formatLogRecord(&record, static_cast<LogInterface::teCategory>(category),
                                  static_cast<LogInterface::teType>(type), static_cast<LogInterface::teLevel>(level),
                                  file, line, comment, data, length);
    std::string text(record);
    delete[] record;
    return text;
}

std::string bytesRecordTail(unsigned count)
{
    std::vector<unsigned char> bytes(count);
    for (unsigned i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i + 0xF0);
    const std::string record = format(0, 0, 0, "f", 1, "c", bytes.data(), count);
    return record.substr(record.find('\n'));
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

class LogTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        setRavelUtilitiesLogFile(nullptr, nullptr);
        setRavelUtilitiesLogLevel(LogInterface::LEVEL_OMEGA);
    }
};

} // namespace

TEST(LogRecord, HeadHasExactSpacingOneFinalNewlineAndNoTruncation)
{
    EXPECT_EQ(format(3, 1, 4, "f", 100, "x", nullptr, 0),
              "COMMENT: x   CAT: network  TYPE: error  LEVEL: release  FILE: f  LINE: 100\n");
    EXPECT_EQ(format(4, 3, 0, "src/a.cpp", -7, "", nullptr, 0),
              "COMMENT:    CAT: prntpath  TYPE: warn  LEVEL: omega  FILE: src/a.cpp  LINE: -7\n");
    const std::string comment(5000, 'z');
    EXPECT_EQ(format(1, 2, 3, "f", 1, comment.c_str(), nullptr, 0),
              "COMMENT: " + comment + "   CAT: general  TYPE: info  LEVEL: final  FILE: f  LINE: 1\n");
}

TEST(LogRecord, DumpLaysOutTwelveBytesALine)
{
    static const unsigned char none = 0;
    const std::string empty = format(0, 0, 0, "f", 1, "c", &none, 0);
    EXPECT_EQ(empty.substr(empty.find('\n')), "\n     DATA: \n");
    EXPECT_EQ(bytesRecordTail(1), "\n     DATA: f0 \n");
    EXPECT_EQ(bytesRecordTail(12), "\n     DATA: f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb \n");
    EXPECT_EQ(bytesRecordTail(13), "\n     DATA: f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb \n           fc \n");
    EXPECT_EQ(bytesRecordTail(25),
              "\n     DATA: f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb \n           fc fd fe ff 00 01 02 03 04 05 06 07 "
              "\n           08 \n");
}

TEST_F(LogTest, ThresholdSinkAndMacros)
{
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
    setRavelUtilitiesLogFile(&Sink::take, nullptr);
    LogInterface::log(LogInterface::CAT_FILE, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, "f", 1, "a");
    setRavelUtilitiesLogFile(nullptr, &sink);
    LogInterface::log(LogInterface::CAT_FILE, LogInterface::TYPE_INFO, LogInterface::LEVEL_RELEASE, "f", 1, "b");
    EXPECT_TRUE(sink.records.empty());

    // Records name their source relative to the repository; error codes are dumped as data.
    setRavelUtilitiesLogFile(&Sink::take, &sink);
    RAVEL_LOG_CODE(LogInterface::CAT_GENERAL, LogInterface::TYPE_ERROR, LogInterface::LEVEL_RELEASE,
                   RWCString("code"), 0x01020304ul);
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_NE(sink.records[0].find("FILE: tests/native/core_tests.cpp  LINE: "), std::string::npos) << sink.records[0];
    EXPECT_NE(sink.records[0].find("\n     DATA: 04 03 02 01 \n"), std::string::npos) << sink.records[0];
}

TEST(Conversions, SignOnlyInRadixTenOtherwiseTwosComplement)
{
    const RWCString texts[] = {iToRWCString(-5, 10), iToRWCString(-1, 16), iToRWCString(0, 2),
                               iToRWCString(-2147483647 - 1, 10), iToRWCString(-2147483647 - 1, 2), iToRWCString(35, 36),
                               i64ToRWCString(-1, 16), i64ToRWCString(-9223372036854775807LL - 1, 10),
                               ui64ToRWCString(18446744073709551615ULL, 10), ui64ToRWCString(18446744073709551615ULL, 36),
                               iToRWCString(10, 1), iToRWCString(10, 37)};
    const std::string expected[] = {"-5", "ffffffff", "0", "-2147483648", "1" + std::string(31, '0'), "z",
                                    "ffffffffffffffff", "-9223372036854775808", "18446744073709551615",
                                    "3w5e11264sgsf", "", ""};
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(std::string(texts[i].data()), expected[i]) << "case " << i;
    EXPECT_TRUE(iToRWCString(10, 1).isNull() && iToRWCString(10, 37).isNull());
}

TEST(StringVector, GrowsByTheDocumentedSequenceAndKeepsOrder)
{
    struct Probe : BStringVector
    {
        unsigned capacity() const { return m_capacity; }
    } v;
    std::vector<unsigned> capacities;
    for (int i = 0; i < 47; ++i) {
        v.insert(iToRWCString(i, 10));
        if (capacities.empty() || capacities.back() != v.capacity())
            capacities.push_back(v.capacity());
    }
    EXPECT_EQ(capacities, (std::vector<unsigned>{10, 21, 33, 46, 60}));
    for (unsigned i = 0; i < 47; ++i)
        EXPECT_EQ(std::string(v[i].data()), std::to_string(i));
}

TEST(StringVector, OutOfRangeFindRemoveAndFallback)
{
    BStringVector v;
    EXPECT_EQ(v.find("x", true), 0xFFFFFFFFu);
    EXPECT_TRUE(v[0].isNull());
    v.removeAt(0);
    for (const char* s : {"abc", "def", "ghi"})
        v.insert(s);
    EXPECT_EQ(v.find("ABC", false), 0u);
    EXPECT_EQ(v.find("ABC", true), 0xFFFFFFFFu);
    EXPECT_EQ(v.find("ab", false), 0xFFFFFFFFu);
    v.removeAt(3);
    v.removeAt(0);
    EXPECT_EQ(joined(v), "def,ghi");
    v.removeAt(1);
    EXPECT_EQ(joined(v), "def");

    // Writing through an out-of-range reference changes what later out-of-range reads yield.
    v[7] = "fallback";
    const BStringVector& cv = v;
    EXPECT_EQ(std::string(cv[9].data()), "fallback");

    const BStringVector& self = v;
    v = self;
    BStringVector copy(v);
    copy[0] = "changed";
    EXPECT_EQ(joined(v), "def");
}

TEST(SortedStringVector, CaseInsensitiveOrderThroughEveryWayIn)
{
    BSortedStringVector v;
    for (const char* s : {"b", "A", "c"})
        v.insert(s);
    EXPECT_EQ(joined(v), "A,b,c");
    BStringVector more;
    more.insert("B");
    more.insert("aa");
    v.addVector(more);
    EXPECT_EQ(joined(v).substr(0, 5), "A,aa,");
    EXPECT_EQ(v.find("c", true), 4u);
    EXPECT_EQ(joined(BSortedStringVector(v)), joined(v));

    // Assignment through the base re-inserts through the sorted insert.
    BStringVector plain;
    plain.insert("z");
    plain.insert("a");
    BSortedStringVector into;
    into.insert("M");
    static_cast<BStringVector&>(into) = plain;
    EXPECT_EQ(joined(into), "a,z");
}
