#include "cli/driver.h"

#include <cstring>
#include <new>

#include "cli/language.h"
#include "cli/options.h"
#include "cli/options_parser.h"
#include "cli/usage.h"
#include "common/codepage.h"
#include "common/date.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "common/version.h"
#include "edit/edit.h"
#include "img/model/input_reader.h"
#include "info/info.h"
#include "join/join.h"
#include "mapset/mapset.h"
#include "platform/console.h"
#include "split/split.h"

namespace {

constexpr Msg kBanner{"clx v%s\n", "clx v%s\n"};
constexpr Msg kInputMissing{"Input files missing.", "Brak plikow wejsciowych."};
constexpr Msg kNothingToDo{"Nothing to do, use command -j, -s, -S, -g, -G, -w.",
                           "Nie ma nic do zrobienia, użyj komendy -j, -s, -S, -g, G, -w."};
constexpr Msg kOutputMissing{"Output file name missing.", "Brak nazwy pliku wyjsciowego."};
constexpr Msg kNoChanges{"No changes for option -w.", "Brak zmian dla opcji -w."};
constexpr Msg kWarnings{"There were warnings, result can be faulty.", "Wystąpiły ostrzeżenia, wynik może być niepoprawny."};

enum Exit { exitOk = 0, exitCommandLine = 1, exitInput = 2, exitCannotStart = 3, exitFailed = 4 };

bool hasWriteChange(const Options& o) {
    return o.refreshDate || o.priority != 255 || o.transparency || o.mapIdMode || o.mapsetName || o.typMode ||
           o.labelCase || o.versionMode;
}

JoinSettings joinSettings(const Options& o) {
    JoinSettings s;
    s.outputName = o.outputName ? *o.outputName : std::string();
    s.mapsetName = o.mapsetName;
    s.verbose = o.verbose != 0;
    s.shortHeader = o.shortHeader != 0;
    s.ntFormat = o.ntFormat != 0;
    s.dropDemRouting = o.dropDem != 0;
    s.noCatalogue = o.noMps != 0;
    s.blockSizeKb = o.blockSizeKb;
    s.familyId = o.familyId;
    s.productId = o.productId;
    s.versionFlags = o.versionMode;
    s.versionMajor = o.versionMajor;
    s.versionMinor = o.versionMinor;
    s.mapsourceFlag = o.mapsourceFlag;
    return s;
}

SplitSettings splitSettings(const Options& o) {
    SplitSettings s;
    s.command = "\0sSGgk"[o.splitKind < 6 ? o.splitKind : 0];
    if (o.outputName) s.outputDir = *o.outputName;
    s.writeSplitList = o.writeSplitList != 0;
    s.shortHeader = o.shortHeader != 0;
    s.verbose = o.verbose != 0;
    return s;
}

MpLimits limits(const Options& o) { return {o.limitSouth, o.limitNorth, o.limitWest, o.limitEast}; }

MapsetSettings mapsetSettings(const Options& o) {
    MapsetSettings s;
    s.split = splitSettings(o);
    s.split.mapsetMode = true;
    s.split.addEmptyDem = o.addEmptyDem != 0;
    if (o.limitMap) s.split.area = limits(o);
    if (o.mapsetFileName && !o.mapsetFileName->empty()) s.baseName = *o.mapsetFileName;
    s.mapsetName = o.mapsetName;
    s.familyId = o.familyId;
    s.productId = o.productId;
    s.codePage = o.mapsetCodePage;
    s.marine = o.marineTdb != 0;
    s.version3 = o.tdbVersion3 != 0;
    s.limitPreview = o.limitPreview != 0;
    s.limits = limits(o);
    return s;
}

EditSettings editSettings(const Options& o) {
    EditSettings s;
    s.verbose = o.verbose != 0;
    // A family alone leaves the product unchecked.
    if (o.familyMode) s.familyId = o.familyId;
    if (o.familyMode == 3) s.productId = o.productId;
    s.refreshDate = o.refreshDate != 0;
    s.versionMode = o.versionMode;
    s.versionMajor = o.versionMajor;
    s.versionMinor = o.versionMinor;
    s.mapsourceFlag = o.mapsourceFlag;
    s.mapsetName = o.mapsetName;
    s.priority = o.priority;
    s.transparency = o.transparency;
    s.mapIdMode = o.mapIdMode;
    s.newMapId = o.newMapId;
    s.labelCase = o.labelCase;
    s.typMode = o.typMode;
    s.typFamilyId = o.typFamilyId;
    s.typProductId = o.typProductId;
    s.typCodePage = o.typCodePage;
    return s;
}

// Where a run stands, for the exit code of a failure that unwinds it.
enum class Stage { starting, reading, command };

int run(int argc, const char* const* argv, Stage& stage) {
    Options options;
    std::vector<std::string> names;
    if (int r = parseCommandLine(argc, argv, options, names); r != 0) return r;

    if (names.empty()) {
        printCommandUsage(0);
        sayLine(kInputMissing);
        return exitCannotStart;
    }

    stage = Stage::reading;
    InputList inputs;
    const ReadSettings read{options.verbose != 0, options.useOtherData != 0};
    for (std::string& name : names) {
        InputFile& input = inputs.emplace_back();
        input.path = std::move(name);
        if (!readInput(input, read)) return exitInput;
    }

    stage = Stage::command;
    if (options.info)
        for (const InputFile& input : inputs) printInfo(input, options.verbose != 0);

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
        if (!joinFiles(inputs, joinSettings(options))) return exitFailed;
    } else if (options.writeCommand) {
        if (!hasWriteChange(options)) {
            sayLine(kNoChanges);
            return exitCannotStart;
        }
        if (!writeChanges(inputs, editSettings(options))) return exitFailed;
    } else if (options.splitKind == 2) {
        if (!makeMapset(inputs, mapsetSettings(options))) return exitFailed;
    } else if (options.splitKind) {
        if (!splitFiles(inputs, splitSettings(options))) return exitFailed;
    }

    if (warningCount) {
        printRaw("\n");
        sayLine(kWarnings);
    }
    return exitOk;
}

}  // namespace

int runClx(int argc, const char* const* argv) {
    platformInitConsole();
    warningCount = 0;
    sayLine(kBanner, clxVersion);
    takeCurrentDate();
    initLanguage();
    selectCodePage(useEnglish ? 1252 : 1250);

    // Conventional answers for command-line users.
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) return exitOk;
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        printFullHelp();
        return exitOk;
    }

    // Memory that cannot be had ends the run like any other failure: the
    // message, the exit code of the stage, and (as the stack unwinds) no
    // unfinished split output left behind.
    Stage stage = Stage::starting;
    try {
        return run(argc, argv, stage);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    try {
        reportAllocError();
    } catch (const std::bad_alloc&) {
    }
    return stage == Stage::command ? exitFailed : exitInput;
}
