// A make on a PC that behaves as Windows does, one hazard at a time: a
// process without elevation, another process holding the volume, the file
// system mounted before the build, a 32-bit program on 64-bit Windows, a
// restart left for later, a Disk\Enum value name that is not the disk's
// device number, and a drive letter that comes back showing another file
// system. The stick comes used: formatted elsewhere (a partition at sector
// 8192 and another serial number) with a file of its own, its file system
// mounted when it is plugged in, as on a desktop.
#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <set>

#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"
#include "platform/byte_order.h"
#include "tests/make/make_fixture.h"

namespace {

using Sim = platform::SimSystem;

constexpr std::uint32_t kOldSerial = 0x5EED0001;
constexpr const char* kOldFile = "OLD.TXT";
constexpr unsigned kModeAlignedTo8192 = 2;
constexpr const char* kFixedDiskId = "IDE\\DISKFIXED\\0000";
constexpr std::uint32_t kFixedDiskNumber = 7;
constexpr const char* kNotRemounted = "Drive not remounted, payload not written !!!";

class HazardTest : public MakeFixture {
public:
    CMakeDiskDlg& TheDialog() { return Dialog(); }

    // A disk formatted elsewhere: the builder's layout in the mode with the
    // label, another serial number, and one file. Made through a drive
    // letter of its own, which is gone again afterwards.
    std::shared_ptr<EmulatedScsiDisk> UsedStick(std::uint32_t sectors, unsigned mode, const char* label,
                                                std::uint32_t serial) {
        auto disk = EmulatedScsiDisk::InMemory(sectors);
        System().AddDrive('Q', DRIVE_REMOVABLE, disk);
        CFatDiskBuilder builder('Q');
        builder.m_layoutMode = mode;
        EXPECT_TRUE(builder.Setup(sectors, label, true)) << builder.m_errorText;
        const std::uint32_t serialOffset = builder.m_isFat16 ? fatdisk::kFat16SerialNumber : fatdisk::kFat32SerialNumber;
        std::uint8_t boot[fatdisk::kSectorSize];
        const std::uint64_t bootOffset = std::uint64_t{builder.m_partitionStart} * fatdisk::kSectorSize;
        disk->ReadBytes(bootOffset, boot, sizeof boot);
        platform::StoreLe32(boot + serialOffset, serial);
        disk->WriteBytes(bootOffset, boot, sizeof boot);
        System().RemoveDrive('Q');
        System().AddDrive('Q', DRIVE_REMOVABLE, disk);
        platform::Handle file = System().CreateFileA("Q:\\OLD.TXT", GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
        std::uint32_t written = 0;
        EXPECT_TRUE(System().WriteFile(file, "old", 3, &written));
        EXPECT_TRUE(System().CloseHandle(file));
        System().RemoveDrive('Q');
        return disk;
    }

protected:

    // The used stick as E, the fixed disk C, their devices and the
    // registry; then the program, whose start-up boxes are forgotten.
    void StartWith(std::shared_ptr<EmulatedScsiDisk> disk) {
        ASSERT_NO_FATAL_FAILURE(StartKeepingBoxes(std::move(disk)));
        op_.Forget();
    }
    void StartKeepingBoxes(std::shared_ptr<EmulatedScsiDisk> disk) {
        disk_ = std::move(disk);
        System().AddDrive('E', DRIVE_REMOVABLE, disk_);
        System().AddDiskDevice('C', kFixedDiskNumber, kFixedDiskId);
        System().AddDiskDevice('E', kStickDeviceNumber, kStickInstanceId);
        System().SetRegistryString(kDiskEnumKey, std::to_string(kStickDeviceNumber), kStickRegistryValue);
        ASSERT_NO_FATAL_FAILURE(StartProgram());
    }

    // The eight files, whole, with their attributes, in the root of the
    // volume the disk holds now, and nothing of the old volume.
    void ExpectThePayloadOnTheNewVolume() {
        const std::vector<Sim::SimFile> files = System().Files('E');
        ASSERT_EQ(files.size(), kExpectedFiles.size()) << "the new volume lacks files or keeps old ones";
        for (std::size_t index = 0; index < files.size(); ++index) {
            SCOPED_TRACE(kExpectedFiles[index].name);
            EXPECT_EQ(files[index].name, kExpectedFiles[index].name);
            EXPECT_EQ(files[index].attributes, kExpectedFiles[index].attributes);
            EXPECT_EQ(files[index].data, PayloadBytes(kExpectedFiles[index].name));
        }
    }
};

// What the make comes to on a used stick of a 2 GB class, whatever stands
// in its way.
struct Hazard {
    const char* name;
    std::function<void(HazardTest&, Sim&)> arrange;  // before the program starts
    std::function<void(HazardTest&, Sim&)> during;   // after it started, before Make
    bool payloadWritten;                             // else: "Drive not remounted", no file
    std::function<void(HazardTest&, Sim&)> check;    // what else must hold afterwards
    // The stick and how it was formatted before.
    std::uint32_t sectors = kSmallStickSectors;
    unsigned oldMode = kModeAlignedTo8192;
};

// A failing case names its hazard rather than printing the bytes of its callbacks.
void PrintTo(const Hazard& hazard, std::ostream* out) { *out << hazard.name; }

class WindowsHazardTest : public HazardTest, public ::testing::WithParamInterface<Hazard> {};

TEST_P(WindowsHazardTest, TheMakeEndsWithTheWholePayloadOrSaysWhyNot) {
    const Hazard& hazard = GetParam();
    std::shared_ptr<EmulatedScsiDisk> stick = UsedStick(hazard.sectors, hazard.oldMode, "OLDSTICK", kOldSerial);
    hazard.arrange(*this, System());
    ASSERT_NO_FATAL_FAILURE(StartWith(stick));
    hazard.during(*this, System());
    ASSERT_NO_FATAL_FAILURE(Make());

    const std::vector<std::string> log = LogLines();
    ASSERT_GE(log.size(), 4u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[1].rfind("Build FAT = ", 0), 0u) << log[1];
    EXPECT_EQ(log[2].rfind("Compare FAT = ", 0), 0u) << log[2];
    const std::vector<std::string> boxes = op_.BoxTexts();
    if (hazard.payloadWritten) {
        EXPECT_EQ(log.size(), 4u) << ::testing::PrintToString(log);
        EXPECT_EQ(log.back().rfind("Done. Total time spent = ", 0), 0u) << log.back();
        EXPECT_EQ(boxes.size(), 1u) << ::testing::PrintToString(boxes);
        ExpectThePayloadOnTheNewVolume();
    } else {
        EXPECT_EQ(std::vector<std::string>(log.begin() + 3, log.end()),
                  std::vector<std::string>{std::string(kNotRemounted) + "\n"});
        EXPECT_EQ(std::vector<std::string>(boxes.begin() + 1, boxes.end()), std::vector<std::string>{kNotRemounted});
        EXPECT_EQ(Dialog().m_lastMake.FailedPhase(), MakePhase::kRemount);
    }
    hazard.check(*this, System());
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_EQ(System().OpenHandleCount(), 0u);
    EXPECT_EQ(System().OpenFileCount(), 0u);
}

void Nothing(HazardTest&, Sim&) {}

INSTANTIATE_TEST_SUITE_P(
    Hazards, WindowsHazardTest,
    ::testing::Values(
        // Explorer keeps the stick open: the lock is retried, the volume
        // dismounted (which ends Explorer's handle) and locked; the restart
        // then goes through.
        Hazard{"AnotherProcessHoldsTheVolume", Nothing,
               [](HazardTest&, Sim& sim) { sim.Volumes().HoldVolume('E'); }, true,
               [](HazardTest&, Sim& sim) { EXPECT_EQ(sim.RestartedDrives(), std::vector<char>{'E'}); }},
        // The restart is refused every time: the file system mounted before
        // the build (at sector 8192) must not get the files.
        Hazard{"TheRestartIsRefused", [](HazardTest&, Sim& sim) { sim.SetRestartPlan('E', {3, 0}); }, Nothing, true,
               [](HazardTest&, Sim& sim) {
                   EXPECT_EQ(sim.InstallerCallCount(), 3u);
                   EXPECT_EQ(sim.RestartCount(), 0u);
               }},
        // The same on a FAT32 stick whose old volume starts where the new
        // one does, so that re-reading the partition table changes nothing:
        // the old file system's cached root directory and FAT must not be
        // written over the new ones.
        Hazard{"TheRestartIsRefusedOnAStickFormattedAtTheSameStart",
               [](HazardTest&, Sim& sim) { sim.SetRestartPlan('E', {3, 0}); }, Nothing, true,
               [](HazardTest&, Sim& sim) {
                   char label[16] = {};
                   ASSERT_TRUE(sim.GetVolumeInformationA("E:\\", label, sizeof label, nullptr, nullptr, nullptr,
                                                         nullptr, 0));
                   EXPECT_STREQ(label, "USBHDDBOOT");
               },
               kLargeStickSectors, 0},
        // A 32-bit program on 64-bit Windows: the class installer refuses
        // it (ERROR_IN_WOW64), so the program does not ask.
        Hazard{"ThirtyTwoBitProgramOnSixtyFourBitWindows", [](HazardTest&, Sim& sim) { sim.SetWow64(true); }, Nothing,
               true,
               [](HazardTest&, Sim& sim) {
                   EXPECT_EQ(sim.InstallerCallCount(), 0u);
                   EXPECT_EQ(sim.RestartCount(), 0u);
               }},
        // The desktop opens the volume again after every unlock: the
        // restart is taken but left for later (DI_NEEDRESTART), three times.
        Hazard{"TheRestartIsLeftForLater", Nothing,
               [](HazardTest&, Sim& sim) { sim.Volumes().SetDesktopHolds('E', true); }, true,
               [](HazardTest&, Sim& sim) {
                   EXPECT_EQ(sim.InstallerCallCount(), 3u);
                   EXPECT_EQ(sim.RestartCount(), 0u);
               }},
        // The registry's value "1" names the fixed disk, not the stick whose
        // device number is 1: the stick is found by its interface.
        Hazard{"TheEnumValueNameIsNotTheDeviceNumber", Nothing,
               [](HazardTest&, Sim& sim) {
                   sim.SetRegistryString(kDiskEnumKey, std::to_string(kStickDeviceNumber), kFixedDiskId);
               },
               true,
               [](HazardTest& test, Sim& sim) {
                   EXPECT_EQ(sim.RestartedDrives(), std::vector<char>{'E'});
                   EXPECT_STREQ(test.TheDialog().m_deviceInstanceId, kStickInstanceId);
               }},
        // The restarted stick stays away and another one, used too, takes
        // its letter: the letter shows a file system the build did not write.
        // The other stick is made before the program starts: plugged in
        // and out while the dialog runs, it would make the dialog rescan.
        Hazard{"TheLetterComesBackWithAnotherFileSystem",
               [](HazardTest& test, Sim& sim) {
                   std::shared_ptr<EmulatedScsiDisk> other =
                       test.UsedStick(kSmallStickSectors, 0, "OTHERSTICK", kOldSerial + 1);
                   sim.SetRestartPlan('E', {0, std::nullopt});
                   // It comes half a second after the restart took the stick away.
                   auto plugged = std::make_shared<std::atomic<bool>>(false);
                   sim.SetDeviceChangeListener([&sim, other, plugged](std::uint32_t event) {
                       headless::BroadcastDeviceChange(event);
                       if (event != platform::kDbtDeviceRemoveComplete || sim.RestartedDrives().empty()) return;
                       if (plugged->exchange(true)) return;
                       sim.ScheduleAt(sim.clock() + 500, [&sim, other] { sim.AddDrive('E', DRIVE_REMOVABLE, other); });
                   });
               },
               Nothing, false,
               [](HazardTest&, Sim& sim) {
                   const std::vector<Sim::SimFile> files = sim.Files('E');
                   ASSERT_EQ(files.size(), 1u) << "a file was written onto the other stick";
                   EXPECT_EQ(files[0].name, kOldFile);
               }}),
    [](const ::testing::TestParamInfo<Hazard>& info) { return std::string(info.param.name); });

// A program started by a double click runs elevated only when its manifest
// asks for it (requireAdministrator); without, Windows refuses it the raw
// volume for reading and writing, and nothing of a make reaches the disk.
bool ManifestAsksForAdministrator(const std::string& manifest) {
    static const std::regex level(R"(<requestedExecutionLevel\s+level="requireAdministrator")");
    return std::regex_search(manifest, level);
}

std::string ReadManifest() {
    std::ifstream file(VORN_MANIFEST_SOURCE);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST_F(HazardTest, TheManifestAsksForTheRightsThatARawVolumeNeeds) {
    const std::string manifest = ReadManifest();
    ASSERT_FALSE(manifest.empty()) << VORN_MANIFEST_SOURCE;
    System().SetElevated(ManifestAsksForAdministrator(manifest));
    ASSERT_NO_FATAL_FAILURE(StartWith(UsedStick(kSmallStickSectors, kModeAlignedTo8192, "OLDSTICK", kOldSerial)));
    ASSERT_NO_FATAL_FAILURE(Make());
    EXPECT_EQ(LogLines().back().rfind("Done. Total time spent = ", 0), 0u) << LogLines().back();
    ExpectThePayloadOnTheNewVolume();
}

TEST_F(HazardTest, WithoutElevationTheDriveIsRefusedAndNothingIsWritten) {
    std::shared_ptr<EmulatedScsiDisk> stick = UsedStick(kSmallStickSectors, kModeAlignedTo8192, "OLDSTICK", kOldSerial);
    System().SetElevated(ManifestAsksForAdministrator("<requestedExecutionLevel level=\"asInvoker\"/>"));
    ASSERT_NO_FATAL_FAILURE(StartKeepingBoxes(stick));
    EXPECT_EQ(op_.BoxTexts(), std::vector<std::string>{"Issue Inquiry CMD Fail !!!"});
    stick->ClearTrace();
    ASSERT_NO_FATAL_FAILURE(Make());
    EXPECT_EQ(op_.BoxTexts().back(), "Issue GetCapacity CMD Fail !!!");
    EXPECT_EQ(LogLines(), std::vector<std::string>{"Can't get Devive GetCapacity.\n"});
    EXPECT_TRUE(stick->Trace().empty());
    const std::vector<Sim::SimFile> files = System().Files('E');
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, kOldFile);
}

}  // namespace
