// The model's registry: values under HKEY_LOCAL_MACHINE, such as the disk
// driver's Disk\Enum values that name each disk's device instance ID.
#include <algorithm>
#include <cctype>

#include "winmodel/windows_model.h"

namespace platform {

namespace {

constexpr std::uint32_t kRegSz = 1;      // REG_SZ: text with its terminating zero
constexpr std::uint32_t kRegBinary = 3;  // REG_BINARY

std::string Upper(std::string text) {
    for (char& character : text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

}  // namespace

void WindowsModel::SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                                    std::vector<std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    registry_[Upper(keyPath)][Upper(valueName)] = std::move(data);
}

void WindowsModel::SetRegistryString(const std::string& keyPath, const std::string& valueName,
                                     const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SetRegistryValue(keyPath, valueName, std::move(data));
}

void WindowsModel::RemoveRegistryValue(const std::string& keyPath, const std::string& valueName) {
    std::lock_guard lock(mutex_);
    auto key = registry_.find(Upper(keyPath));
    if (key != registry_.end()) key->second.erase(Upper(valueName));
}

std::size_t WindowsModel::OpenRegistryKeyCount() const {
    std::lock_guard lock(mutex_);
    return openKeys_.size();
}

long WindowsModel::RegOpenKeyExA(RegKey root, const char* subKey, std::uint32_t, std::uint32_t, RegKey* result) {
    if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (root != kHkeyLocalMachine) return ERROR_INVALID_HANDLE;
    std::lock_guard lock(mutex_);
    const std::string key = Upper(subKey);
    if (registry_.count(key) == 0) return ERROR_FILE_NOT_FOUND;
    RegKey handle = NewServiceHandle();
    openKeys_[handle] = key;
    *result = handle;
    return ERROR_SUCCESS;
}

long WindowsModel::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                    std::uint32_t* dataSize) {
    std::lock_guard lock(mutex_);
    auto open = openKeys_.find(key);
    if (open == openKeys_.end()) return ERROR_INVALID_HANDLE;
    const auto& values = registry_[open->second];
    auto value = values.find(Upper(valueName != nullptr ? valueName : ""));
    if (value == values.end()) return ERROR_FILE_NOT_FOUND;
    const std::vector<std::uint8_t>& bytes = value->second;
    if (type != nullptr) *type = !bytes.empty() && bytes.back() == 0 ? kRegSz : kRegBinary;
    if (dataSize == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) std::copy(bytes.begin(), bytes.end(), data);
    *dataSize = size;
    return ERROR_SUCCESS;
}

long WindowsModel::RegCloseKey(RegKey key) {
    std::lock_guard lock(mutex_);
    return openKeys_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace platform
