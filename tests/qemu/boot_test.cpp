// Boots disks made by the layout engine, with the payload put on by mtools,
// in QEMU (SeaBIOS) as an IDE disk and as a USB stick: the stand-in IO.SYS
// must report a correct hand-over, and the failure paths of the boot code
// must show their texts on the screen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include "fatdisk/on_disk_format.h"
#include "tests/qemu/boot_checks.h"
#include "tests/qemu/boot_disk.h"
#include "tests/qemu/qemu_machine.h"

#ifndef VORN_PAYLOAD_STANDINS
#error "VORN_PAYLOAD_STANDINS: 1 for our own stand-ins"
#endif

// Only our stand-in IO.SYS reports the hand-over; an operator's own DOS
// boots instead.
#define SKIP_UNLESS_STAND_INS() \
    if (!VORN_PAYLOAD_STANDINS) GTEST_SKIP() << "the payload is the operator's own files"

namespace qemu_test {
namespace {

constexpr std::uint32_t kFat16Small = 1000000;
constexpr std::uint32_t kFat16Large = 3915776;
constexpr std::uint32_t kFat32Small = 7831552;
constexpr std::uint32_t kFat32Large = 62652416;

// The boot indicator of the MBR's second partition entry.
constexpr std::uint32_t kSecondEntryIndicator =
    fatdisk::kMbrEntry1 + fatdisk::kMbrEntrySize + fatdisk::kEntryBootIndicator;

// The first cylinder at the BPB's 16 heads and 63 sectors per track: beyond
// it, CHS addresses computed with the BPB's numbers and with the BIOS's own
// (64 heads for a 2 GB stick in SeaBIOS) name different sectors.
constexpr std::uint32_t kFirstCylinderSectors = 16 * 63;

// One boot test's disk and machine; the image is removed when the test passed.
class BootRun {
public:
    explicit BootRun(std::uint32_t sectors) : m_disk(TestWorkDir() + "/disk.img", sectors) {}
    ~BootRun() {
        if (!testing::Test::HasFailure()) std::filesystem::remove(m_disk.Path());
    }
    BootDisk& Disk() { return m_disk; }

