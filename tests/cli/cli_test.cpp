// makevorndisk as an operator runs it: the whole make on the default image,
// the answer No (from a terminal or for want of one) that sends nothing,
// arguments or image paths that are refused with a clear message and leave
// every file as it was (and nothing in /dev), the image held and locked
// for the whole make, and what the make needs found missing before it
// writes anything.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/cli/cli_runner.h"
#include "tests/cli/image_checks.h"
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
    // sector, to see that nothing changed; returns its contents. A disk
    // image has the boot record signature 55 AA at byte 510.
    std::string PatternFile(const std::string& name, std::uint64_t bytes, bool diskImage = true) const {
        constexpr std::uint64_t kHead = 65536;
        std::string pattern(static_cast<std::size_t>(std::min(bytes, kHead)), '\0');
        for (std::size_t i = 0; i < pattern.size(); i += 509) pattern[i] = static_cast<char>('A' + i % 26);
        if (diskImage && pattern.size() >= 512) pattern.replace(510, 2, "\x55\xAA");
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

    // A run with its scratch folders in the test's own folder.
    CliRun RunWithOwnTemp(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {}) {
        fs::create_directories(folder_ / "tmp");
        CliOptions options;
        options.environment = {"TMPDIR=" + (folder_ / "tmp").string()};
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        return RunCliSteered(folder_.string(), arguments, options, {});
    }

    fs::path folder_;
};

// The regular files among the device nodes (read only; none is expected:
// the place of a file a mistyped --image would make).
std::vector<std::string> RegularFilesInDev() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev", error)) {
        if (entry.is_regular_file(error) && !entry.is_symlink(error)) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

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

