// makevorndisk as an operator runs it: the whole make on the default image,
// the answer No (from a terminal or for want of one) that sends nothing,
// and arguments or image paths that are refused with a clear message and
// leave every file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/cli/cli_runner.h"
#include "tests/qemu/child_process.h"

#ifndef VORN_CLI_WORK_DIR
#error "VORN_CLI_WORK_DIR: the folder the runs work in"
#endif

namespace cli_test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kDefaultImageBytes = 3915776ull * 512;
constexpr std::uint32_t kSmallImageSectors = 20480;
constexpr char kPrompt[] = "Yes or No? [y/N] ";
constexpr char kProgressErase[] = "\r\033[K";

class Cli : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        for (char& c : name) c = c == '/' ? '_' : c;
        folder_ = fs::path(VORN_CLI_WORK_DIR) / name;
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(folder_);
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A sparse file of bytes bytes with a pattern in its head and its last
    // sector, to see that nothing changed; returns its contents.
    std::string PatternFile(const std::string& name, std::uint64_t bytes) const {
        constexpr std::uint64_t kHead = 65536;
        std::string pattern(static_cast<std::size_t>(std::min(bytes, kHead)), '\0');
        for (std::size_t i = 0; i < pattern.size(); i += 509) pattern[i] = static_cast<char>('A' + i % 26);
        {
            std::ofstream file(folder_ / name, std::ios::binary);
            file << pattern;
            if (bytes > kHead + 512) {
                file.seekp(static_cast<std::streamoff>(bytes - 512));
                file << pattern.substr(0, 512);
            }
        }
        fs::resize_file(folder_ / name, bytes);
        return Contents(name);
    }
    std::string Contents(const std::string& name) const {
        std::ifstream file(folder_ / name, std::ios::binary);
        std::string bytes(static_cast<std::size_t>(fs::file_size(folder_ / name)), '\0');
        file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return bytes;
    }

    fs::path folder_;
};

// The lines a make shows, in order, from the target to the completion line.
void ExpectTheWholeMakeIn(const std::string& out, const std::string& answerLine) {
    const std::vector<std::string> expected = {
        "target: image vorn.img (3915776 sectors, created) as drive E:\n",
        "window: ",
        "drives: E:\\ \n",
        "identification: VORN    Image File      1.0 \n",
        "firmware: ",
        "log: 1.Select Working Device.\n",
        "log: 2.Click Make Button to Build VORN Disk.\n",
        "box: Current Choose is device E:\\ ,If yes,all data will be disappear, Are you sure?\n",
        answerLine,
        "log: 'E:\\ ' Total Sector = 3915776\n",
        "log: Build FAT = ",
        "log: Compare FAT = ",
        "log: Done. Total time spent = ",
        "makevorndisk: the make completed: all 8 payload files were written",
    };
    std::size_t at = 0;
    for (const std::string& line : expected) {
        const std::size_t found = out.find(line, at);
        ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << line << "\n" << out;
        at = found + line.size();
    }
}

void ExpectEightFilesOnTheImage(const fs::path& image) {
    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    const std::string volume = image.string() + "@@" + std::to_string(63 * 512);
    const qemu_test::ProgramResult listing = qemu_test::RunProgram({"mdir", "-b", "-a", "-i", volume, "::"});
    EXPECT_EQ(listing.output,
              "::/COMMAND.COM\n::/IO.SYS\n::/MSDOS.SYS\n::/VORN.exe\n::/CWSDPMI.EXE\n::/CWSDPR0.EXE\n"
              "::/CWSPARAM.EXE\n::/ISP.BAT\n");
}

