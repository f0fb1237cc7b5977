// The command line against a real Linux kernel: a QEMU guest with a USB
// stick runs `makevorndisk --device /dev/sda --yes`. A removable stick must
// come out as a VORN disk that the kernel's FAT driver mounts, that
// fsck.fat passes, that mtools reads with the eight files, their contents
// and attributes, and that boots to the stand-in IO.SYS; while its
// partition is mounted, and when it is not removable, a stick must be
// neither listed nor written; a stick whose writes fail fails the build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/payload_expectations.h"
#include "tests/qemu/boot_disk.h"
#include "tests/qemu/child_process.h"
#include "tests/qemu/partition_copy.h"
#include "tests/qemu/qemu_machine.h"

#ifndef VORN_GUEST_KERNEL
#error "VORN_GUEST_KERNEL: the guest's kernel (prepare_guest.sh)"
#endif
#ifndef VORN_GUEST_INITRAMFS
#error "VORN_GUEST_INITRAMFS: the guest's initramfs (prepare_guest.sh)"
#endif
#ifndef VORN_GUEST_WORK_DIR
#error "VORN_GUEST_WORK_DIR: the folder for images and logs"
#endif

namespace guest_test {
namespace {

namespace fs = std::filesystem;
using qemu_test::kSectorSize;

constexpr int kGuestSeconds = 240;  // the guest's whole run, inside `timeout`
constexpr auto kBootTimeout = std::chrono::seconds(60);
constexpr int kExitHandOverPassed = (0 << 1) | 1;  // isa-debug-exit value 0

constexpr std::uint32_t kStick2G = 3915776;
constexpr std::uint32_t kStick8G = 15663104;

// MBR: the first partition entry's start LBA.
constexpr std::uint32_t kFirstEntryStartLba = 446 + 8;

void Progress(const std::string& text) { std::cout << "guest test: " << text << std::endl; }

std::string TestName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ReadBytes(const std::string& path, std::size_t count) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

bool MakeSparseImage(const std::string& path, std::uint64_t sectors) {
    fs::remove(path);
    std::ofstream(path, std::ios::binary).close();
    std::error_code error;
    fs::resize_file(path, sectors * kSectorSize, error);
    return !error;
}

// The guest: the kernel, the initramfs with the program, and the image as a
// USB stick on xHCI. Returns the serial console.
// With blkdebugConfig, QEMU's blkdebug driver injects the errors it names.
std::string RunGuest(const std::string& image, bool removable, const std::string& run,
                     const std::string& workDir, int* exitCode, const std::string& blkdebugConfig = "") {
    const std::string file = blkdebugConfig.empty() ? image : "blkdebug:" + blkdebugConfig + ":" + image;
    const std::string console = workDir + "/console.txt";
    std::vector<std::string> argv = {
        "timeout", "--kill-after=5", std::to_string(kGuestSeconds), "qemu-system-x86_64",
        "-accel", "tcg", "-m", "384", "-display", "none", "-no-reboot", "-nic", "none",
        "-monitor", "none", "-serial", "file:" + console,
        "-kernel", VORN_GUEST_KERNEL, "-initrd", VORN_GUEST_INITRAMFS,
        "-append", "console=ttyS0 quiet panic=-1 vorn.run=" + run,
        "-device", "qemu-xhci,id=hc",
        "-drive", "if=none,id=stick,file=" + file + ",format=raw",
        "-device", std::string("usb-storage,bus=hc.0,drive=stick,removable=") + (removable ? "on" : "off")};
    fs::remove(console);
    qemu_test::ChildProcess guest(argv, workDir + "/qemu.log");
    std::optional<int> code = guest.WaitForExit(std::chrono::seconds(kGuestSeconds + 10));
    *exitCode = code.value_or(-1);
    return ReadFile(console);
}

// The text between two marker lines of the guest's init script.
std::string Between(const std::string& text, const std::string& begin, const std::string& end) {
    const std::size_t from = text.find(begin);
    if (from == std::string::npos) return {};
    const std::size_t to = text.find(end, from);
    return text.substr(from + begin.size(), to == std::string::npos ? std::string::npos : to - from - begin.size());
}

// --list's output split at "left out:": the disks that may be written, and
// the removable or USB disks it leaves out with their reasons.
constexpr char kLeftOut[] = "left out:";
std::string MayBeWritten(const std::string& list) { return list.substr(0, list.find(kLeftOut)); }
std::string LeftOut(const std::string& list) {
    const std::size_t at = list.find(kLeftOut);
    return at == std::string::npos ? std::string() : list.substr(at);
}

std::uint32_t PartitionStart(const std::string& image) {
    const std::string mbr = ReadBytes(image, kSectorSize);
    if (mbr.size() < kSectorSize) return 0;
    std::uint32_t lba = 0;
    for (int i = 3; i >= 0; --i) lba = (lba << 8) | static_cast<unsigned char>(mbr[kFirstEntryStartLba + i]);
    return lba;
}


class GuestMake : public testing::TestWithParam<std::uint32_t> {};

TEST_P(GuestMake, RemovableStickBecomesABootableVornDisk) {
    const std::string work = std::string(VORN_GUEST_WORK_DIR) + "/" + TestName();
    fs::create_directories(work);
    const std::string image = work + "/stick.img";
    ASSERT_TRUE(MakeSparseImage(image, GetParam()));

    Progress("booting the guest with a removable stick of " + std::to_string(GetParam()) + " sectors");
    const auto started = std::chrono::steady_clock::now();
    int guestExit = -1;
    const std::string console = RunGuest(image, true, "make", work, &guestExit);
    Progress("guest finished in " +
             std::to_string(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count()) +
             " s");
    ASSERT_NE(console.find("VORN-DONE"), std::string::npos) << "the guest did not finish (exit " << guestExit
                                                            << "):\n" << console;
    ASSERT_NE(console.find("VORN-DISK removable=1 size=" + std::to_string(GetParam())), std::string::npos) << console;
    EXPECT_NE(MayBeWritten(Between(console, "VORN-LIST-BEGIN", "VORN-LIST-END")).find("/dev/sda"), std::string::npos)
        << "--list does not offer the stick:\n" << console;
    ASSERT_NE(console.find("VORN-MAKE-END exit=0"), std::string::npos) << console;
    EXPECT_NE(console.find("VORN-LEFTOVER mounts=0 folders=0"), std::string::npos)
        << "the make left its mount or its folder behind:\n" << console;
    EXPECT_NE(console.find("VORN-MOUNTED files=8"), std::string::npos)
        << "the kernel's FAT driver does not show the eight files:\n" << console;
    const std::string mountedList = Between(console, "VORN-MOUNTED-LIST-BEGIN", "VORN-MOUNTED-LIST-END");
    EXPECT_EQ(MayBeWritten(mountedList).find("/dev/sda"), std::string::npos)
        << "--list offers the stick while its partition is mounted:\n" << console;
    EXPECT_NE(LeftOut(mountedList).find("/dev/sda"), std::string::npos)
        << "--list does not say why the mounted stick is left out:\n" << console;
    EXPECT_NE(console.find("has a mounted file system (sda1 on /mnt/stick)"), std::string::npos) << console;
    EXPECT_EQ(console.find("VORN-MOUNTED-MAKE-END exit=0"), std::string::npos)
        << "--device wrote the stick while its partition was mounted:\n" << console;

    Progress("checking the stick with fsck.fat and mtools");
    const std::uint32_t start = PartitionStart(image);
    ASSERT_GT(start, 0u) << "no partition in the MBR";
    const std::string volume = image + "@@" + std::to_string(std::uint64_t{start} * kSectorSize);
    const std::string partition = work + "/partition.img";
    ASSERT_TRUE(qemu_test::CopyPartitionOut(image, std::uint64_t{start} * kSectorSize, partition));
    qemu_test::ProgramResult fsck = qemu_test::RunProgram({"fsck.fat", "-n", partition});
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    fs::remove(partition);

    qemu_test::ProgramResult listing = qemu_test::RunProgram({"env", "MTOOLS_SKIP_CHECK=1", "mdir", "-a", "-i", volume, "::/"});
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    qemu_test::ProgramResult attributes = qemu_test::RunProgram({"env", "MTOOLS_SKIP_CHECK=1", "mattrib", "-i", volume, "::/*"});
    ASSERT_EQ(attributes.exitCode, 0) << attributes.output;
    int files = 0;
    for (const PayloadFile& file : kPayloadFiles) {
        SCOPED_TRACE(file.name);
        EXPECT_EQ(payload_expectations::MattribAttributes(attributes.output, file.name),
                  payload_expectations::FinalAttributes(file))
            << attributes.output;
        const std::string copy = work + "/copy";
        fs::remove(copy);
        qemu_test::ProgramResult read = qemu_test::RunProgram({"env", "MTOOLS_SKIP_CHECK=1", "mcopy", "-n", "-i", volume, std::string("::/") + file.name, copy});
        ASSERT_EQ(read.exitCode, 0) << read.output;
        EXPECT_TRUE(ReadFile(copy) == ReadFile(std::string(VORN_PAYLOAD_DIR) + "/" + file.name))
            << "the file on the stick differs from the payload";
        ++files;
    }
    EXPECT_EQ(files, 8);
    // Eight files and the label: nothing else in the root.
    std::istringstream lines(listing.output);
    std::string line;
    int entries = 0;
    while (std::getline(lines, line)) {
        for (const PayloadFile& file : kPayloadFiles) {
            const std::string stem = std::string(file.name).substr(0, std::string(file.name).find('.'));
            if (line.rfind(stem + " ", 0) == 0) ++entries;
        }
    }
    EXPECT_EQ(entries, 8) << listing.output;
    EXPECT_NE(listing.output.find("8 files"), std::string::npos) << listing.output;

    Progress("booting the stick");
    qemu_test::QemuMachine machine({image, qemu_test::Bus::UsbStick, ""}, work);
    ASSERT_TRUE(machine.Started());
    const std::optional<int> bootExit = machine.WaitForExit(kBootTimeout);
    const std::string debug = machine.DebugConsole();
    ASSERT_TRUE(bootExit.has_value()) << "no exit within the time limit; debug console:\n" << debug;
    EXPECT_EQ(*bootExit, kExitHandOverPassed) << debug << machine.QemuLog();
    EXPECT_NE(debug.find("IO.SYS hand-over: PASS"), std::string::npos) << debug;

    if (!HasFailure()) fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Sticks, GuestMake, testing::Values(kStick2G, kStick8G),
                         [](const testing::TestParamInfo<std::uint32_t>& info) {
                             return std::to_string(info.param) + "_sectors";
                         });

TEST(GuestRefusal, StickThatIsNotRemovableIsNeitherListedNorWritten) {
    const std::string work = std::string(VORN_GUEST_WORK_DIR) + "/" + TestName();
    fs::create_directories(work);
    const std::string image = work + "/stick.img";
    ASSERT_TRUE(MakeSparseImage(image, kStick2G));
    // A recognisable first mebibyte; the rest stays a hole.
    std::string pattern(1 << 20, '\0');
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>((i * 7 + i / 512) & 0xFF);
    {
        std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);
        file.write(pattern.data(), static_cast<std::streamsize>(pattern.size()));
    }

