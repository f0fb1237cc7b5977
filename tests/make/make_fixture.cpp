#include "tests/make/make_fixture.h"

#include <fstream>
#include <iterator>

#include "tests/payload_expectations.h"

const std::vector<ExpectedFile> kExpectedFiles = [] {
    std::vector<ExpectedFile> files;
    for (const PayloadFile& file : kPayloadFiles) {
        files.push_back({file.name, payload_expectations::FinalAttributes(file)});
    }
    return files;
}();

std::vector<std::uint8_t> PayloadBytes(const std::string& name) {
    std::ifstream file(std::string(VORN_PAYLOAD_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void MakeFixture::SetUp() {
    DialogFixture::SetUp();
    PlugFixed('C');
}

void MakeFixture::StartWithStick(std::uint32_t sectors, std::uint32_t blockLength) {
    disk_ = EmulatedScsiDisk::InMemory(sectors, blockLength);
    System().AddDrive('E', DRIVE_REMOVABLE, disk_);
    System().AddDiskDevice('C', 7, "IDE\\DISKFIXED\\0000");
    System().AddDiskDevice('E', kStickDeviceNumber, kStickInstanceId);
    System().SetRegistryString(kDiskEnumKey, std::to_string(kStickDeviceNumber), kStickRegistryValue);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    op_.Forget();
}

void MakeFixture::Make(int answer) {
    op_.Answer(answer);
    ASSERT_TRUE(headless::ClickButton(window_, IDC_MAKE_BUTTON));
    WaitIdle();
    ASSERT_TRUE(framework::WaitForWorkerThreads(kWaitLimit)) << "the worker did not end";
    WaitIdle();
}
