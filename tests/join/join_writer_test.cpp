#include "join/join_plan.h"
#include "join/join_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/message.h"
#include "common/options.h"
#include "img/input_reader.h"
#include "support/run_clx.h"

namespace {

// An input read at start-up may be gone when the join reaches it.
TEST(JoinWriter, InputVanishedAfterReading) {
    ScratchDir dir;
    std::filesystem::copy_file(testData("img/63240001.img"), dir / "a.img");
    std::filesystem::copy_file(testData("img/test.typ"), dir / "b.typ");
    resetOptions();
    useEnglish = true;
    InputList inputs;
    inputs.emplace_back().path = (dir / "a.img").string();
    inputs.emplace_back().path = (dir / "b.typ").string();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(readInput(inputs[0]));
    ASSERT_TRUE(readInput(inputs[1]));
    std::filesystem::remove(dir / "b.typ");
    options.outputName = (dir / "all.img").string();
    EXPECT_FALSE(joinFiles(inputs));
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Open error, file " + inputs[1].path + ".\n"), std::string::npos) << out;
    resetOptions();
}

}  // namespace
