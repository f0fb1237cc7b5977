// Boots made disks on BIOSes that present other geometries than the
// builder's (16 heads, 63 or 32 sectors per track): SeaBIOS with forced IDE
// geometries and translations and as USB sticks, and the Bochs BIOS; each
// with and without the INT 13h extensions (without them the boot chain
// must read by CHS with the BIOS's geometry). One test per disk; each boots
// its disk on its list of machines in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/qemu/boot_checks.h"
#include "tests/qemu/boot_disk.h"
#include "tests/qemu/qemu_machine.h"

#ifndef VORN_PAYLOAD_STANDINS
#error "VORN_PAYLOAD_STANDINS: 1 for our own stand-ins"
#endif

namespace qemu_test {
namespace {

// Where the BIOS gets the geometry of a machine's disk from.
enum class Given {
    ByBios,    // the BIOS's own choice
    Logical,   // IDE: the logical geometry QEMU hands the BIOS
    Physical,  // IDE: the drive's geometry, translated as the machine says; USB: the SCSI disk's
};

struct Machine {
    const char* name;
    Firmware firmware = Firmware::SeaBios;
    Bus bus = Bus::Ide;
    Given given = Given::ByBios;
    unsigned heads = 0;
    unsigned sectors = 0;
    const char* translation = "";
    bool noExtensions = false;
};

constexpr unsigned kBiosCylinders = 1024;  // INT 13h CHS addresses
constexpr unsigned kIdeCylinders = 16383;  // ATA's CHS limit
constexpr unsigned kScsiCylinders = 65535;

// SeaBIOS with the extensions.
constexpr Machine kSeaIde{.name = "seabios-ide"};
constexpr Machine kSeaIde64x32{.name = "seabios-ide-64x32", .given = Given::Logical, .heads = 64, .sectors = 32};
constexpr Machine kSeaIde128x32{.name = "seabios-ide-128x32", .given = Given::Logical, .heads = 128, .sectors = 32};
constexpr Machine kSeaIde16x63{.name = "seabios-ide-16x63", .given = Given::Logical, .heads = 16, .sectors = 63};
constexpr Machine kSeaIde255x63{.name = "seabios-ide-255x63", .given = Given::Logical, .heads = 255, .sectors = 63};
constexpr Machine kSeaIde16x32None{
    .name = "seabios-ide-16x32-none", .given = Given::Physical, .heads = 16, .sectors = 32, .translation = "none"};
constexpr Machine kSeaIde16x32Large{
    .name = "seabios-ide-16x32-large", .given = Given::Physical, .heads = 16, .sectors = 32, .translation = "large"};
constexpr Machine kSeaUsb{.name = "seabios-usb", .bus = Bus::UsbStick};
constexpr Machine kSeaUsb16x63{
    .name = "seabios-usb-16x63", .bus = Bus::UsbStick, .given = Given::Physical, .heads = 16, .sectors = 63};
constexpr Machine kSeaUsb64x32{
    .name = "seabios-usb-64x32", .bus = Bus::UsbStick, .given = Given::Physical, .heads = 64, .sectors = 32};
// The Bochs BIOS: 16 x 32 without translation, 128 x 32 with "large".
constexpr Machine kBochsIde{.name = "bochs-ide", .firmware = Firmware::BochsBios};
constexpr Machine kBochsIde16x32None{.name = "bochs-ide-16x32-none", .firmware = Firmware::BochsBios,
                                     .given = Given::Physical, .heads = 16, .sectors = 32, .translation = "none"};
constexpr Machine kBochsIde16x32Large{.name = "bochs-ide-16x32-large", .firmware = Firmware::BochsBios,
                                      .given = Given::Physical, .heads = 16, .sectors = 32, .translation = "large"};
// Without the extensions: every read by CHS.
constexpr Machine kSeaIde64x32NoExt{
    .name = "seabios-ide-64x32-noext", .given = Given::Logical, .heads = 64, .sectors = 32, .noExtensions = true};
constexpr Machine kSeaIde128x32NoExt{
    .name = "seabios-ide-128x32-noext", .given = Given::Logical, .heads = 128, .sectors = 32, .noExtensions = true};
constexpr Machine kSeaIde16x63NoExt{
    .name = "seabios-ide-16x63-noext", .given = Given::Logical, .heads = 16, .sectors = 63, .noExtensions = true};
constexpr Machine kSeaIde255x63NoExt{
    .name = "seabios-ide-255x63-noext", .given = Given::Logical, .heads = 255, .sectors = 63, .noExtensions = true};
constexpr Machine kSeaIde16x32NoneNoExt{.name = "seabios-ide-16x32-none-noext", .given = Given::Physical,
                                        .heads = 16, .sectors = 32, .translation = "none", .noExtensions = true};
constexpr Machine kSeaUsbNoExt{.name = "seabios-usb-noext", .bus = Bus::UsbStick, .noExtensions = true};
constexpr Machine kBochsIdeNoExt{.name = "bochs-ide-noext", .firmware = Firmware::BochsBios, .noExtensions = true};
constexpr Machine kBochsIde16x32NoneNoExt{.name = "bochs-ide-16x32-none-noext", .firmware = Firmware::BochsBios,
                                          .given = Given::Physical, .heads = 16, .sectors = 32,
                                          .translation = "none", .noExtensions = true};
constexpr Machine kBochsIde16x32LargeNoExt{.name = "bochs-ide-16x32-large-noext", .firmware = Firmware::BochsBios,
                                           .given = Given::Physical, .heads = 16, .sectors = 32,
                                           .translation = "large", .noExtensions = true};

const Machine kAllMachines[] = {
    kSeaIde, kSeaIde64x32, kSeaIde128x32, kSeaIde16x63, kSeaIde255x63, kSeaIde16x32None, kSeaIde16x32Large,
    kSeaUsb, kSeaUsb16x63, kSeaUsb64x32,
    kBochsIde, kBochsIde16x32None, kBochsIde16x32Large,
    kSeaIde64x32NoExt, kSeaIde128x32NoExt, kSeaIde16x63NoExt, kSeaIde255x63NoExt, kSeaIde16x32NoneNoExt,
    kSeaUsbNoExt,
    kBochsIdeNoExt, kBochsIde16x32NoneNoExt, kBochsIde16x32LargeNoExt,
};

unsigned Cylinders(std::uint32_t diskSectors, unsigned heads, unsigned sectors, unsigned most) {
    return std::clamp<unsigned>(diskSectors / (heads * sectors), 1, most);
}

MachineOptions OptionsFor(const Machine& machine, const std::string& image, std::uint32_t diskSectors) {
    MachineOptions options;
    options.image = image;
    options.bus = machine.bus;
    options.firmware = machine.firmware;
    options.noExtensions = machine.noExtensions;
    if (machine.given == Given::Logical) {
        options.logical = {Cylinders(diskSectors, machine.heads, machine.sectors, kBiosCylinders), machine.heads,
                           machine.sectors};
    } else if (machine.given == Given::Physical) {
        const unsigned most = machine.bus == Bus::UsbStick ? kScsiCylinders : kIdeCylinders;
        options.physical = {Cylinders(diskSectors, machine.heads, machine.sectors, most), machine.heads,
                            machine.sectors};
        options.translation = machine.translation;
    }
    return options;
}

// What a boot must end in.
enum class Outcome {
    HandOver,     // the stand-in IO.SYS reports PASS
    DiskIoError,  // the boot sector stops: "Disk I/O error", "Replace the disk..."
    LoadError,    // the master boot code stops: "Error loading operating system"
};

struct MachineRun {
    Machine machine;
    Outcome outcome = Outcome::HandOver;
};

using Prepare = std::function<void(BootDisk&, const std::string& workDir)>;

struct DiskCase {
    const char* name;
    std::uint32_t sectors;
    Prepare prepare;
    std::vector<MachineRun> runs;
};

std::ostream& operator<<(std::ostream& out, const DiskCase& c) { return out << c.name; }

// Every machine, expecting the hand-over but where `exceptions` say otherwise.
std::vector<MachineRun> EveryMachine(const std::vector<MachineRun>& exceptions = {}) {
    std::vector<MachineRun> runs;
    for (const Machine& machine : kAllMachines) {
        MachineRun run{machine};
        for (const MachineRun& exception : exceptions) {
            if (std::string(exception.machine.name) == machine.name) run.outcome = exception.outcome;
        }
        runs.push_back(run);
    }
    return runs;
}

void InstallPayload(BootDisk& disk, const std::string&) { ASSERT_TRUE(disk.InstallPayload()) << disk.Error(); }

// The payload, then IO.SYS moved to the first free clusters at `lba` or later.
Prepare IoSysMovedTo(std::uint32_t lba) {
    return [lba](BootDisk& disk, const std::string&) {
        ASSERT_TRUE(disk.InstallPayload()) << disk.Error();
        ASSERT_TRUE(disk.MoveFile("IO      SYS", lba)) << disk.Error();
        ASSERT_GE(disk.FirstSectorOf("IO      SYS"), lba);
    };
}

// Entries before the payload's, so that IO.SYS's entry lies behind the
// first root sector (FAT16) or in the root's second cluster (FAT32). On
// FAT32 a one-cluster file written first makes the root's second cluster
// lie apart from its first.
Prepare IoSysEntryBehind(std::uint32_t entries) {
    return [entries](BootDisk& disk, const std::string& workDir) {
        const std::string filler = workDir + "/filler.bin";
        std::ofstream(filler, std::ios::binary) << std::string(disk.SectorsPerCluster() * kSectorSize, 'F');
        ASSERT_TRUE(disk.Copy(filler, "FILLER.BIN")) << disk.Error();
        ASSERT_TRUE(disk.AddEmptyFiles(static_cast<int>(entries), workDir)) << disk.Error();
        ASSERT_TRUE(disk.InstallPayload()) << disk.Error();
        const std::optional<BootDisk::EntryPlace> place = disk.FindRootEntry("IO      SYS");
        ASSERT_TRUE(place.has_value());
        ASSERT_GT(place->index, entries);
        const std::vector<std::uint32_t> root = disk.RootClusters();
        if (!root.empty()) {
            const std::uint32_t entriesPerCluster = disk.SectorsPerCluster() * kSectorSize / 32;
            ASSERT_GE(place->index, entriesPerCluster) << "IO.SYS's entry is still in the root's first cluster";
            ASSERT_GE(root.size(), 2u);
            ASSERT_NE(root[1], root[0] + 1) << "the root's clusters lie together";
        }
    };
}

// Cylinders 0-1023 of 16 x 63 end here; of 255 x 63 here.
constexpr std::uint32_t kBeyond16x63 = 1024 * 16 * 63;
constexpr std::uint32_t kBeyond255x63 = 1024 * 255 * 63;
// A 4194305-sector FAT32 volume has 8-sector clusters: 128 entries each;
// with the label and FILLER.BIN, 126 more fill the first.
constexpr std::uint32_t kFat32FirstClusterFill = 126;
constexpr std::uint32_t kFat16FirstSectorsFill = 100;

const DiskCase kDisks[] = {
    // FAT16 from the smallest disk to the largest, FAT32 from the smallest to one beyond 8 GiB.
    {"Fat16At8401", 8401, InstallPayload, EveryMachine()},
    {"Fat16At32767", 32767, InstallPayload, EveryMachine()},
    // SeaBIOS gives a 32768-sector stick 0 sectors per track: without the
    // extensions nothing can be read.
    {"Fat16At32768", 32768, InstallPayload, EveryMachine({{kSeaUsbNoExt, Outcome::LoadError}})},
    {"Fat16At1015808", 1015808, InstallPayload, EveryMachine()},
    {"Fat16At3915776", 3915776, InstallPayload, EveryMachine()},
    {"Fat16At4194304", 4194304, InstallPayload, EveryMachine()},
    {"Fat32At4194305", 4194305, InstallPayload, EveryMachine()},
    {"Fat32At20971520", 20971520, InstallPayload, EveryMachine()},
    // IO.SYS where CHS cannot reach: by LBA it boots, by CHS the boot
    // sector says so instead of reading another sector.
    {"Fat16IoSysBeyond1024CylindersOf16x63", 4194304, IoSysMovedTo(kBeyond16x63),
     {{kSeaIde16x63}, {kSeaUsb}, {kBochsIde16x32None},
      {kSeaIde16x63NoExt, Outcome::DiskIoError}, {kBochsIde16x32NoneNoExt, Outcome::DiskIoError},
      {kSeaIde255x63NoExt}}},
    {"Fat32IoSysBeyond1024CylindersOf255x63", 20971520, IoSysMovedTo(kBeyond255x63),
     {{kSeaIde255x63}, {kSeaIde255x63NoExt, Outcome::DiskIoError}}},
    // The whole root directory is searched, by the boot code and the stand-in.
    {"Fat32IoSysEntryInSecondRootCluster", 4194305, IoSysEntryBehind(kFat32FirstClusterFill),
     {{kSeaIde}, {kSeaIde64x32NoExt}, {kBochsIde16x32Large}}},
    {"Fat16IoSysEntryBehindFirstRootSectors", 1015808, IoSysEntryBehind(kFat16FirstSectorsFill),
     {{kSeaIde}, {kSeaIde128x32NoExt}}},
};

testing::AssertionResult BootEndsAsExpected(const MachineRun& run, const std::string& image, std::uint32_t sectors,
                                            const std::string& workDir) {
    QemuMachine machine(OptionsFor(run.machine, image, sectors), workDir + "/" + run.machine.name);
    switch (run.outcome) {
        case Outcome::HandOver:
            return HandOverPassed(machine);
        case Outcome::DiskIoError:
            return ScreenShows(machine, std::string("Disk I/O error\n") + kReplaceText);
        case Outcome::LoadError:
            return ScreenShows(machine, "Error loading operating system");
    }
    return testing::AssertionFailure() << "unknown outcome";
}

class BiosMatrix : public testing::TestWithParam<DiskCase> {};

TEST_P(BiosMatrix, BootsOnEveryMachineAsExpected) {
    if (!VORN_PAYLOAD_STANDINS) GTEST_SKIP() << "the payload is the operator's own files";
    const DiskCase& disk = GetParam();
    const std::string workDir = TestWorkDir();
    BootDisk image(workDir + "/disk.img", disk.sectors);
    ASSERT_EQ(image.Error(), "");
    disk.prepare(image, workDir);
    if (HasFatalFailure()) return;
    for (const MachineRun& run : disk.runs) {
        EXPECT_TRUE(BootEndsAsExpected(run, image.Path(), disk.sectors, workDir)) << "on " << run.machine.name;
    }
    if (!HasFailure()) std::filesystem::remove(image.Path());
}

INSTANTIATE_TEST_SUITE_P(Disks, BiosMatrix, testing::ValuesIn(kDisks),
                         [](const testing::TestParamInfo<DiskCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qemu_test
