// Feeds arbitrary bytes to the input reader and the listing, as a file with
// each of the names the reader treats differently. The file lives in memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/message.h"
#include "img/model/input_reader.h"
#include "info/info.h"
#include "support/test_file_system.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const names[] = {"f.img", "f.typ", "f.TRF", "f.mmr", "f.md2", "f.x", "ab"};
    // The last byte chooses the name and options, so that real files make good seeds.
    std::uint8_t control = size ? data[size - 1] : 0;
    if (size) --size;
    InstalledFileSystem fs;
    const std::string path = names[(control & 7) % 7];
    fs.addFile(path, std::vector<std::uint8_t>(data, data + size));

    const ReadSettings settings{(control & 0x10) != 0, (control & 0x20) != 0};
    useEnglish = (control & 0x40) == 0;
    InputFile input;
    input.path = path;
    if (readInput(input, settings)) printInfo(input, settings.verbose);
    return 0;
}
