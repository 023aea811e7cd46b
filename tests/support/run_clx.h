// Runs the built clx in a scratch directory, standard input empty, and captures what it says.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ClxResult {
    int exitCode = -1;  // -1 when the process did not exit normally
    std::string out, err;
};

struct ClxRun {
    std::vector<std::string> args;
    std::string lang = "C";             // LANG; LC_ALL, LC_MESSAGES and SOURCE_DATE_EPOCH are unset
    std::filesystem::path dir;          // working directory; empty: current
    std::vector<std::string> extraEnv;  // "NAME=value"
    std::uint64_t fileSizeLimit = 0;    // bytes a file may grow to (0: no limit); writes beyond fail
};

ClxResult runClx(const ClxRun& run);

inline ClxResult runClx(std::vector<std::string> args, std::string lang = "C", std::filesystem::path dir = {},
                        std::vector<std::string> extraEnv = {}) {
    return runClx(ClxRun{std::move(args), std::move(lang), std::move(dir), std::move(extraEnv), 0});
}

// What the program prints first on standard output.
inline const std::string kBanner = std::string("clx v") + CLX_VERSION + "\n\n";

// A fresh directory under the system's temporary directory, removed with the
// object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& p);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

// A file of tests/data.
std::filesystem::path testData(const std::string& relative);
// The bytes of a fixture container in tests/data/img.
inline std::vector<std::uint8_t> fixture(const std::string& name) { return readBytes(testData("img/" + name)); }