void ExpectEightFilesOnTheImage(const fs::path& image) { EXPECT_EQ(RootListing(image), EightFilesListing()); }

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
    // The question names the image file and its size.
    EXPECT_NE(shown.find("Drive E:\\ is the new image file 'vorn.img' (3915776 sectors, 2004877312 bytes); "
                         "everything on it is lost.\n" +
                         std::string(kPrompt)),
              std::string::npos)
        << shown;
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
    EXPECT_NE((run.out + run.err).find("answered No: nothing was written"), std::string::npos) << run.err;
    EXPECT_NE((run.out + run.err).find("(exit code 4)"), std::string::npos) << run.err;
    if (GetParam().existingImage) {
        EXPECT_TRUE(Contents("stick.img") == before) << "the image was written";
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
    const std::string archive = PatternFile("backup.tar", std::uint64_t{kSmallImageSectors} * 512, false);
    fs::create_directory(folder_ / "folder");
    fs::create_symlink("missing.img", folder_ / "dangling.img");
    const std::vector<std::string> devFilesBefore = RegularFilesInDev();

    const CliRun run = RunWithOwnTemp(GetParam().arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err;
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("box:"), std::string::npos) << run.out;
    EXPECT_EQ(Entries(), (std::vector<std::string>{"backup.tar", "dangling.img", "folder", "odd.img", "small.img",
                                                   "tmp"}));
    EXPECT_TRUE(Contents("small.img") == existing);
    EXPECT_TRUE(Contents("odd.img") == odd);
    EXPECT_TRUE(Contents("backup.tar") == archive);
    EXPECT_TRUE(fs::is_empty(folder_ / "folder"));
    EXPECT_TRUE(fs::is_empty(folder_ / "tmp"));
    EXPECT_EQ(RegularFilesInDev(), devFilesBefore) << "a file was made among the device nodes";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRefuses,
    testing::Values(
        RefusedCase{"UnknownOption", {"--bogus"}, 2, "makevorndisk: unknown argument '--bogus'"},
        RefusedCase{"ImageWithoutFile", {"--image"}, 2, "makevorndisk: --image needs a value"},
        RefusedCase{"TwoTargets", {"--image", "a.img", "--device", "disks/sdb"}, 2, "name two targets"},
        RefusedCase{"ImageTwice", {"--image", "a.img", "--image", "b.img"}, 2, "--image is given twice"},
        RefusedCase{"DeviceTwice", {"--device", "disks/sdb", "--device=disks/sdc"}, 2, "--device is given twice"},
        RefusedCase{"SizeTwice", {"--sectors", "20480", "--size", "2G"}, 2, "give the size once"},
        RefusedCase{"SizeNotWholeSectors", {"--image", "a.img", "--size", "1000"}, 2,
                    "'1000' is 1000 bytes, not a whole number of 512-byte sectors (a bare number counts bytes)"},
        RefusedCase{"SizeBeyondTwoTebibytes", {"--image", "a.img", "--size", "3t"}, 2,
                    "'3t' is more than 4294967295 sectors (2 TiB)"},
        RefusedCase{"SizeWithoutNumber", {"--size", "G"}, 2, "--size needs a size"},
        RefusedCase{"SizeOfADevice", {"--device", "disks/sdb", "--sectors", "20480"}, 2, "a device has its own"},
        RefusedCase{"ForceForADevice", {"--device", "disks/sdb", "--force"}, 2, "--force belongs to --image"},
        RefusedCase{"ModeForAMake", {"--mode", "2"}, 2, "--mode belongs to --print-layout"},
        RefusedCase{"YesForTheList", {"--list", "--yes"}, 2, "belong to a make"},
        RefusedCase{"TooSmallForALayout", {"--image", "a.img", "--sectors", "8400"}, 2,
                    "a disk of 8400 sectors cannot be made: Capacity Too Small (the smallest is 8401 sectors)"},
        RefusedCase{"ExistingImageOfAnotherSize", {"--image", "small.img", "--sectors", "30000"}, 2,
                    "'small.img' already exists with 20480 sectors, not 30000"},
        RefusedCase{"FolderMissing", {"--image", "missing/a.img", "--yes"}, 3,
                    "cannot create the image 'missing/a.img': No such file or directory"},
        RefusedCase{"FolderAsImage", {"--image", "folder", "--yes"}, 3, "'folder' is a folder"},
        RefusedCase{"ImageOfPartSectors", {"--image", "odd.img", "--yes"}, 3,
                    "'odd.img' holds 1000 bytes, which is not a whole number of 512-byte sectors"},
        RefusedCase{"FileThatHoldsNoImage", {"--image", "backup.tar", "--yes"}, 3,
                    "'backup.tar' holds 10485760 bytes but no disk image (no boot record signature 55 AA at byte "
                    "510); it is not overwritten unless --force is given"},
        RefusedCase{"DanglingLink", {"--image", "dangling.img", "--yes"}, 3,
                    "'dangling.img' is a symbolic link to 'missing.img', which cannot be used (No such file or "
                    "directory)"},
        // An image file named as a disk: refused by its name, which no
        // disk in sysfs has, before anything is opened.
        RefusedCase{"NotARemovableDisk", {"--device", "small.img", "--yes"}, 3,
                    "cannot use small.img: small.img is not a whole disk"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the make needs is looked for before anything is created or written.
struct MissingCase {
    const char* name;
    std::vector<std::string> environment;
    std::string message;
};

class CliMisses : public Cli, public testing::WithParamInterface<MissingCase> {};

TEST_P(CliMisses, WhatTheMakeNeedsBeforeWritingAnything) {
    const std::string existing = PatternFile("small.img", std::uint64_t{kSmallImageSectors} * 512);
    for (const char* image : {"new.img", "small.img"}) {
        SCOPED_TRACE(image);
        const CliRun run = RunWithOwnTemp({"--image", image, "--sectors", "20480", "--yes"}, GetParam().environment);
        EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
        EXPECT_NE(run.err.find("makevorndisk: nothing was written: " + GetParam().message), std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"small.img", "tmp"}));
    EXPECT_TRUE(Contents("small.img") == existing);
}

INSTANTIATE_TEST_SUITE_P(
    Needs, CliMisses,
    testing::Values(MissingCase{"Mtools", {"PATH=/nonexistent"}, "mtools writes the files into an image, and mcopy, "
                                                                 "mattrib cannot be found in PATH"},
                    // Not even root makes a folder in /proc.
                    MissingCase{"ScratchFolder", {"TMPDIR=/proc"}, "no scratch folder can be made in /proc: "}),
    [](const auto& info) { return std::string(info.param.name); });

// A file that holds no disk image is overwritten with --force; a name that
// mtools would split at "@@" writes the named file and no other.
TEST_F(Cli, ForceAndAnAtSignNameWriteTheNamedFileOnly) {
    const std::string neighbour = PatternFile("victim", std::uint64_t{kSmallImageSectors} * 512);
    PatternFile("victim@@0.img", std::uint64_t{kSmallImageSectors} * 512, false);
    const CliRun run = RunWithOwnTemp({"--image", "victim@@0.img", "--force", "--yes"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("target: image victim@@0.img (20480 sectors, 10485760 bytes, existing)"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(Contents("victim") == neighbour) << "the neighbour was written";
    ExpectEightFilesOnTheImage(folder_ / "victim@@0.img");
    EXPECT_TRUE(fs::is_empty(folder_ / "tmp"));
}

// Two makes of one new image started together: one is refused at once, the
// other makes a good image.
TEST_F(Cli, TwoMakesOfOneImageOneRefused) {
    fs::create_directories(folder_ / "tmp");
    CliOptions options;
    options.environment = {"TMPDIR=" + (folder_ / "tmp").string()};
    const std::vector<std::string> arguments = {"--image", "stick.img", "--sectors", "20480", "--yes"};
    CliRun first;
    std::thread other([&] { first = RunCliSteered(folder_.string(), arguments, options, {}); });
    const CliRun second = RunCliSteered(folder_.string(), arguments, options, {});
    other.join();

    const std::vector<int> codes = {std::min(first.exitCode, second.exitCode),
                                    std::max(first.exitCode, second.exitCode)};
    EXPECT_EQ(codes, (std::vector<int>{0, 3})) << first.err << second.err;
    EXPECT_NE((first.err + second.err).find("'stick.img' is being made by another makevorndisk (the file is locked)"),
              std::string::npos)
        << first.err << second.err;
    ExpectEightFilesOnTheImage(folder_ / "stick.img");
    // Both FATs agree and every chain is whole: the volume, cut out of the
    // image, passes fsck.fat.
    const std::string image = Contents("stick.img");
    std::ofstream(folder_ / "volume.img", std::ios::binary) << image.substr(VolumeOffset(folder_ / "stick.img"));
    const qemu_test::ProgramResult check = qemu_test::RunProgram({"fsck.fat", "-n", (folder_ / "volume.img").string()});
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_TRUE(fs::is_empty(folder_ / "tmp"));
}

// A full file system names itself: the make fails in its build and says
// why the image could not be written.
TEST_F(Cli, AFullFileSystemSaysSo) {
    const fs::path full = folder_ / "full";
    fs::create_directories(full);
    if (mount("vorn-full", full.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
    }
    {
        std::ofstream filler(full / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }
    const CliRun run = RunWithOwnTemp({"--image", "full/stick.img", "--sectors", "20480", "--yes"});
    umount2(full.c_str(), MNT_DETACH);
    EXPECT_EQ(run.exitCode, 6) << run.out << run.err;
    EXPECT_NE(run.err.find("image drive: writing full/stick.img at byte "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" failed: No space left on device"), std::string::npos) << run.err;
}

// An existing image beyond the most sectors a disk can have (a sparse
// 3 TiB file) is refused as too large, not as a size of part sectors, and
// left as it was.
TEST_F(Cli, AnImageBeyondTwoTebibytesIsRefusedAsTooLarge) {
    constexpr std::uint64_t kThreeTebibytes = 3ull << 40;
    const std::string head = PatternFile("huge.img", 4096);
    fs::resize_file(folder_ / "huge.img", kThreeTebibytes);
    const CliRun run = RunWithOwnTemp({"--image", "huge.img", "--yes"});
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_NE(run.err.find("'huge.img' holds 3298534883328 bytes: more than 4294967295 sectors (2 TiB), the most a "
                           "disk can have"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(fs::file_size(folder_ / "huge.img"), kThreeTebibytes);
    std::ifstream file(folder_ / "huge.img", std::ios::binary);
    std::string start(head.size(), '\0');
    file.read(start.data(), static_cast<std::streamsize>(start.size()));
    EXPECT_TRUE(start == head) << "the image was written";
    EXPECT_TRUE(fs::is_empty(folder_ / "tmp"));
}

// An empty file is given the size and made; answered No, it is empty again.
TEST_F(Cli, AnEmptyFileIsTakenAndLeftEmptyOnNo) {
    std::ofstream(folder_ / "empty.img").close();
    const CliRun run = RunCli(folder_.string(), {"--image", "empty.img", "--sectors", "20480"});
    EXPECT_EQ(run.exitCode, 4) << run.out << run.err;
    EXPECT_NE(run.out.find("target: image empty.img (20480 sectors, an empty file given its size)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("emptied 'empty.img' again"), std::string::npos) << run.err;
    EXPECT_EQ(fs::file_size(folder_ / "empty.img"), 0u);
}

// The question goes to the terminal (standard error) with the box's text
// when standard output is piped away; the record keeps the box and answer.
TEST_F(Cli, TheQuestionIsOnTheTerminalWhenTheRecordIsPiped) {
    CliOptions options;
    options.terminal = true;
    options.recordPiped = true;
    const CliRun run = RunCliSteered(folder_.string(), {"--image", "stick.img", "--sectors", "20480"}, options,
                                     {CliStep{kPrompt, "n", 0}});
    EXPECT_EQ(run.exitCode, 4) << run.out << run.record;
    EXPECT_NE(run.out.find("Current Choose is device E:\\ ,If yes,all data will be disappear, Are you sure?\r\n"
                           "Drive E:\\ is the new image file 'stick.img' (20480 sectors, 10485760 bytes); "
                           "everything on it is lost.\r\n" +
                           std::string(kPrompt)),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.record.find(kPrompt), std::string::npos) << run.record;
    EXPECT_NE(run.record.find("box: Current Choose is device E:\\ ,"), std::string::npos) << run.record;
    EXPECT_NE(run.record.find("answer: No\n"), std::string::npos) << run.record;
    EXPECT_FALSE(fs::exists(folder_ / "stick.img"));
}

TEST_F(Cli, HelpAndVersionAnswerWithoutAMake) {
    for (const char* option : {"--help", "-h"}) {
        const CliRun help = RunCli(folder_.string(), {option});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
        EXPECT_NE(help.out.find("  10  not all eight payload files were written"), std::string::npos);
        EXPECT_NE(help.out.find("a bare number is bytes"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("A disk has 8401 sectors (4.1 MiB)"), std::string::npos) << help.out;
    }
    for (const char* option : {"--version", "-V"}) {
        const CliRun version = RunCli(folder_.string(), {option});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out.rfind("makevorndisk ", 0), 0u) << version.out;
    }
    EXPECT_EQ(Entries(), std::vector<std::string>{});
}

}  // namespace
}  // namespace cli_test
