#include "support/run_clx.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <utility>

extern char** environ;

ClxResult runClx(const ClxRun& run) {
    ClxResult r;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) || pipe(errPipe)) return r;

    // execve() leaves the strings alone, whatever its signature says.
    std::string lang = "LANG=" + run.lang;
    std::vector<char*> argv = {const_cast<char*>(CLX_BINARY)}, envp = {lang.data()};
    for (const std::string& a : run.args) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : run.extraEnv) envp.push_back(const_cast<char*>(e.c_str()));
    for (char** e = environ; *e; ++e) {
        const std::string_view name = std::string_view(*e).substr(0, std::string_view(*e).find('='));
        if (name != "LANG" && name != "LC_ALL" && name != "LC_MESSAGES" && name != "SOURCE_DATE_EPOCH")
            envp.push_back(*e);
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {devNull, outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
        if (!run.dir.empty() && chdir(run.dir.c_str()) != 0) _exit(127);
        if (run.fileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead of killing clx
            const rlimit limit{run.fileSizeLimit, run.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    // Both pipes at once: a child stuck writing to one must not wait for the other's reader.
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* text[2] = {&r.out, &r.err};
    while ((fds[0].fd >= 0 || fds[1].fd >= 0) && (poll(fds, 2, -1) >= 0 || errno == EINTR)) {
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents) continue;
            char buf[65536];
            const ssize_t got = read(fds[i].fd, buf, sizeof buf);
            if (got > 0) text[i]->append(buf, static_cast<std::size_t>(got));
            else close(std::exchange(fds[i].fd, -1));
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

ScratchDir::ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "clx-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : throw std::runtime_error("cannot create " + pattern);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& p) {
    const std::string s = readFile(p);
    return {s.begin(), s.end()};
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path testData(const std::string& relative) { return std::filesystem::path(CLX_TEST_DATA) / relative; }
