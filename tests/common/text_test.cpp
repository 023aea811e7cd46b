#include "common/text.h"

#include <gtest/gtest.h>

#include "platform/path.h"

namespace {

TEST(BaseNames, PartAfterTheLastSeparator) {
    const bool windows = std::string_view(platformSeparator) == "\\";
    EXPECT_EQ(baseName("maps/a/b.img"), "b.img");
    EXPECT_EQ(baseName("a/b\\c.img"), windows ? "c.img" : "b\\c.img");
    EXPECT_EQ(baseName("C:map.img"), windows ? "map.img" : "C:map.img");
}

}  // namespace
