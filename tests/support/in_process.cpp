#include "support/in_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "cli/driver.h"
#include "support/test_file_system.h"

InProcessRun runInProcess(const std::vector<std::string>& args, const std::string& lang,
                          const std::function<void(bool)>& around) {
    setenv("LANG", lang.c_str(), 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    std::vector<const char*> argv = {"clx"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    InProcessRun r;
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    if (around) around(true);
    r.exitCode = runClx(static_cast<int>(argv.size()), argv.data());
    if (around) around(false);
    std::fflush(stdout);
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

InProcessRun runWithFileFault(TestFileSystem& fs, const std::vector<std::string>& args, std::size_t n, bool andAfter) {
    fs.failAt(n, andAfter);
    InProcessRun run;
    {
        ScopedFileSystem installed(fs);
        run = runInProcess(args);
    }
    EXPECT_TRUE(fs.faultFired());
    fs.clearFault();
    return run;
}
