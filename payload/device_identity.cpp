// The device instance ID of the disk behind the selected drive letter: the
// disk's device number from its raw volume, then the registry value of that
// number under the disk driver's enumeration key.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/system_services.h"
#include "ui/make_disk_dlg.h"

namespace {

constexpr const char* kVolumePathFormat = "\\\\.\\%c:";
constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr std::size_t kVolumePathLength = 16;
constexpr std::size_t kValueNameLength = 16;
// The registry value is read into this many bytes.
constexpr std::uint32_t kRegistryBufferSize = 512;

bool IsBlank(char character) { return std::isspace(static_cast<unsigned char>(character)) != 0; }

// The value's text without leading and trailing white space, upper-cased.
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

}  // namespace

bool CMakeDiskDlg::QueryDeviceInstanceId() {
    platform::SystemServices& system = platform::Sys();
    char volumePath[kVolumePathLength];
    std::snprintf(volumePath, sizeof volumePath, kVolumePathFormat, static_cast<char>(m_driveLetter));

    platform::Handle volume = system.CreateFileA(volumePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (volume == kInvalidHandle) return false;
    platform::STORAGE_DEVICE_NUMBER number{};
    std::uint32_t returned = 0;
    const bool gotNumber = system.DeviceIoControl(volume, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number,
                                                  sizeof number, &returned);
    system.CloseHandle(volume);
    if (!gotNumber) return false;

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
        if (id.size() >= kDeviceInstanceIdLength) id.clear();
    }
    std::snprintf(m_deviceInstanceId, kDeviceInstanceIdLength, "%s", id.c_str());
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