    QemuMachine& Boot(Bus bus, const std::string& blkdebugConfig = "", bool noExtensions = false) {
        const MachineOptions options{
            .image = m_disk.Path(), .bus = bus, .blkdebugConfig = blkdebugConfig, .noExtensions = noExtensions};
        m_machine = std::make_unique<QemuMachine>(options, TestWorkDir());
        return *m_machine;
    }

private:
    BootDisk m_disk;
    std::unique_ptr<QemuMachine> m_machine;
};

void ExpectHandOverPassed(QemuMachine& machine) { EXPECT_TRUE(HandOverPassed(machine)); }

// --- the hand-over on every size of the matrix, on both buses -------------

struct HandOverCase {
    std::uint32_t sectors;
    Bus bus;
};

std::ostream& operator<<(std::ostream& out, const HandOverCase& c) {
    return out << c.sectors << " sectors, " << BusName(c.bus);
}

class HandOver : public testing::TestWithParam<HandOverCase> {};

TEST_P(HandOver, StandInIoSysReportsACorrectHandOver) {
    SKIP_UNLESS_STAND_INS();
    BootRun run(GetParam().sectors);
    ASSERT_EQ(run.Disk().Error(), "");
    ASSERT_TRUE(run.Disk().InstallPayload()) << run.Disk().Error();
    ExpectHandOverPassed(run.Boot(GetParam().bus));
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, HandOver,
    testing::Values(HandOverCase{kFat16Small, Bus::Ide}, HandOverCase{kFat16Small, Bus::UsbStick},
                    HandOverCase{kFat16Large, Bus::Ide}, HandOverCase{kFat16Large, Bus::UsbStick},
                    HandOverCase{kFat32Small, Bus::Ide}, HandOverCase{kFat32Small, Bus::UsbStick},
                    HandOverCase{kFat32Large, Bus::Ide}, HandOverCase{kFat32Large, Bus::UsbStick}),
    [](const testing::TestParamInfo<HandOverCase>& info) {
        return std::to_string(info.param.sectors) + "_" + BusName(info.param.bus);
    });

// --- FAT16 reads by CHS (a BIOS without the INT 13h extensions): IO.SYS
// inside and beyond the first cylinder of the BPB's geometry -------------

struct GeometryCase {
    std::uint32_t paddingBytes;  // a file written before the payload
    bool beyondFirstCylinder;
    Bus bus;
};

std::ostream& operator<<(std::ostream& out, const GeometryCase& c) {
    return out << c.paddingBytes << " bytes before the payload, " << BusName(c.bus);
}

class Fat16ChsGeometry : public testing::TestWithParam<GeometryCase> {};

TEST_P(Fat16ChsGeometry, IoSysIsLoadedWhereverItLies) {
    SKIP_UNLESS_STAND_INS();
    BootRun run(kFat16Large);
    ASSERT_EQ(run.Disk().Error(), "");
    if (GetParam().paddingBytes != 0) {
        const std::string padding = TestWorkDir() + "/padding.bin";
        std::ofstream(padding, std::ios::binary) << std::string(GetParam().paddingBytes, '\0');
        ASSERT_TRUE(run.Disk().Copy(padding, "PADDING.BIN")) << run.Disk().Error();
    }
    ASSERT_TRUE(run.Disk().InstallPayload()) << run.Disk().Error();
    const std::uint32_t ioSys = run.Disk().FirstSectorOf("IO      SYS");
    ASSERT_NE(ioSys, 0u);
    EXPECT_EQ(ioSys + 4 > kFirstCylinderSectors, GetParam().beyondFirstCylinder) << "IO.SYS at LBA " << ioSys;
    ExpectHandOverPassed(run.Boot(GetParam().bus, "", true));
}

INSTANTIATE_TEST_SUITE_P(
    Placement, Fat16ChsGeometry,
    // 3915776 sectors: 64-sector clusters from LBA 579; seven clusters of
    // padding put IO.SYS at LBA 1027.
    testing::Values(GeometryCase{0, false, Bus::UsbStick}, GeometryCase{7 * 64 * kSectorSize, true, Bus::Ide},
                    GeometryCase{7 * 64 * kSectorSize, true, Bus::UsbStick}),
    [](const testing::TestParamInfo<GeometryCase>& info) {
        return std::string(info.param.beyondFirstCylinder ? "Beyond" : "Inside") + "FirstCylinder_" +
               BusName(info.param.bus);
    });

// --- the FAT32 boot code's second chances ---------------------------------

TEST(Fat32Backup, BootSectorWithoutSignatureBootsFromTheBackup) {
    SKIP_UNLESS_STAND_INS();
    BootRun run(kFat32Small);
    ASSERT_EQ(run.Disk().Error(), "");
    ASSERT_TRUE(run.Disk().InstallPayload()) << run.Disk().Error();
    run.Disk().PatchByte(run.Disk().PartitionStart(), fatdisk::kBootSignatureOffset, 0);
    ExpectHandOverPassed(run.Boot(Bus::UsbStick));
}

// --- failure paths, read from the screen -----------------------------------

struct FailureCase {
    const char* name;
    std::uint32_t sectors;
    Bus bus;
    std::function<void(BootDisk&, const std::string& workDir, std::string& blkdebug)> prepare;
    const char* text;
    bool thenReplace;  // the boot sector's "Replace the disk..." line follows
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.name; }

void Install(BootDisk& disk, const std::string& leaveOut = "") {
    ASSERT_TRUE(disk.InstallPayload(leaveOut)) << disk.Error();
}

// A blkdebug configuration that fails every read of one sector.
std::string FailingSector(const std::string& workDir, std::uint32_t lba) {
    const std::string path = workDir + "/blkdebug.conf";
    std::ofstream(path) << "[inject-error]\nevent = \"read_aio\"\nerrno = \"5\"\nsector = \"" << lba << "\"\n";
    return path;
}

const FailureCase kFailures[] = {
    {"Fat16WithoutIoSys", kFat16Small, Bus::Ide,
     [](BootDisk& disk, const std::string&, std::string&) { Install(disk, "IO.SYS"); }, "Invalid system disk", true},
    {"Fat32WithoutIoSys", kFat32Small, Bus::UsbStick,
     [](BootDisk& disk, const std::string&, std::string&) { Install(disk, "IO.SYS"); }, "Invalid system disk", true},
    {"Fat32IoSysWithoutLoaderMarks", kFat32Small, Bus::Ide,
     [](BootDisk& disk, const std::string&, std::string&) {
         Install(disk, "IO.SYS");
         ASSERT_TRUE(disk.Copy(std::string(VORN_PAYLOAD_DIR) + "/MSDOS.SYS", "IO.SYS")) << disk.Error();
     },
     "Invalid system disk", true},
    {"SecondActivePartitionEntry", kFat16Small, Bus::Ide,
     [](BootDisk& disk, const std::string&, std::string&) {
         Install(disk);
         disk.PatchByte(0, kSecondEntryIndicator, fatdisk::kActivePartition);
     },
     "Invalid partition table", false},
    {"Fat16BootSectorWithoutSignature", kFat16Small, Bus::UsbStick,
     [](BootDisk& disk, const std::string&, std::string&) {
         Install(disk);
         disk.PatchByte(disk.PartitionStart(), fatdisk::kBootSignatureOffset, 0);
     },
     "Missing operating system", false},
    {"Fat32BootSectorAndBackupWithoutSignature", kFat32Small, Bus::Ide,
     [](BootDisk& disk, const std::string&, std::string&) {
         Install(disk);
         disk.PatchByte(disk.PartitionStart(), fatdisk::kBootSignatureOffset, 0);
         disk.PatchByte(disk.PartitionStart() + fatdisk::kFat32BackupBootSectorNumber, fatdisk::kBootSignatureOffset, 0);
     },
     "Missing operating system", false},
    {"Fat16RootDirectoryUnreadable", kFat16Small, Bus::Ide,
     [](BootDisk& disk, const std::string& workDir, std::string& blkdebug) {
         Install(disk);
         blkdebug = FailingSector(workDir, disk.RootDirectoryStart());
     },
     "Disk I/O error", true},
    {"Fat32SecondSectorUnreadable", kFat32Small, Bus::Ide,
     [](BootDisk& disk, const std::string& workDir, std::string& blkdebug) {
         Install(disk);
         // Sectors 1 and 2 fail, so the boot code reads the two behind the
         // backup boot sector, 7 and 8: sector 8 holds no code and must not
         // be entered.
         blkdebug = FailingSector(workDir, disk.PartitionStart() + 1);
     },
     "Invalid system disk", true},
};

class BootFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(BootFailure, ShowsItsMessage) {
    const FailureCase& failure = GetParam();
    BootRun run(failure.sectors);
    ASSERT_EQ(run.Disk().Error(), "");
    std::string blkdebug;
    failure.prepare(run.Disk(), TestWorkDir(), blkdebug);
    if (HasFatalFailure()) return;
    QemuMachine& machine = run.Boot(failure.bus, blkdebug);
    const std::string expected = failure.thenReplace ? std::string(failure.text) + "\n" + kReplaceText : failure.text;
    EXPECT_TRUE(ScreenShows(machine, expected));
}

INSTANTIATE_TEST_SUITE_P(Paths, BootFailure, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qemu_test
