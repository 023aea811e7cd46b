#include "cli/options_parser.h"

#include <cstring>
#include <string>

#include "cli/language.h"
#include "cli/number_scan.h"
#include "cli/usage.h"
#include "common/file_ops.h"
#include "common/message.h"
#include "img/model/model.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace {

constexpr Msg kWrongOption{"Wrong option -%c for command -%c\n", "Zła opcja -%c dla komendy -%c\n"};
constexpr Msg kWrongCommand{"Wrong command -%c\n", "Nieznana komenda -%c\n"};
constexpr Msg kNoConsole{"This program should be run from Command-Line Window.\n",
                         "Ten program należy uruchamiać z okna \"Wiersz polecen\".\n"};
constexpr Msg kPressEnter{"Press <Enter>...", "Naciśnij <Enter>..."};
constexpr Msg kInputFile{"Input file: %s.\n", "Plik wejściowy: %s.\n"};

constexpr Msg kWrongBlockSize{"Wrong block size %s.\n", "Zły rozmiar bloku %s.\n"};
constexpr Msg kWrongPriority{"Wrong priority %s.\n", "Zły priorytet %s.\n"};
constexpr Msg kWrongMapId{"Wrong map ID number %s.\n", "Zły numer ID mapy %s.\n"};
constexpr Msg kWrongCodePage{"Wrong CodePage %s.\n", "Zła strona kodowa %s.\n"};
constexpr Msg kWrongFamily{"Wrong Family ID.", "Zły numer Family."};
constexpr Msg kWrongFamilyProduct{"Wrong Family ID or Product ID.", "Zły numer Family lub Product."};
constexpr Msg kWrongTypParameters{"Wrong parameters for TYP file.", "Złe parametry dla pliku TYP."};
constexpr Msg kWrongTypCodePage{"Wrong CodePage.", "Zły numer CodePage."};
constexpr Msg kWrongVersion{"Wrong version number.", "Zły numer wersji."};
constexpr Msg kBadFileName{"Wrong charactes in file name: %s\n", "Złe znaki w nazwie plików: %s\n"};

constexpr Msg kListMissing{"File list missing, opion -@.", "Brak listy plików dla opcji -@."};
constexpr Msg kSizeMissing{"Size missing, opion -b.", "Brak rozmiaru dla -b."};
constexpr Msg kCodePageMissing{"CodePage missing, opion -c.", "Brak strony kodowej dla -c."};
constexpr Msg kVersionMissing{"Version number missing, opion -c.", "Brak numeru wersji dla -c."};
constexpr Msg kIdMissing{"ID number missing, opion -e.", "Brak numeru ID dla opcji -e."};
constexpr Msg kFamilyMissing{"ID missing, opion -f.", "Brak numerow dla -f."};
constexpr Msg kMapsetMissing{"Name missing, opion -m.", "Brak nazwy dla -m."};
constexpr Msg kFileNameMissing{"Name missing, opion -n.", "Brak nazwy dla -n."};
constexpr Msg kOutputMissing{"Name missing, opion -o.", "Brak nazwy dla -o."};
constexpr Msg kPriorityMissing{"Priority missing, opion -p.", "Brak priorytetu dla -p."};
constexpr Msg kTypMissing{"ID missing, opion -y.", "Brak numerow dla -y."};

constexpr Msg kRepeatB{"Multiple option -b.", "Powielenie argumentu -b."};
constexpr Msg kRepeatC{"Multiple option -c.", "Powielenie argumentu -c."};
constexpr Msg kRepeatE{"Multiple option -e.", "Powielenie argumentu -e."};
constexpr Msg kRepeatF{"Multiple option -f.", "Powielenie argumentu -f."};
constexpr Msg kRepeatM{"Multiple option -m.", "Powielenie argumentu -m."};
constexpr Msg kRepeatN{"Multiple option -n.", "Powielenie argumentu -n."};
constexpr Msg kRepeatO{"Multiple option -o.", "Powielenie argumentu -o."};
constexpr Msg kRepeatP{"Multiple option -p.", "Powielenie argumentu -p."};
constexpr Msg kRepeatY{"Multiple option -y.", "Powielenie argumentu -y."};

