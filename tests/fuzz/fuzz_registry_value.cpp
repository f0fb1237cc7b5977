// The device instance ID as the dialog reads it: the registry value named
// by the disk's device number, with any bytes and any length, and the disk
// number the volume reports.
#include <cstring>
#include <string>
#include <vector>

#include "winmodel/emulated_scsi_disk.h"
#include "tests/sim/sim_system.h"
#include "tests/fuzz/fuzz_input.h"
#include "ui/make_disk_dlg.h"

namespace {

constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr std::size_t kLongestValue = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static platform::SimSystem* system = [] {
        auto* created = new platform::SimSystem;
        created->AddDrive('E', DRIVE_REMOVABLE, EmulatedScsiDisk::InMemory(64));
        platform::InstallSystemServices(created);
        return created;
    }();
    FuzzInput input(data, size);
    std::uint32_t deviceNumber = input.Take<std::uint8_t>() & 1 ? 1 : input.Take<std::uint32_t>();
    system->Volumes().SetDeviceNumber('E', deviceNumber);
    std::vector<std::uint8_t> value = input.TakeBytes(kLongestValue);
    system->SetRegistryValue(kDiskEnumKey, std::to_string(deviceNumber), value);

    CMakeDiskDlg dialog;
    dialog.m_driveLetter = 'E';
    std::memset(dialog.m_deviceInstanceId, 'Z', sizeof dialog.m_deviceInstanceId);
    if (dialog.QueryDeviceInstanceId()) {
        // Always a terminated text within the field, trimmed and upper-cased.
        const char* id = dialog.m_deviceInstanceId;
        const void* end = std::memchr(id, '\0', sizeof dialog.m_deviceInstanceId);
        FUZZ_CHECK(end != nullptr);
        std::string text(id);
        FUZZ_CHECK(text.empty() || (text.front() != ' ' && text.back() != ' '));
        for (char c : text) FUZZ_CHECK(!(c >= 'a' && c <= 'z'));
    }
    return 0;
}
