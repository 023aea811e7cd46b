// Keeps src/ layered: every #include in the tree is checked against the table below, so a
// wrong include fails here, naming the rule it breaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Path relative to src (e.g. "img/model/input_reader.cpp") -> the file's text.
using SourceTree = std::map<std::string, std::string>;

// Folder(s) -> the folders they may include besides themselves; lower layers first.
const std::pair<std::string, std::string> kLayers[] = {
    {"platform", ""},
    {"common", "platform"},
    {"img/container", "common, platform"},
    {"img/format", "img/container, common, platform"},
    {"img/model", "img/format, img/container, common, platform"},
    {"info, join, split, edit", "img/model, img/format, img/container, common, platform"},
    {"mapset", "split, img/model, img/format, img/container, common, platform"},
    {"cli", "info, join, split, mapset, edit, img/model, img/format, img/container, common, platform"},
    {"", "cli"},  // the src root, i.e. main.cpp
};
const std::set<std::string> kCommands = {"info", "join", "split", "edit", "mapset"};

const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]*)[>"])");
const std::regex kStdioInclude(R"(#\s*include\s*<(cstdio|stdio\.h)>)");
const std::regex kFileSystemHeader(R"(fstream|filesystem|unistd\.h|fcntl\.h|windows\.h|io\.h|sys/.*)",
                                   std::regex::icase);
const std::regex kStdioFileWord(
    R"(\b(FILE|fopen|freopen|fclose|fread|fwrite|fprintf|printf|vprintf|puts|fputs|putchar|fputc|putc|getc|fgetc)"
    R"(|getchar|fgets|fflush|fseek|ftell|fseeko|ftello|rewind|remove|rename|tmpfile|setvbuf|stdout|stderr|stdin)"
    R"(|ferror|feof)\b)");
const std::regex kOptions(R"(\bOptions\b)");

std::vector<std::string> splitList(const std::string& list) {
    static const std::regex comma(",\\s*");
    return {std::sregex_token_iterator(list.begin(), list.end(), comma, -1), {}};
}

std::string folderOf(const std::string& path) { return std::filesystem::path(path).parent_path().generic_string(); }
std::string moduleOf(const std::string& path) { return path.substr(0, path.rfind('.')); }
std::string shown(const std::string& folder) { return folder.empty() ? "the src root" : folder; }
bool under(const std::string& folder, const std::string& top) { return (folder + "/").rfind(top + "/", 0) == 0; }

// Blanks comments (and string and character literals if asked), keeping newlines so line numbers still match.
// src/ has no raw strings or digit separators, so a quote always opens a literal.
std::string strip(const std::string& s, bool literalsToo) {
    std::string out = s;
    for (std::size_t i = 0, end; i < s.size(); i = end) {
        bool blank = true;
        if (s.compare(i, 2, "//") == 0) {
            end = std::min(s.find('\n', i), s.size());
        } else if (s.compare(i, 2, "/*") == 0) {
            end = std::min(s.find("*/", i + 2), s.size() - 2) + 2;
        } else if (s[i] == '"' || s[i] == '\'') {
            for (end = i + 1; end < s.size() && s[end] != s[i] && s[end] != '\n';) end += s[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, s.size());
            blank = literalsToo;
        } else {
            end = i + 1;
            blank = false;
        }
        for (std::size_t k = i; blank && k < end; ++k) out[k] = out[k] == '\n' ? '\n' : ' ';
    }
    return out;
}

using Graph = std::map<std::string, std::set<std::string>>;

// The cycles a depth-first walk meets.
std::set<std::string> cyclesIn(const Graph& graph) {
    std::set<std::string> visited, found;
    std::vector<std::string> walk;
    std::function<void(const std::string&)> visit = [&](const std::string& node) {
        if (auto back = std::find(walk.begin(), walk.end(), node); back != walk.end()) {
            std::string text;
            for (; back != walk.end(); ++back) text += shown(*back) + " -> ";
            found.insert(text + shown(node));
        } else if (visited.insert(node).second && graph.count(node)) {
            walk.push_back(node);
            for (const auto& next : graph.at(node)) visit(next);
            walk.pop_back();
        }
    };
    for (const auto& [node, edges] : graph) visit(node);
    return found;
}

