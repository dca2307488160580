// The line iterator and the text-file builder over real files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BFileBuilder.h"
#include "BFileIterator.h"
#include "TestData.h"

namespace {

struct Pieces
{
    std::vector<std::string> seen;
    std::size_t stopAfter = 0; // 0: never stop
};

bool collect(RWCString& line, void* data)
{
    auto* p = static_cast<Pieces*>(data);
    p->seen.emplace_back(line.data(), line.length());
    line = "changed"; // discarded by the iterator
    return p->stopAfter == 0 || p->seen.size() < p->stopAfter;
}

} // namespace

TEST(FileIterator, PiecesLinesAndEnds)
{
    ravel::test::ScopedTempDir dir;
    const std::string path = dir / "lines.txt";
    ravel::test::writeFile(path, std::string(2000, 'x') + "\nshort\nlast");
    Pieces p;
    EXPECT_EQ(BFileIterator().iterate(path.c_str(), collect, &p), BFileIterator::ITERATE_OK);
    ASSERT_EQ(p.seen.size(), 4u);
    EXPECT_EQ(p.seen[0], std::string(1023, 'x'));
    EXPECT_EQ(p.seen[1], std::string(977, 'x') + "\n");
    EXPECT_EQ(p.seen[2], "short\n");
    EXPECT_EQ(p.seen[3], "last");

    Pieces small;
    EXPECT_EQ(BFileIterator(4).iterate(path.c_str(), collect, &small), BFileIterator::ITERATE_OK);
    EXPECT_EQ(small.seen[0], "xxx");

    Pieces stopped;
    stopped.stopAfter = 2;
    EXPECT_EQ(BFileIterator().iterate(path.c_str(), collect, &stopped), BFileIterator::ITERATE_STOPPED);
    EXPECT_EQ(stopped.seen.size(), 2u);
}

TEST(FileIterator, MissingAndEmptyFiles)
{
    ravel::test::ScopedTempDir dir;
    Pieces p;
    EXPECT_EQ(BFileIterator().iterate((dir / "absent.txt").c_str(), collect, &p), BFileIterator::ITERATE_OPEN_FAILED);
    ravel::test::writeFile(dir / "empty.txt", "");
    EXPECT_EQ(BFileIterator().iterate((dir / "empty.txt").c_str(), collect, &p), BFileIterator::ITERATE_OK);
    EXPECT_TRUE(p.seen.empty());
}

TEST(FileBuilder, WritesTextUnchanged)
{
    ravel::test::ScopedTempDir dir;
    RWCString a("a");
    BFileBuilder builder;
    EXPECT_EQ(builder.addString(a), BFileBuilder::BUILD_WRITE_FAILED);
    EXPECT_EQ(builder.init((dir / "missing/x.txt").c_str()), BFileBuilder::BUILD_OPEN_FAILED);
    ravel::test::writeFile(dir / "out.txt", "old contents");
    ASSERT_EQ(builder.init((dir / "out.txt").c_str()), BFileBuilder::BUILD_OK);
    EXPECT_EQ(builder.addString(a), BFileBuilder::BUILD_OK);
    EXPECT_EQ(builder.addString(a), BFileBuilder::BUILD_OK);
    {
        BFileBuilder copy(builder); // starts without a stream: nothing is closed twice
        EXPECT_EQ(copy.addString(a), BFileBuilder::BUILD_WRITE_FAILED);
    }
    EXPECT_EQ(ravel::test::readFile(dir / "out.txt"), "aa");
}
