// The wine-guest cases, checked on the host once the guest has run them
// (run_wine_guest.sh): the real Windows program, both builds, under Wine on
// a real Linux kernel whose usb-storage sticks carry its SCSI commands.
// What the program reported (its test mode prints every log line, box and
// control state) and what the rig did are read from the results folder;
// what the make left is read from the stick images: fsck.fat, mtools, the
// files' bytes, the areas the build writes against those the Linux command
// line writes for the same capacity, and a boot in QEMU to the stand-in
// IO.SYS.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "payload/payload_table.h"
#include "tests/qemu/boot_checks.h"
#include "tests/qemu/child_process.h"
#include "tests/qemu/partition_copy.h"
#include "tests/qemu/qemu_machine.h"
#include "tests/wine_guest/stick_image.h"

#ifndef VORN_WINE_GUEST_WORK_DIR
#error "VORN_WINE_GUEST_WORK_DIR: the work folder of run_wine_guest.sh"
#endif
#ifndef VORN_MAKEVORNDISK
#error "VORN_MAKEVORNDISK: the Linux command line, to compare with"
#endif
#ifndef VORN_PAYLOAD_DIR
#error "VORN_PAYLOAD_DIR: the payload files"
#endif

namespace wine_guest {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kStick2G = 3915776;
constexpr std::uint32_t kStick8G = 15663104;
// What the rig's registry gives the stick (prefix_settings.reg), as the
// configuration manager names it.
constexpr char kStickInstanceId[] = "USBSTOR\\DISK&VEN_QEMU&PROD_QEMU_HARDDISK&REV_2.5+\\VORN-STICK&0";
// The controls a make disables and enables again.
constexpr char kControlsOn[] = "CONTROLS-AT-END 1001:on 1003:on 1004:on 1005:on 1006:on";
constexpr std::uint32_t kReadOnly = 0x01;  // FILE_ATTRIBUTE_READONLY
constexpr std::size_t kDrivePrefixLength = 4;  // the "%c:\\" before a payload file's name

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ResultsOf(const std::string& name) { return std::string(VORN_WINE_GUEST_WORK_DIR) + "/results/" + name; }
std::string StickImage(const char* serial) {
    return std::string(VORN_WINE_GUEST_WORK_DIR) + "/sticks/" + serial + ".img";
}

// The program's report, one line per entry, without the CRs Wine's
// console adds.
std::vector<std::string> ReportLines(const std::string& name) {
    std::istringstream text(ReadFile(ResultsOf(name) + "/program.out"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// Every pattern matches a whole line of the report, in this order.
testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& patterns) {
    std::size_t at = 0;
    for (const std::string& pattern : patterns) {
        const std::regex wanted(pattern);
        while (at < lines.size() && !std::regex_match(lines[at], wanted)) ++at;
        if (at == lines.size()) {
            return testing::AssertionFailure() << "no line (in order) matching " << pattern << " in:\n" << Joined(lines);
        }
        ++at;
    }
    return testing::AssertionSuccess();
}

int CountMatching(const std::vector<std::string>& lines, const std::string& pattern) {
    const std::regex wanted(pattern);
    int count = 0;
    for (const std::string& line : lines) count += std::regex_match(line, wanted) ? 1 : 0;
    return count;
}

std::string ExitCode(const std::string& name) {
    std::string code = ReadFile(ResultsOf(name) + "/program.rc");
    while (!code.empty() && (code.back() == '\n' || code.back() == ' ')) code.pop_back();
    return code.empty() ? "(none)" : code;
}

std::string RegexEscape(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

qemu_test::ProgramResult Mtools(std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"env", "MTOOLS_SKIP_CHECK=1"});
    return qemu_test::RunProgram(argv);
}

// The attributes a payload file ends with.
std::uint32_t ExpectedAttributes(const PayloadFile& file) {
    std::uint32_t attributes = 0;
    for (std::uint32_t step : PayloadAttributeSteps(file.typeName, file.id)) attributes |= step;
    return attributes;
}

// The payload file's name in the root (its path format without "%c:\").
std::string FileName(const PayloadFile& file) { return file.pathFormat + kDrivePrefixLength; }

// mattrib's letters for a file ("(missing)" when it is not listed).
std::string MattribFlags(const std::string& output, const std::string& name) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("::/" + name);
        if (at != std::string::npos && at + 3 + name.size() == line.size()) return line.substr(0, at);
    }
    return "(missing)";
}

// The dialog at the start of every make on the stick: its title, the
// stick's identification from INQUIRY, the drive.
std::vector<std::string> StartLines() {
    return {R"(TITLE Korvane Make VORN Disk Tool V1\.03 )", R"(IDENT QEMU +QEMU HARDDISK +2\.5\+ *)",
            R"(DRIVE \[E:\\ \])", R"(BOX MakeVORNDisk\|Current Choose is device E:\\ ,If yes,.*)"};
}

struct MakeCase {
    const char* build;
    const char* stick;  // its serial number and image name
    std::uint32_t sectors;
};