std::vector<std::string> layerProblems(const SourceTree& files) {
    std::map<std::string, std::string> mayInclude;  // folder -> "itself, others", as messages show it
    for (const auto& [folders, others] : kLayers)
        for (const auto& folder : folders.empty() ? std::vector<std::string>{""} : splitList(folders))
            mayInclude[folder] = folder.empty() || others.empty() ? folder + others : folder + ", " + others;

    std::vector<std::string> problems;
    Graph modules, folders;
    for (const auto& [path, text] : files) {
        const std::string folder = folderOf(path), noComments = strip(text, false);
        const bool known = mayInclude.count(folder) > 0,
                   stdioForFiles = !under(folder, "platform") && std::regex_search(noComments, kStdioInclude);
        if (!known) problems.push_back(path + ": folder \"" + folder + "\" is not in the layer table");
        std::istringstream withLiterals(noComments), code(strip(text, true));
        std::string line, codeLine;
        for (int n = 1; std::getline(withLiterals, line) && std::getline(code, codeLine); ++n) {
            const std::string at = path + ":" + std::to_string(n) + ": ";
            std::smatch m;
            if (stdioForFiles && std::regex_search(codeLine, m, kStdioFileWord))
                problems.push_back(at + "uses " + m.str() +
                                   " with <cstdio>: outside platform, <cstdio> may only format into memory");
            if (!under(folder, "cli") && std::regex_search(codeLine, kOptions))
                problems.push_back(at + "uses Options: only cli reads the parsed command line");
            if (!std::regex_search(line, m, kInclude)) continue;
            const std::string target = m[2], to = folderOf(target);
            if (m[1] == "<") {
                if (!under(folder, "platform") && std::regex_match(target, kFileSystemHeader))
                    problems.push_back(at + "includes <" + target + ">: only platform may touch the file system");
                continue;
            }
            if (!files.count(target)) {
                problems.push_back(at + "includes a file that does not exist: \"" + target + "\"");
                continue;
            }
            if (moduleOf(target) != moduleOf(path)) modules[moduleOf(path)].insert(moduleOf(target));
            if (to != folder) folders[folder].insert(to);
            const auto allowed = splitList(mayInclude[folder]);
            if (!known || to == folder || std::count(allowed.begin(), allowed.end(), to)) continue;
            const char* why =
                !mayInclude.count(to) ? "its folder is not in the layer table"
                : folder.empty()      ? "main.cpp only hands over to the command line"
                : kCommands.count(folder) && kCommands.count(to)
                    ? "a command never includes another command's files; move what two commands share down a layer"
                    : "lower layers never include higher ones";
            problems.push_back(at + "includes \"" + target + "\": " + shown(folder) + " may include only " +
                               mayInclude[folder] + " (" + why + ")");
        }
    }
    for (const auto& cycle : cyclesIn(modules)) problems.push_back("module cycle: " + cycle);
    for (const auto& cycle : cyclesIn(folders)) problems.push_back("folder cycle: " + cycle);
    return problems;
}

SourceTree loadSourceTree(const std::filesystem::path& root) {
    SourceTree files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().lexically_relative(root).generic_string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
}

std::string joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const auto& p : problems) text += "  " + p + "\n";
    return text;
}

TEST(Layers, SourceTreeFollowsTheRules) {
    const auto files = loadSourceTree(CLX_SOURCE_DIR);
    ASSERT_GT(files.size(), 10u) << "no sources found under " << CLX_SOURCE_DIR;
    const auto problems = layerProblems(files);
    EXPECT_TRUE(problems.empty()) << problems.size() << " layer problem(s):\n" << joined(problems);
}