constexpr Msg kListOpenError{"File list open error, file: %s.\n", "Błąd otwarcia listy plików, plik: %s.\n"};
constexpr Msg kNameOutOfMemory{"Out of memory.", "Brak pamięci."};
constexpr Msg kListReadError{"File list read error, file: %s.\n", "Błąd odczytu listy plików, plik: %s.\n"};

constexpr std::uint32_t kMaxId = 65535;

// Letters accepted in each context, besides ?, @, E and P, which are accepted everywhere.
const char* acceptedLetters(char command) {
    switch (command) {
    case 0: return "ivjSsGgkw";
    case 'j': return "ivhqzaxofmbc";
    case 'S': return "ivhlL3rqfmnoct";
    case 's': return "ivhtmo";
    case 'G': return "ivho";
    case 'g': return "ivto";
    case 'k': return "ivo";
    case 'w': return "ivhtnlL1pmefyc";
    default: return "";
    }
}

bool accepted(char command, char letter) {
    if (letter == '?' || letter == '@' || letter == 'E' || letter == 'P') return true;
    return letter != '\0' && std::strchr(acceptedLetters(command), letter) != nullptr;
}

bool isOneNumber(const NumberScan& s) { return s.items == 1; }

bool parseBlockSize(Options& options, const char* text) {
    NumberScan s = scanNumbers(text, 1);
    std::uint64_t v = s.number[0];
    if (!isOneNumber(s) || v == 0 || v > 1024 || (v & (v - 1)) != 0) {
        say(kWrongBlockSize, text);
        return false;
    }
    options.blockSizeKb = static_cast<std::uint32_t>(v);
    return true;
}

bool parsePriority(Options& options, const char* text) {
    NumberScan s = scanNumbers(text, 1);
    if (!isOneNumber(s) || s.number[0] > 255) {
        say(kWrongPriority, text);
        return false;
    }
    options.priority = static_cast<std::uint8_t>(s.number[0]);
    return true;
}

bool parseMapId(Options& options, const char* text) {
    std::uint8_t mode = 1;
    if (text[0] == '+') mode = 2;
    else if (text[0] == '-') mode = 255;
    const char* number = mode == 1 ? text : text + 1;
    NumberScan s = scanNumbers(number, 1);
    if (!isOneNumber(s) || s.number[0] < 1 || s.number[0] > kMaxMapId) {
        say(kWrongMapId, number);
        return false;
    }
    options.mapIdMode = mode;
    options.newMapId = static_cast<std::uint32_t>(s.number[0]);
    return true;
}

bool parseMapsetCodePage(Options& options, const char* text) {
    NumberScan s = scanNumbers(text, 1);
    if (!isOneNumber(s) || s.number[0] > kMaxId) {
        say(kWrongCodePage, text);
        return false;
    }
    options.mapsetCodePage = static_cast<std::uint32_t>(s.number[0]);
    return true;
}

bool parseFamily(Options& options, const char* text) {
    NumberScan s = scanNumbers(text, 2);
    if (s.items == 1) {
        if (s.number[0] > kMaxId) {
            sayLine(kWrongFamily);
            return false;
        }
        options.familyId = static_cast<std::uint32_t>(s.number[0]);
        options.productId = 1;
        options.familyMode = 1;
        return true;
    }
    if (s.items == 3 && s.separator[0] == ',' && s.number[0] <= kMaxId && s.number[1] <= kMaxId) {
        options.familyId = static_cast<std::uint32_t>(s.number[0]);
        options.productId = static_cast<std::uint32_t>(s.number[1]);
        options.familyMode = 3;
        return true;
    }
    sayLine(kWrongFamilyProduct);
    return false;
}

