#include "cli/driver.h"

#include <cstring>

#include "cli/language.h"
#include "cli/options_parser.h"
#include "cli/usage.h"
#include "common/codepage.h"
#include "common/date.h"
#include "common/message.h"
#include "common/options.h"
#include "img/input_reader.h"
#include "info/info.h"
#include "join/join_plan.h"
#include "split/split.h"
#include "platform/console.h"

const char* const clxVersion = CLX_VERSION;

namespace {

constexpr Msg kBanner{"clx v%s\n", "clx v%s\n"};
constexpr Msg kInputMissing{"Input files missing.", "Brak plikow wejsciowych."};
constexpr Msg kNothingToDo{"Nothing to do, use command -j, -s, -S, -g, -G, -w.",
                           "Nie ma nic do zrobienia, użyj komendy -j, -s, -S, -g, G, -w."};
constexpr Msg kOutputMissing{"Output file name missing.", "Brak nazwy pliku wyjsciowego."};
constexpr Msg kNoChanges{"No changes for option -w.", "Brak zmian dla opcji -w."};
constexpr Msg kWarnings{"There were warnings, result can be faulty.", "Wystąpiły ostrzeżenia, wynik może być niepoprawny."};
constexpr Msg kNotAvailable{"Command -%c is not available in this version.\n",
                            "Komenda -%c nie jest dostępna w tej wersji.\n"};

enum Exit { exitOk = 0, exitCommandLine = 1, exitInput = 2, exitCannotStart = 3, exitFailed = 4 };

bool hasWriteChange() {
    const Options& o = options;
    return o.refreshDate || o.priority != 255 || o.transparency || o.mapIdMode || o.mapsetName || o.typMode ||
           o.labelCase || o.versionMode;
}


// The commands that later versions provide; for now they say so and fail.
void writeChanges(InputFile&) { say(kNotAvailable, 'w'); }

}  // namespace

int runClx(int argc, const char* const* argv) {
    platformInitConsole();
    sayLine(kBanner, clxVersion);
    takeCurrentDate();
    initLanguage();
    selectCodePage(useEnglish ? 1252 : 1250);
    resetOptions();

    // Conventional answers for command-line users.
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) return exitOk;
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        printFullHelp();
        return exitOk;
    }

    InputList inputs;
    if (int r = parseCommandLine(argc, argv, inputs); r != 0) return r;

    if (inputs.empty()) {
        printCommandUsage(0);
        sayLine(kInputMissing);
        return exitCannotStart;
    }

    for (InputFile& input : inputs)
        if (!readInput(input)) return exitInput;

    if (options.info)
        for (InputFile& input : inputs) printInfo(input);

    const bool anyCommand = options.joinCommand || options.splitKind || options.writeCommand;
    if (!anyCommand && !options.info) {
        sayLine(kNothingToDo);
        return exitOk;
    }

    if (options.joinCommand) {
        if (!options.outputName || options.outputName->empty()) {
            sayLine(kOutputMissing);
            return exitCannotStart;
        }
        if (!joinFiles(inputs)) return exitFailed;
    } else if (options.writeCommand) {
        if (!hasWriteChange()) {
            sayLine(kNoChanges);
            return exitCannotStart;
        }
        for (InputFile& input : inputs) writeChanges(input);
    } else if (options.splitKind) {
        if (options.outputName && !options.outputName->empty()) {
            options.outputDir = *options.outputName;
            options.outputDirLength = static_cast<std::uint32_t>(options.outputDir.size());
            options.outputName.reset();
        }
        if (!splitFiles(inputs)) return exitFailed;
    }

    if (warningCount) {
        printRaw("\n");
        sayLine(kWarnings);
    }
    return exitOk;
}
