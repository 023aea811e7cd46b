#include "common/file_ops.h"
#include "common/message.h"
#include "split/split.h"

namespace {

constexpr Msg kMissing{"Missing input files.\n", "Brak plikow wejsciowych.\n"};
constexpr Msg kCreating{"Creating file %s\n", "Utworzenie zbioru %s\n"};

const char* const kListName = "split.lst";

}  // namespace

void listCreatedFile(SplitState& state, const std::string& name) {
    if (!state.list) return;
    const std::string line = name + "\n";
    if (writeChecked(state.list.file(), state.list.path(), state.listPosition, line.data(), line.size())) {
        state.listPosition += line.size();
        return;
    }
    state.list.finish(false);
    state.failed = true;
}

PendingOutput createSplitOutput(SplitState& state, const std::string& name) {
    bool existed = false;
    std::string full;
    FileHandle f = createOutput(state.place, name, CreateMode::createNew, full, &existed);
    if (!f && !existed) state.failed = true;
    return f ? PendingOutput(std::move(f), std::move(full)) : PendingOutput();
}

int splitInputs(InputList& inputs, const SplitSettings& settings, std::vector<InputSplit>& results) {
    if (inputs.empty()) {
        say(kMissing);
        return -1;
    }
    SplitState state{settings, outputPlace(inputs, settings.outputDir), {}, 0, false, {}};
    state.results.resize(inputs.size());
    if (settings.writeSplitList) {
        std::string full;
        FileHandle list = createOutput(state.place, kListName, CreateMode::replace, full);
        if (!list) {
            // The split goes on without its list, but the run is not a success.
            ++warningCount;
            state.failed = true;
        } else {
            state.list = PendingOutput(std::move(list), std::move(full));
            if (settings.verbose) say(kCreating, kListName);
        }
    }
    bool ok = true;
    std::size_t index = 0;
    for (InputFile& input : inputs) {
        switch (settings.command) {
        case 'g': ok = splitSubfiles(input, state); break;
        case 'G': ok = splitFamilies(input, state); break;
        case 'k': ok = writeEmptyMaps(input, state); break;
        default: ok = splitMaps(input, state, state.results[index]); break;
        }
        if (!ok) break;
        ++index;
    }
    // The list names the outputs that were finished whole, also after a failure.
    if (state.list && !state.list.finish(true)) ok = false;
    results = std::move(state.results);
    return !ok ? -1 : state.failed ? 1 : 0;
}

bool splitFiles(InputList& inputs, const SplitSettings& settings) {
    std::vector<InputSplit> results;
    return splitInputs(inputs, settings, results) == 0;
}