bool parseTyp(Options& options, const char* text) {
    NumberScan s = scanNumbers(text, 3);
    std::uint64_t fid = s.number[0], pid = s.number[1], cp = s.number[2];
    if (s.items == 1) {
        if (fid > kMaxId) {
            sayLine(kWrongFamily);
            return false;
        }
        options.typFamilyId = static_cast<std::uint32_t>(fid);
        options.typProductId = 1;
        options.typCodePage = 0;
        options.typMode = 1;
        return true;
    }
    if (s.items == 3) {
        if (s.separator[0] != ',') {
            sayLine(kWrongTypParameters);
            return false;
        }
        if (fid > kMaxId || pid > kMaxId) {
            sayLine(kWrongFamilyProduct);
            return false;
        }
        // A zero value leaves the TYP's own value alone.
        if (fid) options.typFamilyId = static_cast<std::uint32_t>(fid);
        if (pid) options.typProductId = static_cast<std::uint32_t>(pid);
        options.typCodePage = 0;
        // Only the values given are corrected ("0,0" still names the product).
        options.typMode = fid == 0 ? 2 : pid == 0 ? 1 : 3;
        return true;
    }
    if (s.items == 5) {
        if (s.separator[0] != ',' || s.separator[1] != ',') {
            sayLine(kWrongTypParameters);
            return false;
        }
        if (fid > kMaxId || pid > kMaxId) {
            sayLine(kWrongFamilyProduct);
            return false;
        }
        if (cp > kMaxId) {
            sayLine(kWrongTypCodePage);
            return false;
        }
        if (fid) options.typFamilyId = static_cast<std::uint32_t>(fid);
        if (pid) options.typProductId = static_cast<std::uint32_t>(pid);
        options.typCodePage = static_cast<std::uint32_t>(cp);
        options.typMode = static_cast<std::uint8_t>(4 + (fid ? 1 : 0) + (pid ? 2 : 0));
        return true;
    }
    sayLine(kWrongTypParameters);
    return false;
}

bool parseVersion(Options& options, const char* text) {
    // ".,1": the MapSource flag alone.
    std::string_view t(text);
    if (t.size() >= 2 && t[0] == '.' && t[1] == ',') {
        NumberScan flag = scanNumbers(t.substr(2), 1);
        if (isOneNumber(flag) && flag.number[0] <= 1) {
            options.versionMode = 4;
            options.versionMajor = 0;
            options.versionMinor = 0;
            options.mapsourceFlag = static_cast<std::uint8_t>(flag.number[0]);
            return true;
        }
    }
    NumberScan s = scanNumbers(t, 3);
    if (s.items == 3 && s.separator[0] == '.' && s.number[0] < 256 && s.number[1] < 256) {
        options.versionMode = 3;
        options.versionMajor = static_cast<std::uint8_t>(s.number[0]);
        options.versionMinor = static_cast<std::uint8_t>(s.number[1]);
        options.mapsourceFlag = 0;
        return true;
    }
    if (s.items == 5 && s.separator[0] == '.' && s.separator[1] == ',' && s.number[0] < 256 && s.number[1] < 256 &&
        s.number[2] <= 1) {
        options.versionMode = 7;
        options.versionMajor = static_cast<std::uint8_t>(s.number[0]);
        options.versionMinor = static_cast<std::uint8_t>(s.number[1]);
        options.mapsourceFlag = static_cast<std::uint8_t>(s.number[2]);
        return true;
    }
    sayLine(kWrongVersion);
    return false;
}

bool addInput(const Options& options, std::vector<std::string>& inputs, std::string path) {
    try {
        inputs.push_back(std::move(path));
    } catch (const std::bad_alloc&) {
        reportAllocError();
        return false;
    }
    if (options.verbose) say(kInputFile, inputs.back());
    return true;
}

// Cuts a list line at an inner NUL (where the name would end when the file
// is opened), then the blanks and control characters around it; empty when
// nothing is left.
std::string_view trimmedName(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    std::size_t end = line.size();
    while (end > 0 && static_cast<unsigned char>(line[end - 1]) <= 32) --end;
    std::size_t start = 0;
    while (start < end && static_cast<unsigned char>(line[start]) <= 32) ++start;
    return line.substr(start, end - start);
}

