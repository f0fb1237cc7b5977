// The device instance ID: the registry value named by the disk's number
// when a present disk interface with that ID reports the same number; else
// the ID of the present disk whose interface reports the number. Either way
// the stick is the disk restarted, and only the stick.
#include <functional>
#include <ostream>

#include "tests/make/make_fixture.h"

namespace {

using Sim = platform::SimSystem;

struct IdentityCase {
    const char* name;
    std::function<void(Sim&)> registry;  // on top of an empty Enum key
};

// Shown in CTest's listing instead of the case's raw bytes.
void PrintTo(const IdentityCase& identityCase, std::ostream* out) { *out << identityCase.name; }

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class DeviceIdentityTest : public MakeFixture, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(DeviceIdentityTest, FindsTheStickWhateverTheRegistrySays) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    // Replace the stick's value with the case's.
    System().SetRegistryValue(kDiskEnumKey, "1", {});
    GetParam().registry(System());
    ASSERT_NO_FATAL_FAILURE(Make());

    EXPECT_STREQ(Dialog().m_deviceInstanceId, kStickInstanceId);
    EXPECT_EQ(Dialog().m_deviceNumber, kStickDeviceNumber);
    EXPECT_EQ(System().RestartedDrives(), std::vector<char>{'E'});
    EXPECT_EQ(System().ClassDevsCallCount(), 1u);
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(LogLines().size(), 4u);
    EXPECT_EQ(System().OpenRegistryKeyCount(), 0u);
    EXPECT_EQ(System().OpenDeviceListCount(), 0u);
}

const std::string kLongId = std::string(259, 'X');

INSTANTIATE_TEST_SUITE_P(
    Values, DeviceIdentityTest,
    ::testing::Values(
        // The registry's ID, trimmed and upper-cased, is the stick's.
        IdentityCase{"BlanksAndLowerCase",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", kStickRegistryValue); }},
        // The value names the fixed disk: its number is not the stick's.
        IdentityCase{"NamesAnotherDisk", [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", "IDE\\DISKFIXED\\0000"); }},
        // The value names a stick that is no longer there.
        IdentityCase{"NamesAnAbsentDisk",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", "USBSTOR\\DISK&VEN_GONE&PROD_STICK\\0009"); }},
        IdentityCase{"NoValueForTheNumber", [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "2", kStickInstanceId); }},
        IdentityCase{"EmptyValue", [](Sim&) {}},
        IdentityCase{"ValueOfMoreThan512Bytes",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", std::string(600, 'A')); }},
        IdentityCase{"Unterminated512Bytes",
                     [](Sim& sim) { sim.SetRegistryValue(kDiskEnumKey, "1", Bytes(std::string(512, 'A'))); }},
        IdentityCase{"LongestIdThatFitsButNamesNoDisk",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", "  " + kLongId + "  "); }}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.name); });

TEST_F(MakeFixture, NoEnumKeyStillFindsTheStickByItsInterface) {
    disk_ = EmulatedScsiDisk::InMemory(kSmallStickSectors);
    System().AddDrive('E', DRIVE_REMOVABLE, disk_);
    System().AddDiskDevice('E', kStickDeviceNumber, kStickInstanceId);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(Make());
    EXPECT_STREQ(Dialog().m_deviceInstanceId, kStickInstanceId);
    EXPECT_EQ(System().RestartCount(), 1u);
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(System().OpenRegistryKeyCount(), 0u);
}

// Neither the registry nor the disk interfaces find the disk: the make
// stops before the worker, as after any failure of its first half.
struct IdentityFailureCase {
    const char* name;
    Sim::DeviceCall call;
};

void PrintTo(const IdentityFailureCase& failureCase, std::ostream* out) { *out << failureCase.name; }

class IdentityFailureTest : public MakeFixture, public ::testing::WithParamInterface<IdentityFailureCase> {};

TEST_P(IdentityFailureTest, GetDiskIdFailWhenNoDiskConfirmsTheNumber) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    System().FailDeviceCall(GetParam().call);
    ASSERT_NO_FATAL_FAILURE(Make());
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log.back(), "Get Disk ID Fail\n");
    EXPECT_EQ(op_.BoxTexts().back(), "Get Disk ID Fail");
    EXPECT_EQ(System().ClassDevsCallCount(), 0u) << "the worker ran";
    EXPECT_TRUE(System().Files('E').empty());
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_EQ(System().OpenDeviceListCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Calls, IdentityFailureTest,
                         ::testing::Values(IdentityFailureCase{"NoInterfaceList", Sim::DeviceCall::GetInterfaceDevs},
                                           IdentityFailureCase{"NoDeviceIds", Sim::DeviceCall::DeviceId}),
                         [](const ::testing::TestParamInfo<IdentityFailureCase>& info) {
                             return std::string(info.param.name);
                         });

// Each way the restart request fails: three attempts, no restart; the disk
// is then told to read its partition table again, and the make still ends
// with the eight files (the drive never went away).
struct RestartFailureCase {
    const char* name;
    Sim::DeviceCall call;
};

void PrintTo(const RestartFailureCase& failureCase, std::ostream* out) { *out << failureCase.name; }

class RestartFailureTest : public MakeFixture, public ::testing::WithParamInterface<RestartFailureCase> {};

TEST_P(RestartFailureTest, ThreeAttemptsThenTheWaitAsUsual) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    System().FailDeviceCall(GetParam().call);
    ASSERT_NO_FATAL_FAILURE(Make());
    EXPECT_EQ(System().ClassDevsCallCount(), 3u);
    EXPECT_EQ(System().RestartCount(), 0u);
    EXPECT_EQ(System().InstallerCallCount(), 0u);
    EXPECT_EQ(System().OpenDeviceListCount(), 0u);
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(op_.Boxes().size(), 1u);
    EXPECT_EQ(LogLines().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, RestartFailureTest,
    ::testing::Values(RestartFailureCase{"NoDeviceList", Sim::DeviceCall::GetClassDevs},
                      RestartFailureCase{"StatusFails", Sim::DeviceCall::DevNodeStatus},
                      RestartFailureCase{"InstallParamsRefused", Sim::DeviceCall::SetClassInstallParams}),
    [](const ::testing::TestParamInfo<RestartFailureCase>& info) { return std::string(info.param.name); });

}  // namespace
