// Interrupts of a make (SIGINT, SIGTERM, SIGHUP, a closed output pipe) at
// the question, during the build and during the payload, on a new image
// and on an existing one, and a second interrupt that ends the program at
// once. The program is makevorndisk_pausing: the command line's own code,
// which waits at the chosen step until the signal has come. After every
// run nothing may be left: no scratch folder in its TMPDIR, no mount below
// its folder, no process that names it; a new image that was not finished
// is removed, an existing one is reported as not finished. Last, the image's
// path made to name another file while the make runs: the make stays with
// the file it opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "tests/cli/cli_runner.h"
#include "tests/cli/image_checks.h"

#ifndef VORN_CLI_WORK_DIR
#error "VORN_CLI_WORK_DIR: the folder the runs work in"
#endif

namespace cli_test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kImageBytes = 20480ull * 512;
constexpr char kPrompt[] = "Yes or No? [y/N] ";
constexpr char kFirstInterrupt[] = "stopping at the next safe point";

enum class Where { kQuestion, kBuild, kPayload };

struct InterruptCase {
    const char* name;
    Where where;
    int signal;
    bool existingImage;
};

std::ostream& operator<<(std::ostream& out, const InterruptCase& c) { return out << c.name; }

class Interrupted : public testing::TestWithParam<InterruptCase> {
protected:
    void SetUp() override {
        folder_ = fs::path(VORN_CLI_WORK_DIR) / (std::string("interrupt_") + GetParam().name);
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "tmp");
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(folder_);
    }

    // An image with a boot record signature and a pattern, as a disk image
    // made before would hold.
    std::string ExistingImage() const {
        std::string bytes(kImageBytes, '\0');
        for (std::size_t i = 0; i < 65536; i += 7) bytes[i] = static_cast<char>('a' + i % 26);
        bytes[510] = static_cast<char>(0x55);
        bytes[511] = static_cast<char>(0xAA);
        std::ofstream(folder_ / "stick.img", std::ios::binary) << bytes;
        return bytes;
    }
    std::string Contents() const {
        std::ifstream file(folder_ / "stick.img", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }
    CliOptions Options(bool terminal) const {
        CliOptions options;
        options.environment = {"TMPDIR=" + (folder_ / "tmp").string()};
        options.terminal = terminal;
        return options;
    }
    // Nothing of the make is left on the system.
    void ExpectNothingLeft() const {
        EXPECT_TRUE(fs::is_empty(folder_ / "tmp")) << "a scratch folder was left";
        EXPECT_EQ(MountsBelow(folder_.string()), std::vector<std::string>{});
        EXPECT_EQ(ProcessesMentioning(folder_.string()), std::vector<std::string>{});
    }

    fs::path folder_;
};

const char* PauseOf(Where where) { return where == Where::kPayload ? "payload" : "build"; }