TEST(Layers, EachRuleFires) {
    const SourceTree clean = {
        {"main.cpp", "# include \"cli/driver.h\"\n"},
        {"cli/driver.h", "struct Options {};\n"},
        {"cli/driver.cpp", "#include \"cli/driver.h\"\n#include \"mapset/mapset.h\"\n"},
        {"mapset/mapset.h", "#include \"split/split.h\"\n"},
        {"split/split.h", "#include \"img/model/model.h\"\n// Options are read in cli\n"},
        {"img/model/model.h", "#include \"img/format/format.h\"\n#include \"common/text.h\"\n"},
        {"img/format/format.h", "#include \"img/container/container.h\"\n"},
        {"img/container/container.h", "#include \"common/text.h\"\n"},
        {"common/text.h", "#include <string>\n#include \"platform/file.h\"\n"},
        // Formatting into memory is fine; the file words below sit in comments and literals only.
        {"common/text.cpp",
         "#include \"common/text.h\"\n#include <cstdio>\n// never printf here\n"
         "char c = 'x'; const char* p = \"'puts'\";\nchar q = '\"'; const char* a = \"\\\"fopen\";\n"
         "/* stdout */ void f(char* s) { std::snprintf(s, 4, \"%d\", 1); }\n"},
        {"platform/file.h", "/*\n#include \"common/text.h\"\n*/\n"},
        {"platform/file.cpp",
         "#include \"platform/file.h\"\n#include <fstream>\n#include <sys/stat.h>\n"
         "#include <cstdio>\nFILE* open() { return std::fopen(\"x\", \"rb\"); }\n"},
    };
    EXPECT_EQ(joined(layerProblems(clean)), "");

    // Files replacing or adding to `clean`, and a problem they must cause.
    const std::pair<SourceTree, std::string> cases[] = {
        {{{"join/join.h", ""}, {"split/split.h", "\n#include \"join/join.h\"\n"}},
         "split/split.h:2: includes \"join/join.h\": split may include only split, img/model, img/format, "
         "img/container, common, platform (a command never includes another command's files; move what two "
         "commands share down a layer)"},
        {{{"common/text.h", "#include \"img/model/model.h\"\n"}}, "may include only common, platform (lower layers"},
        {{{"main.cpp", "#include \"common/text.h\"\n"}}, "the src root may include only cli (main.cpp"},
        {{{"common/a.h", "#include \"common/b.h\"\n"},
          {"common/b.h", ""},
          {"common/b.cpp", "#include \"common/a.h\"\n"}},
         "module cycle: common/a -> common/b -> common/a"},
        {{{"img/container/container.h", "#include \"img/format/format.h\"\n"}},
         "folder cycle: img/format -> img/container -> img/format"},
        {{{"common/x.cpp", "#  include <fstream>\n"}}, "common/x.cpp:1: includes <fstream>: only platform"},
        {{{"common/x.cpp", "#include <sys/mman.h>\n"}}, "common/x.cpp:1: includes <sys/mman.h>: only platform"},
        {{{"common/x.cpp", "#include <stdio.h>\nvoid f() { fputs(\"x\", stderr); }\n"}}, "common/x.cpp:2: uses fputs"},
        {{{"common/x.cpp", "#include <cstdio>\nvoid f() { std::printf(\"x\"); }\n"}}, "common/x.cpp:2: uses printf"},
        {{{"tools/gen.cpp", ""}}, "tools/gen.cpp: folder \"tools\" is not in the layer table"},
        {{{"split/s.cpp", "#include \"split/no.h\"\n"}}, "includes a file that does not exist: \"split/no.h\""},
        {{{"split/s.cpp", "void run(const Options& o);\n"}}, "split/s.cpp:1: uses Options: only cli"},
    };
    for (const auto& [changes, expected] : cases) {
        auto files = clean;
        for (const auto& [path, text] : changes) files[path] = text;
        const auto problems = layerProblems(files);
        EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                                [&](const auto& p) { return p.find(expected) != std::string::npos; }))
            << "expected a problem containing: " << expected << "\ngot:\n"
            << joined(problems);
    }
}

}  // namespace
