// What fault-injection tests rely on and would not notice broken: a fault
// test whose fault never fires, or whose failed write leaves nothing behind,
// passes without checking anything.
#include "support/test_file_system.h"

#include <gtest/gtest.h>

using Bytes = std::vector<std::uint8_t>;

TEST(TestFileSystem, FaultsHitTheNumberedOperationOrEveryOneFromItAndAreLogged) {
    TestFileSystem fs;
    fs.addFile("in", {1, 2, 3, 4});
    fs.failAt(3);
    auto f = fs.open("in", OpenMode::read);  // 1
    std::uint8_t b[2];
    EXPECT_TRUE(f->read(0, b, 2));  // 2
    EXPECT_FALSE(fs.faultFired());
    EXPECT_EQ(f->readNext(b, 2), -1);  // 3
    EXPECT_TRUE(fs.faultFired());
    EXPECT_EQ(f->readNext(b, 2), 2);  // 4
    fs.failAt(7, true);
    FileIdentity id;
    EXPECT_EQ(fs.identity("in", id), Lookup::found);      // 5
    EXPECT_EQ(fs.identity("gone", id), Lookup::missing);  // 6
    EXPECT_EQ(fs.identity("in", id), Lookup::failed);     // 7
    EXPECT_FALSE(f->close());                             // 8
    ASSERT_EQ(fs.operations(), 8u);
    const Operation& last = fs.log().back();
    EXPECT_TRUE(last.kind == OpKind::close && last.readOnlyHandle && last.failed);
    fs.clearFault();
    EXPECT_FALSE(fs.faultFired());
    EXPECT_EQ(fs.identity("in", id), Lookup::found);
}

TEST(TestFileSystem, AFailedWriteLandsHalfAndAFailedFlushOrCloseRevertsToTheFlushedBytes) {
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
    EXPECT_FALSE(f->flush());
    EXPECT_EQ(fs.bytes("out"), (Bytes{1, 2}));
    ASSERT_TRUE(f->write(2, data, 1));
    fs.failAt(fs.operations() + 1);
    EXPECT_FALSE(f->close());
    EXPECT_EQ(fs.bytes("out"), (Bytes{1, 2}));
    EXPECT_FALSE(f->write(0, data, 1));
}