class Parser {
public:
    Parser(int argc, const char* const* argv, Options& options, std::vector<std::string>& inputs)
        : argc_(argc), argv_(argv), options(options), inputs_(inputs) {}

    int run() {
        int i = 1;
        while (i < argc_) {
            const char* arg = argv_[i];
            next_ = i + 1;
            if (arg[0] != '-') {
                if (!addInput(options, inputs_, arg)) return 2;
            } else {
                for (const char* p = arg + 1; *p; ++p) {
                    int r = letter(*p);
                    if (r != 0) return r;
                }
            }
            i = next_;
        }
        if (!options.mapsetFileName || options.mapsetFileName->empty()) options.mapsetFileName = "mapset";
        return 0;
    }

private:
    int argc_;
    const char* const* argv_;
    Options& options;
    std::vector<std::string>& inputs_;
    int next_ = 0;
    char command_ = 0;

    // The next argument as the value of a letter; null (usage and message
    // printed) when it is missing or the option was given before.
    const char* value(const Msg& missing, bool repeated, const Msg* repeat, bool commandUsage = false) {
        if (next_ >= argc_) {
            printCommandUsage(commandUsage ? command_ : 0);
            sayLine(missing);
            return nullptr;
        }
        if (repeated && repeat) {
            printCommandUsage(commandUsage ? command_ : 0);
            sayLine(*repeat);
            return nullptr;
        }
        return argv_[next_++];
    }

    int setCommand(char c) {
        command_ = c;
        switch (c) {
        case 'j': options.joinCommand = 1; break;
        case 'S': options.splitKind = 2; options.mapsourceSplit = 1; break;
        case 's': options.splitKind = 1; break;
        case 'G': options.splitKind = 3; options.splitByFid = 1; break;
        case 'g': options.splitKind = 4; options.splitSubfiles = 1; break;
        case 'k': options.splitKind = 5; options.emptyMaps = 1; break;
        case 'w': options.writeCommand = 1; break;
        }
        return 0;
    }

    void setLimits() {
        options.limitSouth = -4171002;
        options.limitNorth = 4171002;
        options.limitEast = 8318702;
        options.limitWest = -8318702;
    }