// How the disk is detected afresh after the build: the 64-bit program asks
// for the device restart; the 32-bit one runs under WOW64 (Wine's prefix is
// a 64-bit one), is refused the restart and asks for the partition table to
// be read again. The rig plays either.
bool UnderWow64(const MakeCase& make) { return std::string(make.build) == "i686"; }
std::string DetectStep(const MakeCase& make) {
    return UnderWow64(make) ? "REREAD 1 .*" : "RESTART 1 " + RegexEscape(kStickInstanceId);
}
const char* RigStep(const MakeCase& make) { return UnderWow64(make) ? "REREAD-PLAYED" : "RESTART-PLAYED"; }

std::string CaseName(const MakeCase& make) {
    return std::string(make.sectors == kStick2G ? "fat16-" : "fat32-") + make.build;
}

class WineGuestMake : public testing::TestWithParam<MakeCase> {};

// A whole make: the report shows each step, the rig played the restart the
// program asked for, the eight files are on the new volume with the bytes
// of the program's resources, the stick passes fsck.fat and mtools, its
// MBR, reserved area and FAT heads are those the Linux command line writes
// for the same capacity, and it boots to the stand-in IO.SYS.
TEST_P(WineGuestMake, StickBecomesABootableVornDisk) {
    const MakeCase& make = GetParam();
    const std::string name = CaseName(make);
    const std::vector<std::string> report = ReportLines(name);
    const std::string rig = ReadFile(ResultsOf(name) + "/rig.txt");

    std::vector<std::string> steps = StartLines();
    const std::vector<std::string> make_steps = {
        R"(LOG \['E:\\ ' Total Sector = )" + std::to_string(make.sectors) + R"(\\n\])",
        R"(LOG \[Build FAT = [0-9]+\.[0-9] seconds \\r\\n\])",
        R"(LOG \[Compare FAT = [0-9]+\.[0-9] seconds \\r\\n\])",
        DetectStep(make),
        R"(LOG \[Done\. Total time spent = [0-9]+\.[0-9] seconds \\r\\n\])",
        "MAKE-ENDED completed",
        kControlsOn,
        "BOX-COUNT 1",
        "FILE-COUNT 8"};
    steps.insert(steps.end(), make_steps.begin(), make_steps.end());
    EXPECT_TRUE(InOrder(report, steps));
    EXPECT_EQ(ExitCode(name), "0") << Joined(report);
    EXPECT_EQ(CountMatching(report, "(RESTART|REREAD) .*"), 1) << Joined(report);
    EXPECT_NE(rig.find(RigStep(make)), std::string::npos) << rig;
    EXPECT_NE(rig.find("mounted"), std::string::npos) << rig;
    // The files as Windows lists them on E: after the make, with the bytes
    // of the resources; of the attributes only read-only survives on vfat
    // (Wine keeps hidden and system in an extended attribute vfat lacks).
    for (const PayloadFile& file : kPayloadFiles) {
        SCOPED_TRACE(FileName(file));
        const std::string readOnly = (ExpectedAttributes(file) & kReadOnly) != 0 ? "[13579BDF]" : "[02468ACE]";
        EXPECT_EQ(CountMatching(report, "FILE " + RegexEscape(FileName(file)) + " 0x[0-9A-F]" + readOnly + " intact"), 1)
            << Joined(report);
    }

    const std::string image = StickImage(make.stick);
    const std::string work = qemu_test::TestWorkDir();
    fs::remove_all(work);
    fs::create_directories(work);
    const std::uint32_t start = PartitionStart(image);
    ASSERT_GT(start, 0u) << "no partition on the stick";
    const std::string partition = work + "/partition.img";
    ASSERT_TRUE(qemu_test::CopyPartitionOut(image, std::uint64_t{start} * kSectorBytes, partition));
    const qemu_test::ProgramResult fsck = qemu_test::RunProgram({"fsck.fat", "-n", partition});
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    fs::remove(partition);

    const std::string volume = image + "@@" + std::to_string(std::uint64_t{start} * kSectorBytes);
    const qemu_test::ProgramResult listing = Mtools({"mdir", "-a", "-i", volume, "::/"});
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    EXPECT_NE(listing.output.find("8 files"), std::string::npos) << listing.output;
    const qemu_test::ProgramResult attributes = Mtools({"mattrib", "-i", volume, "::/*"});
    ASSERT_EQ(attributes.exitCode, 0) << attributes.output;
    for (const PayloadFile& file : kPayloadFiles) {
        SCOPED_TRACE(FileName(file));
        const std::string copy = work + "/copy";
        fs::remove(copy);
        const qemu_test::ProgramResult read = Mtools({"mcopy", "-n", "-i", volume, "::/" + FileName(file), copy});
        ASSERT_EQ(read.exitCode, 0) << read.output;
        EXPECT_TRUE(ReadFile(copy) == ReadFile(std::string(VORN_PAYLOAD_DIR) + "/" + FileName(file)))
            << "the file on the stick differs from the payload";
        EXPECT_EQ(MattribFlags(attributes.output, FileName(file)).find('R') != std::string::npos,
                  (ExpectedAttributes(file) & kReadOnly) != 0)
            << attributes.output;
    }

    // The same capacity made by the Linux command line on an image file.
    const std::string cliImage = work + "/cli.img";
    const qemu_test::ProgramResult cli = qemu_test::RunProgram(
        {VORN_MAKEVORNDISK, "--image", cliImage, "--sectors", std::to_string(make.sectors), "--yes"});
    ASSERT_EQ(cli.exitCode, 0) << cli.output;
    std::string ours;
    std::string theirs;
    const std::vector<std::uint8_t> built = BuiltAreas(image, &ours);
    const std::vector<std::uint8_t> cliBuilt = BuiltAreas(cliImage, &theirs);
    ASSERT_FALSE(built.empty()) << "no FAT volume on the stick";
    EXPECT_EQ(ours, theirs);
    EXPECT_TRUE(built == cliBuilt) << "the MBR area, reserved area or FAT heads differ from the command line's ("
                                   << ours << ")";
    fs::remove(cliImage);

    qemu_test::QemuMachine machine({image, qemu_test::Bus::UsbStick, ""}, work);
    EXPECT_TRUE(qemu_test::HandOverPassed(machine));

    if (!HasFailure()) fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Sticks, WineGuestMake,
                         testing::Values(MakeCase{"i686", "VORN16A", kStick2G}, MakeCase{"i686", "VORN32A", kStick8G},
                                         MakeCase{"x86_64", "VORN16B", kStick2G},
                                         MakeCase{"x86_64", "VORN32B", kStick8G}),
                         [](const testing::TestParamInfo<MakeCase>& info) {
                             std::string name = CaseName(info.param);
                             for (char& c : name) {
                                 if (c == '-') c = '_';
                             }
                             return name;
                         });

