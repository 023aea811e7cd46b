// The verifier is the yardstick for every container clx writes: it has to
// accept good containers from independent producers and reject the faults a
// writer is most likely to make.
#include "support/img_verifier.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/img_builder.h"
#include "support/run_clx.h"

namespace {

using Bytes = std::vector<uint8_t>;

const ImgVerifyOptions kBuilderMade{false, true};  // the builder leaves the geometry zero
const ImgVerifyOptions kForeign{false, false};

Bytes pattern(size_t n, uint8_t seed) {
    // Never zero, so that a subfile's last byte is distinguishable from padding.
    Bytes v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(1 + (seed + i * 7) % 255);
    return v;
}

// Header sector and 3 FAT entries in blocks 0-3, TRE (700 bytes) in 4-5, RGN (100) in 6.
ImgLayout twoFiles() {
    ImgLayout l;
    l.description = "Test map";
    l.subfiles = {{"00000001", "TRE", pattern(700, 1), {}}, {"00000001", "RGN", pattern(100, 2), {}}};
    return l;
}

// The fields strictHeader checks, for any container under 64 KiB in 512-byte
// blocks, typed in from the layout rules rather than computed: 16 heads, 8
// sectors per track, cylinder 0 only, 128 sectors.
Bytes withGeometry(Bytes img) {
    const std::pair<size_t, uint8_t> fields[] = {{0x17, 2},   {0x18, 8},  {0x1A, 16},  {0x1C, 1},
                                                 {0x5D, 16},  {0x5F, 8},  {0x63, 128}, {0x1C0, 1},
                                                 {0x1C3, 15}, {0x1C4, 8}, {0x1CA, 128}};
    for (const auto& [offset, value] : fields) img[offset] = value;
    fixImgChecksum(img);
    return img;
}

Bytes planned(const ImgLayout& l, const std::function<void(ImgPlan&)>& fault) {
    ImgPlan p = planImg(l);
    fault(p);
    return renderImg(p);
}

Bytes patched(Bytes img, const std::function<void(Bytes&)>& fault) {
    fault(img);
    fixImgChecksum(img);
    return img;
}

}  // namespace

TEST(ImgVerifier, AcceptsBuilderContainersAndReadsThemBack) {
    const std::vector<std::pair<const char*, std::function<void(ImgLayout&)>>> cases = {
        {"two small subfiles", [](ImgLayout&) {}},
        {"2048-byte blocks, FAT after a gap",
         [](ImgLayout& l) {
             l.blockExponent = 2;
             l.fatStartSector = 3;
         }},
        {"header entry continued, free slots", [](ImgLayout& l) { l.spareEntries = 300; }},
        {"subfiles of 240, 241 and 0 blocks",
         [](ImgLayout& l) {
             l.subfiles[0].data = pattern(240 * 512, 3);
             l.subfiles.push_back({"00000001", "LBL", pattern(240 * 512 + 1, 4), {}});
             l.subfiles.push_back({"00000001", "NET", {}, {}});
         }},
    };
    for (const auto& [what, tweak] : cases) {
        SCOPED_TRACE(what);
        ImgLayout l = twoFiles();
        tweak(l);
        const Bytes img = buildImg(l);
        VerifiedImg v;
        std::string error;
        ASSERT_TRUE(verifyImg(img, v, error, kBuilderMade)) << error;
        EXPECT_EQ(v.description, "Test map");
        ASSERT_EQ(v.subfiles.size(), l.subfiles.size());
        for (size_t i = 0; i < l.subfiles.size(); ++i)
            EXPECT_EQ(subfileBytes(img, v, v.subfiles[i].fullName()), l.subfiles[i].data) << i;
    }
}

TEST(ImgVerifier, ReadsOtherProducersFixturesWhenRelaxed) {
    // They keep neither the byte sum nor this geometry, but the layout is the same.
    for (const char* name : {"63240001.img", "63240003.img", "gmapsupp.img", "sample.img", "mapset_mdr.img"}) {
        SCOPED_TRACE(name);
        const std::string raw = readFile(testData(std::string("img/") + name));
        const Bytes img(raw.begin(), raw.end());
        VerifiedImg v;
        std::string error;
        ASSERT_TRUE(verifyImg(img, v, error, kForeign)) << error;
        ASSERT_FALSE(v.subfiles.empty());
        for (const VerifiedSubfile& s : v.subfiles) {
            const Bytes b = subfileBytes(img, v, s.fullName());
            ASSERT_GE(b.size(), 12u) << s.fullName();
            if (s.type != "MPS") {  // every other subfile starts with a header naming its type
                EXPECT_EQ(std::string(b.begin() + 2, b.begin() + 12), "GARMIN " + s.type);
            }
        }
    }
}

TEST(ImgVerifier, RejectsTheFaultsAWriterIsLikelyToMake) {
    const Bytes good = buildImg(twoFiles());
    Bytes unsummed = good;
    ++unsummed[0x0F];
    ImgLayout spare = twoFiles();
    spare.spareEntries = 2;  // slots 3 and 4 free
    ImgLayout kb = twoFiles();
    kb.blockExponent = 1;
    kb.spareEntries = 1;  // the FAT ends at 2560, the first data block starts at 3072
    ImgLayout big = twoFiles();
    big.subfiles[1].data = pattern(241 * 512, 5);  // RGN in slots 2 and 3
    const Bytes strict = withGeometry(good);
    VerifiedImg v;
    std::string error;
    ASSERT_TRUE(verifyImg(strict, v, error)) << error;

    struct Fault {
        const char* what;
        Bytes img;
        const char* expect;  // part of the message, so that the right check is known to have fired
        bool strict = false;
    };
    const Fault faults[] = {
        {"checksum off by one", unsummed, "sum"},
        {"gap before a subfile's blocks", planned(twoFiles(), [](ImgPlan& p) { p.entries[2].blocks = {7}; }),
         "gaps or reuse"},
        {"block used twice", planned(twoFiles(), [](ImgPlan& p) { p.entries[2].blocks = {5}; }), "gaps or reuse"},
        {"non-zero byte in a free FAT slot", patched(buildImg(spare), [](Bytes& b) { b[512 + 4 * 512 + 0x30] = 1; }),
         "free FAT slots"},
        {"non-zero padding after a subfile", patched(good, [](Bytes& b) { b[6 * 512 + 100] = 1; }),
         "padding after 00000001.RGN"},
        {"non-zero padding after the FAT", patched(buildImg(kb), [](Bytes& b) { b[2600] = 1; }),
         "padding after the FAT"},
        {"continuation parts out of order", planned(big, [](ImgPlan& p) { p.entries[3].part = 2; }), "part 2"},
        {"heads wrong in the high byte", patched(strict, [](Bytes& b) { b[0x1B] = 1; }), "heads", true},
        {"partition sectors wrong", patched(strict, [](Bytes& b) { b[0x1CA] = 127; }), "partition sectors", true},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        EXPECT_FALSE(verifyImg(f.img, v, error, f.strict ? ImgVerifyOptions{} : kBuilderMade));
        EXPECT_NE(error.find(f.expect), std::string::npos) << "error: " << error;
    }
}
