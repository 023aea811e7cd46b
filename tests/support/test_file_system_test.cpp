// The test file system's properties that fault-injection tests rely on.
#include "support/test_file_system.h"

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

TEST(TestFileSystem, FaultsHitTheNumberedOperationOrEveryOneFromIt) {
    TestFileSystem fs;
    fs.addFile("in", {1, 2, 3, 4});
    fs.failAt(3);
    auto f = fs.open("in", OpenMode::read);  // 1
    std::uint8_t b[2];
    EXPECT_TRUE(f->read(0, b, 2));  // 2
    EXPECT_FALSE(fs.faultFired());
    EXPECT_FALSE(f->read(0, b, 2));  // 3
    EXPECT_TRUE(fs.faultFired());
    EXPECT_TRUE(f->read(2, b, 2));  // 4
    fs.failAt(6, true);
    FileIdentity id;
    EXPECT_EQ(fs.identity("in", id), Lookup::found);   // 5
    EXPECT_EQ(fs.identity("in", id), Lookup::failed);  // 6
    EXPECT_FALSE(f->close());        // 7
    ASSERT_EQ(fs.operations(), 7u);
    const Operation& last = fs.log().back();
    EXPECT_TRUE(last.kind == OpKind::close && last.readOnlyHandle && last.failed);
}

TEST(TestFileSystem, FailedWritesLandHalfAndAFailedCloseRevertsToTheFlushedBytes) {
    TestFileSystem fs;
    bool existed = true;
    auto f = fs.create("out", CreateMode::replace, existed);
    const std::uint8_t data[5] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(f->write(0, data, 2));
    ASSERT_TRUE(f->flush());
    fs.failAt(fs.operations() + 1);
    EXPECT_FALSE(f->write(2, data, 5));
    EXPECT_EQ(fs.bytes("out"), (Bytes{1, 2, 1, 2}));
    fs.failAt(fs.operations() + 1);
    EXPECT_FALSE(f->close());
    EXPECT_EQ(fs.bytes("out"), (Bytes{1, 2}));
    EXPECT_FALSE(f->write(0, data, 1));
}

TEST(TestFileSystem, CreateNewRefusesATakenNameAndOnlyRemovalChangesIdentity) {
    TestFileSystem fs;
    fs.addFile("a", {7});
    bool existed = false;
    EXPECT_EQ(fs.create("a", CreateMode::createNew, existed), nullptr);
    EXPECT_TRUE(existed);
    EXPECT_EQ(fs.bytes("a"), Bytes{7});
    FileIdentity before, after;
    ASSERT_EQ(fs.identity("a", before), Lookup::found);
    ASSERT_NE(fs.create("a", CreateMode::replace, existed), nullptr);
    ASSERT_EQ(fs.identity("a", after), Lookup::found);
    EXPECT_TRUE(before == after);
    ASSERT_TRUE(fs.remove("a"));
    EXPECT_EQ(fs.identity("a", after), Lookup::missing);
    ASSERT_NE(fs.create("a", CreateMode::createNew, existed), nullptr);
    ASSERT_EQ(fs.identity("a", after), Lookup::found);
    EXPECT_FALSE(before == after);
}

TEST(TestFileSystem, SinkCountsPastFourGiBAndKeepsOnlyItsPrefix) {
    TestFileSystem fs;
    fs.makeSink("big", 4);
    bool existed = false;
    auto f = fs.create("big", CreateMode::createNew, existed);
    const std::uint8_t data[3] = {9, 8, 7};
    const std::uint64_t fourGiB = std::uint64_t{1} << 32;
    ASSERT_TRUE(f->write(2, data, 3));
    ASSERT_TRUE(f->write(fourGiB, data, 3));
    ASSERT_TRUE(f->close());
    EXPECT_EQ(fs.sinkLength("big"), fourGiB + 3);
    EXPECT_EQ(fs.sinkBytesWritten("big"), 6u);
    EXPECT_EQ(fs.bytes("big"), (Bytes{0, 0, 9, 8}));
}

TEST(TestFileSystem, SparseFileReadsZeroPastItsPrefixUpToItsSize) {
    TestFileSystem fs;
    const std::uint64_t size = (std::uint64_t{1} << 32) + 10;
    fs.addSparseFile("huge", {1, 2, 3}, size);
    auto f = fs.open("huge", OpenMode::read);
    std::uint8_t b[4] = {5, 5, 5, 5};
    ASSERT_TRUE(f->read(1, b, 4));
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{2, 3, 0, 0}));
    EXPECT_TRUE(f->read(size - 4, b, 4));
    EXPECT_FALSE(f->read(size - 2, b, 4));
}
