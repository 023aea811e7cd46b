#include <cstdio>

#include "common/file_ops.h"
#include "common/message.h"
#include "common/options.h"
#include "split/split.h"

namespace {

constexpr Msg kMissing{"Missing input files.\n", "Brak plikow wejsciowych.\n"};
constexpr Msg kCreating{"Creating file %s\n", "Utworzenie zbioru %s\n"};
constexpr Msg kNotAvailable{"Command -%c is not available in this version.\n",
                            "Komenda -%c nie jest dostępna w tej wersji.\n"};

}  // namespace

void listCreatedFile(SplitState& state, const std::string& name) {
    if (!state.listStream) return;
    if (std::fprintf(state.listStream.get(), "%s\n", name.c_str()) < 0) state.failed = true;
}

File createSplitOutput(SplitState& state, const std::string& name, std::string& fullName) {
    bool existed = false;
    File f = createOutputInDir(name, false, &fullName, &existed);
    if (!f && !existed) state.failed = true;
    return f;
}

bool finishSplitOutput(File& file, const std::string& fullName, bool copied) {
    bool closed = file.close();
    if (copied && !closed) reportWriteError(fullName);
    if (copied && closed) return true;
    std::remove(fullName.c_str());
    return false;
}

bool splitFiles(InputList& inputs) {
    if (inputs.empty()) {
        say(kMissing);
        return false;
    }
    const char command = "\0sSGgk"[options.splitKind < 6 ? options.splitKind : 0];
    if (command == 'S' || command == 'k') {
        say(kNotAvailable, command);
        return false;
    }
    SplitState state;
    if (options.writeSplitList) {
        std::string full;
        state.listStream = createOutputInDir("split.lst", true, &full);
        if (!state.listStream) ++warningCount;
        else if (options.verbose) say(kCreating, "split.lst");
    }
    for (InputFile& input : inputs) {
        bool ok = command == 'g' ? splitSubfiles(input, state)
                  : command == 'G' ? splitFamilies(input, state)
                                   : splitMaps(input, state);
        if (!ok) return false;
        ++state.inputIndex;
    }
    if (state.listStream && !state.listStream.close()) {
        reportWriteError(outputPathFor("split.lst"));
        return false;
    }
    return !state.failed;
}
