#include "img/container/layout.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "common/message.h"

namespace {

using Sizes = std::vector<std::uint64_t>;

// Plans a join as the join does: its smallest catalogue is the 'V' record of the default mapset name, 17 bytes.
// figures: block sizes A and B, then the block, header and file chosen; 0 is not checked.
void expectJoin(const char* what, const Sizes& sizes, bool shortHeader, std::uint32_t blockSizeKb, bool ok,
                const std::array<std::uint64_t, 5>& figures, const std::string& out = "") {
    ContainerLayout l{.headerBase = shortHeader ? 1024u : 4096u, .catalogueBytes = 17};
    for (std::uint64_t s : sizes) countSubfile(l, s);
    useEnglish = true;
    testing::internal::CaptureStdout();
    bool planned = planCandidates(l, shortHeader, blockSizeKb);
    if (planned) {
        for (std::uint64_t s : sizes) countCandidateBlocks(l, s);
        planned = pickLayout(l);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), out) << what;
    EXPECT_EQ(planned, ok) << what;
    const std::uint64_t got[] = {l.blockSizeA, l.blockSizeB, l.blockSize, l.headerSize, l.fileSize};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(!figures[i] || got[i] == figures[i]) << what << ", figure " << i << ": " << got[i];
}

TEST(JoinLayout, ChoicesAndLimits) {
    EXPECT_EQ(headerBlocks(4096, 231, 512), 240u);  // 8 + 231 + the area's own entry
    EXPECT_EQ(headerBlocks(4096, 232, 512), 243u);  // 241 blocks need a second entry of their own
    expectJoin("equal cost takes the larger block", {1000000}, false, 0, true, {0, 0, 2048, 8192, 1011712});
    expectJoin("a short header keeps the smallest block", {1000000}, true, 0, true, {0, 0, 1024, 5120, 1006592});
    expectJoin("-b makes both candidates equal", {1000000}, false, 16, true, {16384, 16384, 16384, 16384, 16384 * 64});
    expectJoin("-b 1 cannot hold 80 MB", Sizes(20, 4000000), false, 1, false, {1024, 1024});
    const Sizes huge(10, 4000000000u), full(16, 0xFFFFFFFFu);
    expectJoin("huge sets try 512 KiB and 1 MiB", huge, false, 0, true, {0x80000, 0x100000});
    expectJoin("-b below the automatic 1 MiB", huge, false, 1024, true, {0x100000, 0x100000});
    expectJoin("2^27 sectors", full, false, 0, false, {}, "Total file length too big (sectors 8000000, 67108863k).\n");
    Sizes lessOne = full;
    lessOne.back() = 0xFFFFFDFFu;
    expectJoin("a sector less: over 1 MiB", lessOne, false, 1024, false, {}, "Total file length too big (blocks).\n");
}

TEST(MapLayout, SplitMapsKeepTheSmallestFile) {
    const std::pair<Sizes, MapLayout> rows[] = {
        {{300000, 300000, 300000}, {1024, 8192, 908288}}, {{544}, {1024, 5120, 6144}},
        {{2000, 600000, 300000, 80000, 18000}, {1024, 9216, 1010688}}};
    for (const auto& [sizes, want] : rows) {
        const std::uint64_t total = std::accumulate(sizes.begin(), sizes.end(), std::uint64_t{0});
        const MapLayout m = mapLayout(sizes, mapBlockSize(total, sizes.size(), false), 4096);
        EXPECT_TRUE(m.blockSize == want.blockSize && m.headerSize == want.headerSize && m.fileSize == want.fileSize)
            << total << ": " << m.blockSize << " " << m.headerSize << " " << m.fileSize;
    }
}

}  // namespace