TEST_P(Interrupted, StopsCleansUpAndSaysSo) {
    const InterruptCase& c = GetParam();
    const std::string before = c.existingImage ? ExistingImage() : std::string();
    const bool atQuestion = c.where == Where::kQuestion;
    std::vector<std::string> arguments = {PauseOf(c.where), "--image", "stick.img"};
    if (!c.existingImage) arguments.insert(arguments.end(), {"--sectors", "20480"});
    if (!atQuestion) arguments.push_back("--yes");
    const std::string waitFor = atQuestion ? kPrompt : std::string("pausing at ") + PauseOf(c.where);

    const CliRun run = RunCliSteered(folder_.string(), arguments, Options(atQuestion), {CliStep{waitFor, "", c.signal}});
    const std::string shown = run.out + run.err;

    EXPECT_EQ(run.exitCode, 128 + c.signal) << shown;
    EXPECT_NE(shown.find(kFirstInterrupt), std::string::npos) << shown;
    if (atQuestion) {
        EXPECT_NE(shown.find("answer: No (interrupted by SIG"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("Total Sector"), std::string::npos) << shown;
        EXPECT_NE(shown.find(": nothing was written"), std::string::npos) << shown;
    } else {
        EXPECT_NE(shown.find("the make stopped before its end"), std::string::npos) << shown;
        EXPECT_EQ(shown.find("the make completed"), std::string::npos) << shown;
    }
    if (!c.existingImage) {
        EXPECT_FALSE(fs::exists(folder_ / "stick.img")) << "the unfinished new image was left behind\n" << shown;
        EXPECT_NE(shown.find("removed the new image 'stick.img'"), std::string::npos) << shown;
    } else if (atQuestion) {
        EXPECT_EQ(Contents(), before);
    } else {
        EXPECT_EQ(fs::file_size(folder_ / "stick.img"), kImageBytes);
        EXPECT_NE(shown.find("stick.img is not finished, make it again"), std::string::npos) << shown;
    }
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Signals, Interrupted,
    testing::Values(InterruptCase{"SigintAtTheQuestion", Where::kQuestion, SIGINT, false},
                    InterruptCase{"SigtermAtTheQuestion", Where::kQuestion, SIGTERM, true},
                    InterruptCase{"SighupAtTheQuestion", Where::kQuestion, SIGHUP, false},
                    InterruptCase{"SigintDuringTheBuild", Where::kBuild, SIGINT, false},
                    InterruptCase{"SigtermDuringTheBuild", Where::kBuild, SIGTERM, true},
                    InterruptCase{"SighupDuringTheBuild", Where::kBuild, SIGHUP, false},
                    InterruptCase{"SigintDuringThePayload", Where::kPayload, SIGINT, true},
                    InterruptCase{"SigtermDuringThePayload", Where::kPayload, SIGTERM, false},
                    InterruptCase{"SighupDuringThePayload", Where::kPayload, SIGHUP, true}),
    [](const auto& info) { return std::string(info.param.name); });

class InterruptedTwice : public Interrupted {};

// The second interrupt comes while the make holds a payload step: the
// program ends at once, and still takes away the new image and its
// scratch folder.
TEST_P(InterruptedTwice, EndsAtOnceAndLeavesNothing) {
    const CliRun run = RunCliSteered(folder_.string(), {"hold", "--image", "stick.img", "--sectors", "20480", "--yes"},
                                     Options(false),
                                     {CliStep{"pausing at hold", "", SIGINT}, CliStep{kFirstInterrupt, "", SIGTERM}});
    EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.out << run.err;
    EXPECT_NE(run.err.find("interrupted again (SIGTERM): stopping at once"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / "stick.img"));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Hold, InterruptedTwice, testing::Values(InterruptCase{"Twice", Where::kPayload, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

class OutputClosed : public Interrupted {};

// A reader that went away (makevorndisk ... | head -0) is an interrupt:
// the make's record cannot be read, so nothing is written.
TEST_P(OutputClosed, IsAnInterruptBeforeAnythingIsWritten) {
    CliOptions options = Options(false);
    options.closedOutput = true;
    const CliRun run = RunCliSteered(folder_.string(), {"build", "--image", "stick.img", "--sectors", "20480", "--yes"},
                                     options, {});
    EXPECT_EQ(run.exitCode, 128 + SIGPIPE) << run.err;
    EXPECT_NE(run.err.find("interrupted by SIGPIPE"), std::string::npos) << run.err;
    // Each later line raises SIGPIPE again; that is no second interrupt.
    EXPECT_EQ(run.err.find("stopping at once"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder_ / "stick.img"));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Pipe, OutputClosed, testing::Values(InterruptCase{"ClosedPipe", Where::kQuestion, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

class PathSwapped : public Interrupted {};

// The image renamed and a link to another file put in its place during the
// build: the restart, the payload and the attributes still go into the
// file the make opened and locked.
TEST_P(PathSwapped, TheMakeStaysWithTheFileItOpened) {
    std::string other(kImageBytes, 'x');
    std::ofstream(folder_ / "other.img", std::ios::binary) << other;
    const auto swap = [this] {
        fs::rename(folder_ / "stick.img", folder_ / "moved.img");
        fs::create_symlink("other.img", folder_ / "stick.img");
        std::ofstream(folder_ / "resume").close();
    };
    const CliRun run = RunCliSteered(folder_.string(), {"swap", "--image", "stick.img", "--sectors", "20480", "--yes"},
                                     Options(false), {CliStep{"pausing at swap", "", 0, swap}});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    std::ifstream file(folder_ / "other.img", std::ios::binary);
    EXPECT_TRUE(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()) == other)
        << "the file the path came to name was written";
    // The eight files are in the image the make opened.
    EXPECT_EQ(RootListing(folder_ / "moved.img"), EightFilesListing());
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Path, PathSwapped, testing::Values(InterruptCase{"Swapped", Where::kBuild, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cli_test
