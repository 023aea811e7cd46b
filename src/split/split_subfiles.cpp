#include <algorithm>

#include "common/file_names.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "img/container/subfile_io.h"
#include "split/split.h"

namespace {

constexpr Msg kWriteVerbose{"Write subfile %s, len. %9u\n", "Zapis podzbioru %s, dlug %9u\n"};
constexpr Msg kWrite{"Write subfile %s\n", "Zapis podzbioru %s\n"};

constexpr std::size_t kChunk = 0x1000000;

bool writeSubfile(InputFile& input, SplitState& state, const Subfile& s, std::vector<std::uint8_t>& buffer) {
    std::string ext(s.name.c + 8, 3);
    ext = ext.substr(0, std::find_if(ext.begin(), ext.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; }) -
                            ext.begin());
    const std::string fileName = safeFileName(trimmedField(std::string_view(s.name.c, 8))) + "." + safeFileName(ext);
    if (state.settings.verbose) say(kWriteVerbose, FileText{fileName}, s.size);
    else say(kWrite, FileText{fileName});
    PendingOutput out = createSplitOutput(state, fileName);
    if (!out) return true;
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < s.size;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), s.size - done));
        if (!readSubfileBytes(input, s.firstFat, done, n, buffer.data())) {
            reportReadError(input.path);
            ok = false;
        } else {
            ok = writeChecked(out.file(), fileName, done, buffer.data(), n);
        }
        done += n;
    }
    if (!out.finish(ok)) return false;
    listCreatedFile(state, fileName);
    return true;
}

}  // namespace

bool splitSubfiles(InputFile& input, SplitState& state) {
    if (input.inputKind != noKind) return true;
    std::uint64_t largest = 1;
    for (const Subfile& s : input.subfiles) largest = std::max<std::uint64_t>(largest, s.size);
    const std::size_t cap = state.settings.copyChunk ? state.settings.copyChunk : kChunk;
    std::vector<std::uint8_t> buffer;
    if (!allocChecked(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(largest, cap)))) return false;
    if (!openContainer(input, OpenMode::read)) return false;
    for (const Subfile& s : input.subfiles) {
        if (s.type == typeNone) continue;
        if (!writeSubfile(input, state, s, buffer)) {
            closeContainer(input);
            return false;
        }
    }
    closeContainer(input);
    return true;
}
