// The device instance ID of the disk behind the selected drive letter: the
// disk's device number from its raw volume, then the registry value of that
// number under the disk driver's enumeration key. That value's name is the
// disk's place in the driver's enumeration, which is its device number only
// until disks come and go; so the ID counts only when a present disk
// interface with that ID reports the same number, and otherwise the disk
// whose interface reports the number gives the ID.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/system_services.h"
#include "ui/make_disk_dlg.h"

namespace {

constexpr const char* kVolumePathFormat = "\\\\.\\%c:";
constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr std::size_t kVolumePathLength = 16;
constexpr std::size_t kValueNameLength = 16;
// The registry value is read into this many bytes.
constexpr std::uint32_t kRegistryBufferSize = 512;
// The configuration manager's IDs are read into this many characters.
constexpr std::uint32_t kDeviceIdBufferLength = 520;
// Interface paths longer than this are not taken.
constexpr std::uint32_t kMaxInterfaceDetailSize = 4096;

bool IsBlank(char character) { return std::isspace(static_cast<unsigned char>(character)) != 0; }

// The text without leading and trailing white space, upper-cased.
std::string TrimmedUpper(const char* text) {
    std::string value(text);
    const auto first = std::find_if_not(value.begin(), value.end(), IsBlank);
    const auto last = std::find_if_not(value.rbegin(), value.rend(), IsBlank).base();
    std::string trimmed = first < last ? std::string(first, last) : std::string();
    for (char& character : trimmed) {
        character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    }
    return trimmed;
}

bool SameDisk(const platform::STORAGE_DEVICE_NUMBER& left, const platform::STORAGE_DEVICE_NUMBER& right) {
    return left.DeviceType == right.DeviceType && left.DeviceNumber == right.DeviceNumber;
}

// The device number reported through a handle of the path, opened with the
// access given; false when the path cannot be opened or does not answer.
bool ReadDeviceNumber(const char* path, std::uint32_t access, platform::STORAGE_DEVICE_NUMBER* number) {
    platform::SystemServices& system = platform::Sys();
    platform::Handle handle =
        system.CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (handle == kInvalidHandle) return false;
    std::uint32_t returned = 0;
    const bool answered =
        system.DeviceIoControl(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, number, sizeof *number, &returned);
    system.CloseHandle(handle);
    return answered;
}

struct PresentDisk {
    std::string id;  // trimmed, upper-cased
    platform::STORAGE_DEVICE_NUMBER number;
};

// One disk interface of the set: its device's ID and the number its path
// reports.
bool DescribeInterface(platform::DevInfoSet set, platform::SP_DEVICE_INTERFACE_DATA& interfaceData,
                       PresentDisk* disk) {
    platform::SystemServices& system = platform::Sys();
    std::uint32_t required = 0;
    system.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &required, nullptr);
    if (required < sizeof(platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A) || required > kMaxInterfaceDetailSize) {
        return false;
    }
    // Whole words, so that the detail structure is aligned; one more byte
    // than asked for keeps the path terminated whatever the system wrote.
    std::vector<std::uint32_t> storage(required / sizeof(std::uint32_t) + 1, 0);
    auto* detail = reinterpret_cast<platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(platform::SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    platform::SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!system.SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, required, nullptr, &device)) {
        return false;
    }
    if (!ReadDeviceNumber(detail->DevicePath, 0, &disk->number)) return false;
    char id[kDeviceIdBufferLength] = {};
    if (system.CM_Get_Device_IDA(device.DevInst, id, kDeviceIdBufferLength, 0) != CR_SUCCESS) return false;
    disk->id = TrimmedUpper(id);
    return !disk->id.empty();
}

// The present disks by their interfaces, each with its ID and number.
std::vector<PresentDisk> ListPresentDisks() {
    platform::SystemServices& system = platform::Sys();
    std::vector<PresentDisk> disks;
    platform::DevInfoSet set =
        system.SetupDiGetClassDevsA(&kGuidDevInterfaceDisk, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == kInvalidHandle) return disks;
    for (std::uint32_t index = 0;; ++index) {
        platform::SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!system.SetupDiEnumDeviceInterfaces(set, nullptr, &kGuidDevInterfaceDisk, index, &interfaceData)) break;
        PresentDisk disk;
        if (DescribeInterface(set, interfaceData, &disk)) disks.push_back(std::move(disk));
    }
    system.SetupDiDestroyDeviceInfoList(set);
    return disks;
}

}  // namespace

bool CMakeDiskDlg::QueryDeviceInstanceId() {
    char volumePath[kVolumePathLength];
    std::snprintf(volumePath, sizeof volumePath, kVolumePathFormat, static_cast<char>(m_driveLetter));
    platform::STORAGE_DEVICE_NUMBER number{};
    if (!ReadDeviceNumber(volumePath, GENERIC_READ, &number)) return false;

    char valueName[kValueNameLength];
    std::snprintf(valueName, sizeof valueName, "%u", number.DeviceNumber);

    // A value that is not a terminated text within the buffer, or that does
    // not fit the stored ID, counts as not found: a cut-off ID would never
    // name the device.
    std::string id;
    char value[kRegistryBufferSize] = {};
    if (ReadRegistryString(kHkeyLocalMachine, kDiskEnumKey, valueName, value, kRegistryBufferSize) == 1 &&
        std::memchr(value, '\0', sizeof value) != nullptr) {
        id = TrimmedUpper(value);
    }

    // The registry's ID stands when a present disk has it and the volume's
    // number; else the present disk with that number gives its own.
    const std::vector<PresentDisk> disks = ListPresentDisks();
    const bool confirmed = std::any_of(disks.begin(), disks.end(), [&](const PresentDisk& disk) {
        return SameDisk(disk.number, number) && disk.id == id;
    });
    if (!confirmed) {
        id.clear();
        for (const PresentDisk& disk : disks) {
            if (SameDisk(disk.number, number)) {
                id = disk.id;
                break;
            }
        }
    }
    if (id.empty() || id.size() >= kDeviceInstanceIdLength) return false;
    std::snprintf(m_deviceInstanceId, kDeviceInstanceIdLength, "%s", id.c_str());
    m_deviceNumber = number.DeviceNumber;
    return true;
}

int CMakeDiskDlg::ReadRegistryString(platform::RegKey root, const char* keyPath, const char* valueName,
                                     char* buffer, std::uint32_t bufferSize) {
    platform::SystemServices& system = platform::Sys();
    platform::RegKey key = nullptr;
    if (system.RegOpenKeyExA(root, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    std::uint32_t type = 0;
    std::uint32_t size = bufferSize;
    const long status =
        system.RegQueryValueExA(key, valueName, &type, reinterpret_cast<std::uint8_t*>(buffer), &size);
    system.RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}
