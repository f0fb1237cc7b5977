// The device instance ID from the registry value of the disk's number, and
// the restart that needs it: what is stored, and which restarts happen.
#include <functional>
#include <ostream>

#include "tests/make/make_fixture.h"

namespace {

using Sim = platform::SimSystem;

struct IdentityCase {
    const char* name;
    std::function<void(Sim&)> registry;  // on top of an empty Enum key
    std::string expectedId;
};

// Shown in CTest's listing instead of the case's raw bytes.
void PrintTo(const IdentityCase& identityCase, std::ostream* out) { *out << identityCase.name; }

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

class DeviceIdentityTest : public MakeFixture, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(DeviceIdentityTest, StoresTheTrimmedUpperCasedIdOrNothing) {
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    // Replace the stick's value with the case's.
    System().SetRegistryValue(kDiskEnumKey, "1", {});
    GetParam().registry(System());
    ASSERT_NO_FATAL_FAILURE(Make());

    EXPECT_EQ(std::string(Dialog().m_deviceInstanceId), GetParam().expectedId);
    // The restart happens only with the configuration manager's own ID.
    const bool matches = GetParam().expectedId == kStickInstanceId;
    EXPECT_EQ(System().RestartCount(), matches ? 1u : 0u);
    EXPECT_EQ(System().ClassDevsCallCount(), matches ? 1u : 3u);
    // Either way the make goes on to the end.
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(LogLines().size(), 4u);
}

const std::string kLongId = std::string(259, 'X');

INSTANTIATE_TEST_SUITE_P(
    Values, DeviceIdentityTest,
    ::testing::Values(
        IdentityCase{"BlanksAndLowerCase",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", kStickRegistryValue); }, kStickInstanceId},
        IdentityCase{"NoValueForTheNumber", [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "2", kStickInstanceId); },
                     ""},
        IdentityCase{"EmptyValue", [](Sim&) {}, ""},
        IdentityCase{"ValueOfMoreThan512Bytes",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", std::string(600, 'A')); }, ""},
        IdentityCase{"Unterminated512Bytes",
                     [](Sim& sim) { sim.SetRegistryValue(kDiskEnumKey, "1", Bytes(std::string(512, 'A'))); }, ""},
        IdentityCase{"LongestIdThatFits", [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", "  " + kLongId + "  "); },
                     kLongId},
        IdentityCase{"OneCharacterTooLong",
                     [](Sim& sim) { sim.SetRegistryString(kDiskEnumKey, "1", kLongId + "X"); }, ""}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) { return std::string(info.param.name); });

TEST_F(MakeFixture, NoEnumKeyGivesAnEmptyIdAndTheMakeGoesOn) {
    disk_ = EmulatedScsiDisk::InMemory(kSmallStickSectors);
    System().AddDrive('E', DRIVE_REMOVABLE, disk_);
    System().AddDiskDevice('E', kStickDeviceNumber, kStickInstanceId);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(Make());
    EXPECT_STREQ(Dialog().m_deviceInstanceId, "");
    EXPECT_EQ(System().RestartCount(), 0u);
    EXPECT_EQ(System().Files('E').size(), kExpectedFiles.size());
    EXPECT_EQ(System().OpenRegistryKeyCount(), 0u);
}

// Each way the restart request fails: three attempts, no restart, and the
// make still ends with the eight files (the drive never went away).
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
                      RestartFailureCase{"IdFails", Sim::DeviceCall::DeviceId},
                      RestartFailureCase{"InstallParamsRefused", Sim::DeviceCall::SetClassInstallParams}),
    [](const ::testing::TestParamInfo<RestartFailureCase>& info) { return std::string(info.param.name); });

}  // namespace