class WineGuestBuild : public testing::TestWithParam<const char*> {};

// A stick that fails the build's first WRITE(10) (every write touching
// sector 0): the box and the log line name the failed write, the controls
// come back, the make goes no further, and nothing reaches the stick: the
// build sends no write after the failed one.
TEST_P(WineGuestBuild, FailingWriteEndsTheMakeWithItsBox) {
    const std::string name = std::string("write-fails-") + GetParam();
    const std::vector<std::string> report = ReportLines(name);
    std::vector<std::string> steps = StartLines();
    const std::vector<std::string> failure = {
        R"(LOG \['E:\\ ' Total Sector = 3915776\\n\])",
        R"(BOX MakeVORNDisk\|Build FAT Fail-Write Data Command Failed)",
        "CONTROLS-AT-BOX 1001:off 1003:off 1004:off 1005:off 1006:off",
        R"(LOG \[Build FAT Fail-Write Data Command Failed\\n\])",
        "MAKE-ENDED not completed",
        kControlsOn,
        "BOX-COUNT 2",
        "FILE-COUNT 0"};
    steps.insert(steps.end(), failure.begin(), failure.end());
    EXPECT_TRUE(InOrder(report, steps));
    EXPECT_EQ(ExitCode(name), "1") << Joined(report);
    EXPECT_EQ(CountMatching(report, R"(LOG \[(Compare FAT|Done)\..*)"), 0) << Joined(report);
    EXPECT_EQ(CountMatching(report, "(RESTART|REREAD) .*"), 0) << Joined(report);
    EXPECT_TRUE(NothingWritten(StickImage("VORNBAD"))) << "something reached the failing stick";
}

// Commands the stick answers with CHECK CONDITION reach the program as the
// channel's status (-2), with the stick's sense in the record's sense area;
// GOOD ones as 0.
TEST_P(WineGuestBuild, CheckConditionReachesTheChannelAsItsStatus) {
    const std::string name = std::string("probe-") + GetParam();
    const std::vector<std::string> report = ReportLines(name);
    EXPECT_TRUE(InOrder(report, {R"(PROBE inquiry status 0 \[QEMU +QEMU HARDDISK +2\.5\+ *\])",
                                 "PROBE read-capacity status 0 last-lba " + std::to_string(kStick2G - 1) + " block 512",
                                 // LOGICAL BLOCK ADDRESS OUT OF RANGE
                                 "PROBE read-beyond-end status -2 sense-key 0x05 asc 0x21 ascq 0x00",
                                 "PROBE read-last status 0",
                                 // INVALID COMMAND OPERATION CODE
                                 "PROBE unsupported-opcode status -2 sense-key 0x05 asc 0x20 ascq 0x00",
                                 "VOLUME .*"}));
    EXPECT_EQ(ExitCode(name), "0") << Joined(report);
}

INSTANTIATE_TEST_SUITE_P(Builds, WineGuestBuild, testing::Values("i686", "x86_64"));

}  // namespace
}  // namespace wine_guest
