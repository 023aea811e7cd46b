#include "common/text.h"

#include <gtest/gtest.h>

#include "platform/path.h"

namespace {

// Both stay inside [start, end): a field that fills its room has no NUL.
TEST(FieldLengths, StayWithinTheirBounds) {
    const std::uint8_t b[] = {'a', 'b', 0, 'd'};
    struct Row { std::size_t start, end; std::int64_t terminated, bounded; };
    for (Row r : {Row{0, 4, 2, 2}, Row{0, 2, -1, 2}, Row{2, 4, 0, 0}, Row{3, 4, -1, 1}, Row{4, 4, -1, 0},
                  Row{3, 2, -1, 0}}) {
        EXPECT_EQ(terminatedLength(b, r.start, r.end), r.terminated) << r.start << ".." << r.end;
        EXPECT_EQ(boundedLength(b, r.start, r.end), r.bounded) << r.start << ".." << r.end;
    }
}

TEST(BaseNames, PartAfterTheLastSeparator) {
    const bool windows = std::string_view(platformSeparator) == "\\";
    EXPECT_EQ(baseName("maps/a/b.img"), "b.img");
    EXPECT_EQ(baseName(static_cast<const char*>(nullptr)), "");
    EXPECT_EQ(baseName("a/b\\c.img"), windows ? "c.img" : "b\\c.img");
    EXPECT_EQ(baseName("C:map.img"), windows ? "map.img" : "C:map.img");
}

TEST(FixedTexts, ShownUpToTheFirstNulOrTheWidth) {
    EXPECT_EQ(FixedText<4>{"ab\0d"}.shown().bytes, "ab");
    FixedText<4> full{"wxyz"};
    full.c[4] = 'Q';  // even the terminator's place overwritten
    EXPECT_EQ(full.shown().bytes, "wxyz");
}

}  // namespace
