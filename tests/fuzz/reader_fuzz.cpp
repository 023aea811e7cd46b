// Feeds arbitrary bytes to the input reader and the listing, as a file with
// each of the names the reader treats differently.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/input_file.h"
#include "common/message.h"
#include "common/options.h"
#include "img/input_reader.h"
#include "info/info.h"

namespace {

std::string dir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/clx-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    dir = pattern;
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const names[] = {"f.img", "f.typ", "f.TRF", "f.mmr", "f.md2", "f.x", "ab"};
    // The last byte chooses the name and options, so that real files make good seeds.
    std::uint8_t control = size ? data[size - 1] : 0;
    if (size) --size;
    std::string path = dir + "/" + names[(control & 7) % 7];
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    resetOptions();
    options.verbose = (control & 0x10) ? 1 : 0;
    options.useOtherData = (control & 0x20) ? 1 : 0;
    useEnglish = (control & 0x40) == 0;
    InputFile input;
    input.path = path;
    if (readInput(input)) printInfo(input);
    std::remove(path.c_str());
    return 0;
}