    int letter(char c) {
        if (!accepted(command_, c)) {
            if (command_) say(kWrongOption, c, command_);
            else say(kWrongCommand, c);
            printCommandUsage(command_);
            return 1;
        }
        const char* v = nullptr;
        const bool w = command_ == 'w', S = command_ == 'S';
        switch (c) {
        case 'j': case 'S': case 's': case 'G': case 'g': case 'k': case 'w':
            return setCommand(c);
        case 'i': options.info = 1; return 0;
        case 'v': options.verbose = 1; return 0;
        case 'E': setEnglish(); return 0;
        case 'P': setPolish(); return 0;
        case '?':
            if (command_) printCommandUsage(command_);
            else printFullHelp();
            return 1;
        case '@':
            if (!(v = value(kListMissing, false, nullptr))) return 1;
            return readFileList(v, options, inputs_) < 0 ? 1 : 0;
        case 'o':
            if (!(v = value(kOutputMissing, options.outputName.has_value(), &kRepeatO, true))) return 1;
            options.outputName = v;
            return 0;
        case 'm':
            if (!(v = value(kMapsetMissing, options.mapsetName.has_value(), &kRepeatM))) return 1;
            options.mapsetName = v;
            return 0;
        case 'n':
            if (w) {
                options.transparency = 255;
                return 0;
            }
            if (!(v = value(kFileNameMissing, options.mapsetFileName.has_value(), &kRepeatN))) return 1;
            if (hasBadFileNameCharacter(v)) {
                printCommandUsage(0);
                say(kBadFileName, v);
                return 1;
            }
            options.mapsetFileName = v;
            return 0;
        case 't':
            if (w) options.transparency = 1;
            else options.writeSplitList = 1;
            return 0;
        case 'h':
            if (w) options.refreshDate = 1;
            else options.shortHeader = 1;
            return 0;
        case 'l':
            if (w) options.labelCase = 2;
            else {
                options.limitPreview = 1;
                setLimits();
            }
            return 0;
        case 'L':
            if (w) options.labelCase = 1;
            else {
                options.limitMap = 1;
                options.limitPreview = 1;
                setLimits();
            }
            return 0;
        case '1': options.labelCase = 3; return 0;
        case '3': options.tdbVersion3 = 1; return 0;
        case 'q':
            if (S) options.addEmptyDem = 1;
            else options.dropDem = options.dropRouting = 1;
            return 0;
        case 'r': options.marineTdb = 1; return 0;
        case 'z': options.ntFormat = 1; return 0;
        case 'a': options.useOtherData = 1; return 0;
        case 'x': options.noMps = 1; return 0;
        case 'b':
            if (!(v = value(kSizeMissing, options.blockSizeKb != 0, &kRepeatB))) return 1;
            return parseBlockSize(options, v) ? 0 : 1;
        case 'c':
            if (S) {
                if (!(v = value(kCodePageMissing, options.mapsetCodePage != 0, &kRepeatC))) return 1;
                return parseMapsetCodePage(options, v) ? 0 : 1;
            }
            if (!(v = value(kVersionMissing, options.versionMode != 0, &kRepeatC))) return 1;
            return parseVersion(options, v) ? 0 : 1;
        case 'f':
            if (!(v = value(kFamilyMissing, options.familyId != 0 || options.productId != 0, &kRepeatF))) return 1;
            return parseFamily(options, v) ? 0 : 1;
        case 'p':
            if (!(v = value(kPriorityMissing, options.priority != 255, &kRepeatP))) return 1;
            return parsePriority(options, v) ? 0 : 1;
        case 'e':
            if (!(v = value(kIdMissing, options.mapIdMode != 0, &kRepeatE))) return 1;
            return parseMapId(options, v) ? 0 : 1;
        case 'y':
            if (!(v = value(kTypMissing, options.typFamilyId || options.typProductId || options.typCodePage, &kRepeatY)))
                return 1;
            return parseTyp(options, v) ? 0 : 1;
        }
        return 0;
    }
};

}  // namespace

bool hasBadFileNameCharacter(std::string_view text) {
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '/' || c == '\\' || c == '*' || c == '?' || c == '"' || (c >= 1 && c <= 31)) return true;
    }
    return false;
}

int readFileList(const char* path, const Options& options, std::vector<std::string>& inputs) {
    FileHandle list = fileSystem().open(path, OpenMode::read);
    if (!list) {
        say(kListOpenError, path);
        return -1;
    }
    // Read to its end in pieces: the list may come through a pipe.
    std::string text;
    std::vector<char> piece(65536);
    for (;;) {
        std::int64_t n = list->readNext(piece.data(), piece.size());
        if (n < 0) {
            say(kListReadError, path);
            return -1;
        }
        if (n == 0) break;
        try {
            text.append(piece.data(), static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            sayLine(kNameOutOfMemory);
            return -1;
        } catch (const std::length_error&) {
            sayLine(kNameOutOfMemory);
            return -1;
        }
    }
    list->close();
    int count = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view name = trimmedName(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (name.empty()) continue;
        if (!addInput(options, inputs, std::string(name))) return -1;
        ++count;
    }
    return count;
}

int parseCommandLine(int argc, const char* const* argv, Options& options, std::vector<std::string>& inputs) {
    if (argc < 2) {
        printCommandUsage(0);
        // A program started by a double click shows why it closes at once.
        if (platformPausesWithoutArguments()) {
            printRaw("\n", true);
            sayToStderr(kNoConsole);
            sayToStderr(kPressEnter);
            platformWaitForEnter();
            printRaw("\n", true);
        }
        return 1;
    }
    return Parser(argc, argv, options, inputs).run();
}