TEST_F(Cli, YesMakesTheDefaultImageAndPrintsTheWholeMake) {
    const CliRun run = RunCli(folder_.string(), {"--yes"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    ExpectTheWholeMakeIn(run.out, "answer: Yes (--yes)\n");
    // Not a terminal: no progress line.
    EXPECT_EQ(run.out.find(kProgressErase), std::string::npos);
    EXPECT_EQ(Entries(), std::vector<std::string>{"vorn.img"});
    EXPECT_EQ(fs::file_size(folder_ / "vorn.img"), kDefaultImageBytes);
    ExpectEightFilesOnTheImage(folder_ / "vorn.img");
}

TEST_F(Cli, YesOnTheTerminalMakesTheImageWithProgress) {
    const CliRun run = RunCliOnTerminal(folder_.string(), {}, kPrompt, "y");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    std::string shown = run.out;
    // The terminal turns line ends into CR LF.
    for (std::size_t at; (at = shown.find("\r\n")) != std::string::npos;) shown.replace(at, 2, "\n");
    ExpectTheWholeMakeIn(shown, std::string(kPrompt) + "y\nanswer: Yes\n");
    EXPECT_NE(shown.find("  ... payload files written: "), std::string::npos) << shown;
    EXPECT_NE(shown.find(kProgressErase), std::string::npos);
    ExpectEightFilesOnTheImage(folder_ / "vorn.img");
}

struct NoCase {
    const char* name;
    bool terminal;
    const char* typed;        // on the terminal
    bool existingImage;
};

class CliNo : public Cli, public testing::WithParamInterface<NoCase> {};

TEST_P(CliNo, SendsNothingAndLeavesTheImageAsItWas) {
    std::string before;
    if (GetParam().existingImage) before = PatternFile("stick.img", std::uint64_t{kSmallImageSectors} * 512);
    const std::vector<std::string> arguments = {"--image", "stick.img"};
    const CliRun run = GetParam().terminal ? RunCliOnTerminal(folder_.string(), arguments, kPrompt, GetParam().typed)
                                           : RunCli(folder_.string(), arguments);
    EXPECT_EQ(run.exitCode, 4) << run.out << run.err;
    EXPECT_NE(run.out.find("box: Current Choose is device E:\\ ,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("answer: No"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Total Sector"), std::string::npos) << run.out;
    EXPECT_NE((run.out + run.err).find("answered No: nothing was written (exit code 4)"), std::string::npos);
    if (GetParam().existingImage) {
        EXPECT_EQ(Contents("stick.img"), before);
    } else {
        EXPECT_EQ(Entries(), std::vector<std::string>{}) << "the new image was left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, CliNo,
                         testing::Values(NoCase{"NoTerminalNewImage", false, "", false},
                                         NoCase{"NoTerminalExistingImage", false, "", true},
                                         NoCase{"TypedNExistingImage", true, "n", true},
                                         NoCase{"JustEnterNewImage", true, "", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;  // part of what standard error says
};

class CliRefuses : public Cli, public testing::WithParamInterface<RefusedCase> {};

TEST_P(CliRefuses, WithAClearMessageAndTouchesNothing) {
    const std::string existing = PatternFile("small.img", std::uint64_t{kSmallImageSectors} * 512);
    const std::string odd = PatternFile("odd.img", 1000);
    fs::create_directory(folder_ / "folder");

    const CliRun run = RunCli(folder_.string(), GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("box:"), std::string::npos) << run.out;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder", "odd.img", "small.img"}));
    EXPECT_EQ(Contents("small.img"), existing);
    EXPECT_EQ(Contents("odd.img"), odd);
    EXPECT_TRUE(fs::is_empty(folder_ / "folder"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRefuses,
    testing::Values(
        RefusedCase{"UnknownOption", {"--bogus"}, 2, "makevorndisk: unknown argument '--bogus'"},
        RefusedCase{"ImageWithoutFile", {"--image"}, 2, "makevorndisk: --image needs a value"},
        RefusedCase{"TwoTargets", {"--image", "a.img", "--device", "/dev/sdb"}, 2, "name two targets"},
        RefusedCase{"SizeTwice", {"--sectors", "20480", "--size", "2G"}, 2, "give the size once"},
        RefusedCase{"SizeNotWholeSectors", {"--image", "a.img", "--size", "1000"}, 2, "--size needs a size"},
        RefusedCase{"SizeWithoutNumber", {"--size", "G"}, 2, "--size needs a size"},
        RefusedCase{"SizeOfADevice", {"--device", "/dev/sdb", "--sectors", "20480"}, 2, "a device has its own"},
        RefusedCase{"ModeForAMake", {"--mode", "2"}, 2, "--mode belongs to --print-layout"},
        RefusedCase{"YesForTheList", {"--list", "--yes"}, 2, "belong to a make"},
        RefusedCase{"TooSmallForALayout", {"--image", "a.img", "--sectors", "8400"}, 2,
                    "a disk of 8400 sectors cannot be made: Capacity Too Small"},
        RefusedCase{"ExistingImageOfAnotherSize", {"--image", "small.img", "--sectors", "30000"}, 2,
                    "'small.img' already exists with 20480 sectors, not 30000"},
        RefusedCase{"FolderMissing", {"--image", "missing/a.img", "--yes"}, 3,
                    "cannot create the image 'missing/a.img': No such file or directory"},
        RefusedCase{"FolderAsImage", {"--image", "folder", "--yes"}, 3, "'folder' is not a regular file"},
        RefusedCase{"ImageOfPartSectors", {"--image", "odd.img", "--yes"}, 3,
                    "'odd.img' holds 1000 bytes, which is not a whole number of 512-byte sectors"},
        RefusedCase{"NotARemovableDisk", {"--device", "/dev/null", "--yes"}, 3, "cannot use /dev/null"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, HelpAndVersionAnswerWithoutAMake) {
    const CliRun help = RunCli(folder_.string(), {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
    EXPECT_NE(help.out.find("  10  not all eight payload files were written"), std::string::npos);
    const CliRun version = RunCli(folder_.string(), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("makevorndisk ", 0), 0u) << version.out;
    EXPECT_EQ(Entries(), std::vector<std::string>{});
}

}  // namespace
}  // namespace cli_test
