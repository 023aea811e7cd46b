#include "cli/usage.h"

#include <span>

#include "common/message.h"

namespace {

// Option descriptions that several commands share.
constexpr Msg kDescInfo{"\t-i - information", "\t-i - informacja o plikach img"};
constexpr Msg kDescVerbose{"\t-v - verbose", "\t-v - wyświetlenie dodatkowych informacji"};
constexpr Msg kDescShortHeader{"\t-h - short header img", "\t-h - krótki nagłówek img"};
constexpr Msg kDescFamily{"\t-f - Family ID and Product ID", "\t-f - podanie numerów Family i Product"};
constexpr Msg kDescMapset{"\t-m - mapset name", "\t-m - podanie nazwy mapy"};
constexpr Msg kDescOutputPath{"\t-o - output path", "\t-o - podanie nazwy scieżki docelowej"};
constexpr Msg kDescSplitList{"\t-t - create split.lst", "\t-t - utworzenie pliku split.lst"};

constexpr Msg kJoinTitle{"Join maps (-j):", "Połączenie plikow (-j):"};
constexpr Msg kJoinUsage[] = {
    {"  clx -j [-v][-i][-h][-q][-z][-a][-x] [-o output_file] ",
     "  clx -j [-v][-i][-h][-q][-z][-a][-x] [-o plik_wyjściowy] "},
    {"         [-f FID[,PID]] [-m map] [-b block] [-c no.no[,ms]] file.img...",
     "         [-f FID[,PID]] [-m mapa] [-b blok] [-c nr.nr[,ms]] plik.img..."},
};
constexpr Msg kJoinDesc[] = {
    kDescInfo,
    kDescVerbose,
    kDescShortHeader,
    {"\t-q - map without autorouting and DEM data", "\t-q - mapa bez autoroutingu i danych DEM"},
    {"\t-z - convert int NT-like format", "\t-z - konwertuj na format podobny do NT"},
    {"\t-a - use other data", "\t-a - użycie innych danych"},
    {"\t-x - do not create MPS subfile", "\t-x - nie tworzyć podzbioru MPS"},
    {"\t-o - output file name", "\t-o - podanie nazwy pliku wyjściowego"},
    kDescFamily,
    kDescMapset,
    {"\t-b - block size kB", "\t-b - rozmiar bloku w kB"},
    {"\t-c - map version and Mapsource flag in header", "\t-c - podanie wersji mapy i flagi Mapsource do nagłówka"},
};

constexpr Msg kMapsourceTitle{"Split maps for Mapsource (-S):", "Podział plików dla Mapsource (-S):"};
constexpr Msg kMapsourceUsage[] = {
    {"  clx -S [-v][-i][-h][-l][-3][-r][-q] [-f FID[,PID]] [-m map]",
     "  clx -S [-v][-i][-h][-l][-3][-r][-q] [-f FID[,PID]] [-m mapa]"},
    {"         [-o path] [-c CodePage] [-t] [-n name] file.img...",
     "         [-o scieżka] [-c str.kodowa] [-t] [-n nazwa] plik.img..."},
};
constexpr Msg kMapsourceDesc[] = {
    kDescInfo,
    kDescVerbose,
    kDescShortHeader,
    {"\t-l - limit longitude in preview map to 178.5", "\t-l - limit długości na mapie poglądowej 178.5"},
    {"\t-L - limit map longitude to 178.5", "\t-L - limit długości na mapie 178.5"},
    {"\t-3 - create TDB version 3, if possible", "\t-3 - utworzenie TDB w wersji 3, jeżeli możliwe"},
    {"\t-r - create TDB for marine map", "\t-r - utworzenie TDB dla mapy morskiej"},
    {"\t-q - add empty DEM", "\t-q - dodanie pustego DEM"},
    kDescFamily,
    kDescMapset,
    {"\t-n - mapset files name", "\t-n - podanie nazwy dla zbiorów mapsetu"},
    kDescOutputPath,
    {"\t-c - CodePage for mapset", "\t-c - strona kodowa mapsetu"},
    kDescSplitList,
};

constexpr Msg kSplitTitle{"Split maps (-s):", "Podział plików (-s)"};
constexpr Msg kSplitUsage[] = {
    {"  clx -s [-v] [-i] [-h] [-t] [-m map] [-o path] file.img...",
     "  clx -s [-v] [-i] [-h] [-t] [-m mapa] [-o scieżka] plik.img..."},
};
constexpr Msg kSplitDesc[] = {kDescInfo, kDescVerbose, kDescShortHeader, kDescMapset, kDescOutputPath, kDescSplitList};

// The usage lines of -G, -g and -k have no Polish wording.
constexpr Msg kFamilyTitle{"Split mapsets by FID(-G):", "Podział na mapsety wg FID (-G):"};
constexpr Msg kFamilyUsage[] = {
    {"  clx -G [-v] [-i] [-h] [-o path] file.img...", "  clx -G [-v] [-i] [-h] [-o path] file.img..."},
};
constexpr Msg kFamilyDesc[] = {kDescInfo, kDescVerbose, kDescShortHeader, kDescOutputPath};

constexpr Msg kSubfilesTitle{"Split into subfiles (-g):", "Podział na podzbiory (-g):"};
constexpr Msg kSubfilesUsage[] = {
    {"  clx -g [-v] [-i] [-t] [-o path] file.img...", "  clx -g [-v] [-i] [-t] [-o path] file.img..."},
};
constexpr Msg kSubfilesDesc[] = {kDescInfo, kDescVerbose, kDescOutputPath, kDescSplitList};

constexpr Msg kEmptyTitle{"Split into empty maps (-k):", "Podział na puste mapy (-k):"};
constexpr Msg kEmptyUsage[] = {
    {"  clx -k [-v] [-i] [-o path] file.img...", "  clx -k [-v] [-i] [-o path] file.img..."},
};
constexpr Msg kEmptyDesc[] = {kDescInfo, kDescVerbose, kDescOutputPath};

constexpr Msg kWriteTitle{"Write changes into oryginal files (-w):", "Zapisanie zmian w oryginalnych plikach img (-w):"};
constexpr Msg kWriteUsage[] = {
    {"  clx -w [-v][-i][-h] [-t|-n] [-l|-L|-1] [-p priority]", "  clx -w [-v][-i][-h] [-t|-n] [-p priorytet]"},
    {"         [-m map] [-e [+|-]map_id] [-f FID[,PID]]", "         [-m mapa] [-e [+|-]id_mapy] [-f FID[,PID]]"},
    {"         [-y FID[,PID[,CP]]] [-c no.no[,ms]] file.img...", "         [-y FID[,PID[,CP]]] [-c nr.nr[,ms]] plik.img..."},
};
constexpr Msg kWriteDesc[] = {
    kDescInfo,
    kDescVerbose,
    {"\t-h - refresh header date", "\t-h - aktualizuj datę nagłówka"},
    {"\t-t - transparent map", "\t-t - mapa przezroczysta"},
    {"\t-n - non-transparent map", "\t-n - mapa nieprzezroczysta"},
    {"\t-l - lower case labels", "\t-l - małe litery w etykietach"},
    {"\t-L - upper case labels", "\t-L - duże litery w etykietach"},
    {"\t-1 - first character upper case in labels", "\t-1 - pierwsza litera duża w etykietach"},
    {"\t-p - map priority", "\t-p - podanie priorytetu mapy"},
    kDescMapset,
    {"\t-e - new map ID number", "\t-e - nowy numer ID mapy"},
    kDescFamily,
    {"\t-y - correct TYP Family ID, Product ID and CodePage", "\t-y - korekta numeru Family, Product i CodePage w pliku TYP"},
    {"\t-c - map version and mapsource flag in header", "\t-c - podanie wersji mapy i flagi Mapsource do nagłówka"},
};

constexpr Msg kUsageHeading{"usage:", "wywołanie:"};
constexpr Msg kSummaryHint{"Use command with -? to get dscription of command options.",
                           "Użyj komendy z -? aby otrzymać opis opcji komendy."};
constexpr Msg kSummaryExample{"Example: clx -j?", "Przykładowo: clx -j?"};
constexpr Msg kListHint{"You can provide input file list using option -@ list.txt.",
                        "Możesz podać listę plików wejściowych stosując opcję -@ lista.txt."};
// Each language points to the other one.
constexpr Msg kLanguageHint{"Uzyj opcji -P aby otrzymac polskie teksty.", "Use option -E to get English messages."};

struct CommandBlock {
    char letter;
    const Msg& title;
    std::span<const Msg> usage;
    std::span<const Msg> desc;
};

// In the order of the summary and the full help.
const CommandBlock kBlocks[] = {
    {'j', kJoinTitle, kJoinUsage, kJoinDesc},
    {'S', kMapsourceTitle, kMapsourceUsage, kMapsourceDesc},
    {'s', kSplitTitle, kSplitUsage, kSplitDesc},
    {'G', kFamilyTitle, kFamilyUsage, kFamilyDesc},
    {'g', kSubfilesTitle, kSubfilesUsage, kSubfilesDesc},
    {'k', kEmptyTitle, kEmptyUsage, kEmptyDesc},
    {'w', kWriteTitle, kWriteUsage, kWriteDesc},
};

void emptyLine() { printRaw("\n"); }

void printLines(std::span<const Msg> lines) {
    for (const Msg& m : lines) sayLine(m);
}

void printTitleAndUsage(const CommandBlock& b) {
    sayLine(b.title);
    printLines(b.usage);
}

void printTrailer() {
    emptyLine();
    sayLine(kListHint);
    emptyLine();
    sayLine(kLanguageHint);
    emptyLine();
}

const CommandBlock* findBlock(char letter) {
    for (const CommandBlock& b : kBlocks)
        if (b.letter == letter) return &b;
    return nullptr;
}

void printSummary() {
    sayLine(kUsageHeading);
    emptyLine();
    for (const CommandBlock& b : kBlocks) {
        if (b.letter == 'w') {
            emptyLine();
            printTitleAndUsage(b);
            break;
        }
        printTitleAndUsage(b);
        if (b.letter != 'k') emptyLine();
    }
    emptyLine();
    sayLine(kSummaryHint);
    sayLine(kSummaryExample);
    printTrailer();
}

}  // namespace

void printCommandUsage(char command) {
    const CommandBlock* b = command ? findBlock(command) : nullptr;
    if (!b) {
        printSummary();
        return;
    }
    emptyLine();
    printTitleAndUsage(*b);
    emptyLine();
    printLines(b->desc);
    printTrailer();
}

void printFullHelp() {
    sayLine(kUsageHeading);
    emptyLine();
    for (const CommandBlock& b : kBlocks) {
        if (b.letter == 'k') {
            printTitleAndUsage(b);
            emptyLine();
            printLines(b.desc);
        } else if (b.letter == 'w') {
            emptyLine();
            printTitleAndUsage(b);
            emptyLine();
            printLines(b.desc);
        } else {
            printTitleAndUsage(b);
            emptyLine();
            printLines(b.desc);
            emptyLine();
        }
    }
    printTrailer();
}