    Progress("booting the guest with a stick that is not removable");
    int guestExit = -1;
    const std::string console = RunGuest(image, false, "once", work, &guestExit);
    ASSERT_NE(console.find("VORN-DONE"), std::string::npos) << "the guest did not finish (exit " << guestExit
                                                            << "):\n" << console;
    ASSERT_NE(console.find("VORN-DISK removable=0"), std::string::npos) << console;
    EXPECT_EQ(MayBeWritten(Between(console, "VORN-LIST-BEGIN", "VORN-LIST-END")).find("/dev/sda"),
              std::string::npos)
        << "--list offers a disk that is not removable:\n" << console;
    EXPECT_EQ(console.find("VORN-MAKE-END exit=0"), std::string::npos) << "--device accepted it:\n" << console;
    EXPECT_NE(console.find("is not a removable disk"), std::string::npos) << console;

    EXPECT_EQ(fs::file_size(image), std::uint64_t{kStick2G} * kSectorSize);
    EXPECT_TRUE(ReadBytes(image, pattern.size()) == pattern) << "the first mebibyte changed";
    const int fd = ::open(image.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const off_t data = ::lseek(fd, static_cast<off_t>(pattern.size()), SEEK_DATA);
    ::close(fd);
    EXPECT_LT(data, 0) << "something was written past the first mebibyte, at byte " << data;

    if (!HasFailure()) fs::remove_all(work);
}

TEST(GuestFailure, WriteErrorsOfTheStickFailTheBuildThroughTheKernel) {
    const std::string work = std::string(VORN_GUEST_WORK_DIR) + "/" + TestName();
    fs::create_directories(work);
    const std::string image = work + "/stick.img";
    ASSERT_TRUE(MakeSparseImage(image, kStick2G));
    // Every write reaching the image fails: the stick answers WRITE(10) with
    // CHECK CONDITION, and SG_IO carries that back to the build.
    const std::string config = work + "/write-error.conf";
    std::ofstream(config) << "[inject-error]\nevent = \"write_aio\"\nerrno = \"5\"\n";

    Progress("booting the guest with a stick whose writes fail");
    int guestExit = -1;
    const std::string console = RunGuest(image, true, "once", work, &guestExit, config);
    ASSERT_NE(console.find("VORN-DONE"), std::string::npos) << "the guest did not finish (exit " << guestExit
                                                            << "):\n" << console;
    EXPECT_NE(console.find("Build FAT Fail-Write Data Command Failed"), std::string::npos) << console;
    EXPECT_NE(console.find("VORN-MAKE-END exit="), std::string::npos) << console;
    EXPECT_EQ(console.find("VORN-MAKE-END exit=0"), std::string::npos) << "a failed build reported success:\n"
                                                                        << console;
    EXPECT_EQ(console.find("Done. Total time spent"), std::string::npos) << console;

    if (!HasFailure()) fs::remove_all(work);
}

}  // namespace
}  // namespace guest_test
