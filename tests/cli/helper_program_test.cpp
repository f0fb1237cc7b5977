// The helper programs a make runs (mtools): each under a time limit, with
// nothing of it left once the call returns, and given the held image as a
// descriptor.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "host/leftovers.h"
#include "host/run_program.h"

namespace {

using platform::host::ProgramOptions;
using platform::host::ProgramRun;
using platform::host::RunProgram;

// Whether the process is gone (or only waits to be reaped by its parent).
bool Gone(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
}

TEST(HelperProgram, ThatOutrunsItsTimeIsEndedWithWhatItStarted) {
    ProgramOptions options;
    options.timeLimit = std::chrono::milliseconds(300);
    const auto start = std::chrono::steady_clock::now();
    // It starts a child of its own, says its number, and both sleep on.
    const ProgramRun run = RunProgram({"sh", "-c", "sleep 30 & echo $! >&2; sleep 30"}, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.timedOut);
    EXPECT_EQ(run.exitCode, -1);
    const std::string grandchild = run.errors.substr(0, run.errors.find('\n'));
    ASSERT_FALSE(grandchild.empty()) << run.errors;
    for (int waited = 0; waited < 50 && !Gone(grandchild); ++waited) usleep(20000);
    EXPECT_TRUE(Gone(grandchild)) << "the helper's own child outlived it";
    EXPECT_EQ(platform::host::LeftoverCount(), 0);
}

TEST(HelperProgram, ThatEndsLeavesNoChildBehind) {
    const ProgramRun run = RunProgram({"sh", "-c", "sleep 30 & echo $! >&2; exit 3"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_FALSE(run.timedOut);
    const std::string grandchild = run.errors.substr(0, run.errors.find('\n'));
    for (int waited = 0; waited < 50 && !Gone(grandchild); ++waited) usleep(20000);
    EXPECT_TRUE(Gone(grandchild)) << "a child of the helper outlived the call";
}

TEST(HelperProgram, GetsTheHeldFileAsDescriptorThree) {
    const std::filesystem::path file = std::filesystem::path(testing::TempDir()) / "held.txt";
    std::ofstream(file) << "held";
    const int descriptor = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    ProgramOptions options;
    options.passedDescriptor = descriptor;
    const ProgramRun run = RunProgram({"sh", "-c", "cat /dev/fd/3 >&2"}, options);
    close(descriptor);
    std::filesystem::remove(file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.errors, "held");
}

TEST(HelperProgram, ThatIsMissingWasNotRun) {
    const ProgramRun run = RunProgram({"vorn-no-such-program"});
    EXPECT_FALSE(run.started);
    EXPECT_NE(run.errors.find("vorn-no-such-program"), std::string::npos);
    EXPECT_EQ(platform::host::FindInPath("vorn-no-such-program"), "");
    EXPECT_NE(platform::host::FindInPath("sh"), "");
}

}  // namespace
