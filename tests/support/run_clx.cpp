#include "support/run_clx.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <csignal>
#include <random>
#include <sstream>

extern char** environ;

namespace {

void drain(int outFd, int errFd, int inFd, const std::string& input, ClxResult& r) {
    std::size_t written = 0;
    if (input.empty() && inFd >= 0) {
        close(inFd);
        inFd = -1;
    }
    char buf[65536];
    while (outFd >= 0 || errFd >= 0) {
        pollfd fds[3];
        int n = 0;
        if (outFd >= 0) fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0) fds[n++] = {errFd, POLLIN, 0};
        if (inFd >= 0) fds[n++] = {inFd, POLLOUT, 0};
        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, input.data() + written, input.size() - written);
                if (w > 0) written += static_cast<std::size_t>(w);
                if (w <= 0 || written == input.size()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            ssize_t got = read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                (fds[i].fd == outFd ? r.out : r.err).append(buf, static_cast<std::size_t>(got));
            } else {
                close(fds[i].fd);
                (fds[i].fd == outFd ? outFd : errFd) = -1;
            }
        }
    }
    if (inFd >= 0) close(inFd);
}

}  // namespace

ClxResult runClx(const ClxRun& run) {
    ClxResult r;
    std::signal(SIGPIPE, SIG_IGN);  // clx may exit without reading its input
    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe(outPipe) || pipe(errPipe) || pipe(inPipe)) return r;

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        if (s.rfind("LANG=", 0) == 0 || s.rfind("LC_ALL=", 0) == 0 || s.rfind("LC_MESSAGES=", 0) == 0 ||
            s.rfind("SOURCE_DATE_EPOCH=", 0) == 0)
            continue;
        env.push_back(s);
    }
    env.push_back("LANG=" + run.lang);
    for (const std::string& e : run.extraEnv) env.push_back(e);
    std::vector<char*> envp;
    for (std::string& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> args = {CLX_BINARY};
    args.insert(args.end(), run.args.begin(), run.args.end());
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid == 0) {
        dup2(inPipe[0], 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) close(fd);
        if (!run.dir.empty() && chdir(run.dir.c_str()) != 0) _exit(127);
        if (run.fileSizeLimit) {
            // The write fails with EFBIG instead of the process being killed.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{run.fileSizeLimit, run.fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    drain(outPipe[0], errPipe[0], inPipe[1], run.input, r);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

ScratchDir::ScratchDir() {
    std::random_device rd;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() / ("clx-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(path_)) break;
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& p) {
    std::string s = readFile(p);
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::filesystem::path testData(const std::string& relative) { return std::filesystem::path(CLX_TEST_DATA) / relative; }
