// The exit code of each phase of a make that can fail, from the command
// line's own code run on an image file with one fault in its drive
// (makevorndisk_faults): each fault must end in its phase's exit code, with
// the message the operator reads for it, letter for letter. The messages
// are written out here, not taken from the program's texts, so that a text
// reworded in the program fails this test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/cli/cli_runner.h"

#ifndef VORN_CLI_WORK_DIR
#error "VORN_CLI_WORK_DIR: the folder the runs work in"
#endif

namespace cli_test {
namespace {

namespace fs = std::filesystem;

struct FaultCase {
    const char* fault;
    int exitCode;
    // These lines, in this order, on standard output; a line ending in "= "
    // is the start of a timed line, whose seconds vary.
    std::vector<std::string> shown;
    const char* summary;             // on standard error
    bool completes = false;          // the worker goes on to its completion line
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) { return out << c.fault; }

class PhaseFault : public testing::TestWithParam<FaultCase> {};

TEST_P(PhaseFault, EndsInItsExitCodeWithItsMessages) {
    const FaultCase& c = GetParam();
    const fs::path folder = fs::path(VORN_CLI_WORK_DIR) / (std::string("fault_") + c.fault);
    fs::remove_all(folder);
    fs::create_directories(folder);

    const CliRun run = RunCli(folder.string(), {c.fault, "--image", "stick.img", "--sectors", "20480", "--yes"});

    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    std::vector<std::string> lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    auto next = lines.begin();
    for (const std::string& expected : c.shown) {
        const bool timed = expected.ends_with("= ");
        next = std::find_if(next, lines.end(), [&](const std::string& line) {
            return timed ? line.starts_with(expected) : line == expected;
        });
        ASSERT_NE(next, lines.end()) << "missing, or out of order: " << expected << "\n" << run.out;
        ++next;
    }
    if (!c.completes) {
        EXPECT_EQ(run.out.find("log: Done. Total time spent = "), std::string::npos)
            << "the make ends with the failure";
    }
    EXPECT_NE(run.err.find("makevorndisk: " + std::string(c.summary) + " (exit code " +
                           std::to_string(c.exitCode) + ")\n"),
              std::string::npos)
        << run.err;
    if (!HasFailure()) fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, PhaseFault,
    testing::Values(
        FaultCase{"capacity", 5,
                  {"box: Issue GetCapacity CMD Fail !!!", "log: Can't get Devive GetCapacity."},
                  "reading the capacity failed, or the capacity cannot be used"},
        FaultCase{"build", 6,
                  {"log: 'E:\\ ' Total Sector = 20480", "box: Build FAT Fail-Write Data Command Failed",
                   "log: Build FAT Fail-Write Data Command Failed"},
                  "building the file system failed"},
        FaultCase{"read-back", 7,
                  {"log: Build FAT = ", "box: Compare FAT Fail-Read Back Data Mismatch",
                   "log: Compare FAT Fail-Read Back Data Mismatch"},
                  "reading the file system back failed"},
        FaultCase{"identity", 8,
                  {"log: Compare FAT = ", "box: Get Disk ID Fail", "log: Get Disk ID Fail"},
                  "the disk's device identity was not found"},
        FaultCase{"drive-lost", 9,
                  {"log: Compare FAT = ", "box: Can't find Device after Restart !!!",
                   "log: Can't find Device after Restart !!!"},
                  "the disk did not come back after its restart"},
        FaultCase{"not-remounted", 11,
                  {"log: Compare FAT = ", "box: Drive not remounted, payload not written !!!",
                   "log: Drive not remounted, payload not written !!!"},
                  "the drive came back without the new file system: no file was written"},
        FaultCase{"payload", 10,
                  {"log: Compare FAT = ", "log: open save File Failed!!!", "log: Done. Total time spent = "},
                  "not all eight payload files were written", true},
        // Every write reported done, half of the file's data kept: the
        // read-back of the root after the eighth file finds it.
        FaultCase{"lost-data", 10,
                  {"log: Compare FAT = ", "log: Compare File Fail-MSDOS.SYS", "log: Done. Total time spent = "},
                  "not all eight payload files were written", true}),
    [](const testing::TestParamInfo<FaultCase>& info) {
        std::string name;
        for (const char* c = info.param.fault; *c != '\0'; ++c) {
            if (*c != '-') name += *c;
        }
        return name;
    });

// An interrupt while the worker waits for a drive that stays away ends the
// wait at once: the operator is not kept for the minute it allows.
TEST(InterruptedWait, EndsAtOnceWhenTheDriveStaysAway) {
    const fs::path folder = fs::path(VORN_CLI_WORK_DIR) / "fault_interrupted_wait";
    fs::remove_all(folder);
    fs::create_directories(folder);
    CliOptions options;
    options.limit = std::chrono::seconds(30);  // half the wait for the drive: killed if it is waited out

    const CliRun run = RunCliSteered(folder.string(), {"drive-lost", "--image", "stick.img", "--sectors", "20480", "--yes"},
                                     options, {CliStep{"log: Compare FAT = ", "", SIGTERM}});

    const std::string shown = run.out + run.err;
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << shown;
    EXPECT_NE(shown.find("the make stopped before its end"), std::string::npos) << shown;
    EXPECT_FALSE(fs::exists(folder / "stick.img")) << "the unfinished new image was left behind";
    if (!HasFailure()) fs::remove_all(folder);
}

}  // namespace
}  // namespace cli_test
