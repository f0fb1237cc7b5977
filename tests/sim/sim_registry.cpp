// The registry of the simulated PC: values under HKEY_LOCAL_MACHINE.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "tests/sim/sim_handles.h"
#include "tests/sim/sim_system.h"

namespace platform {

namespace {
std::string Upper(std::string text) {
    for (char& character : text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}
}  // namespace

void SimSystem::SetRegistryValue(const std::string& keyPath, const std::string& valueName,
                                 std::vector<std::uint8_t> data) {
    std::lock_guard lock(servicesMutex_);
    registry_[Upper(keyPath)][Upper(valueName)] = std::move(data);
}

void SimSystem::SetRegistryString(const std::string& keyPath, const std::string& valueName,
                                  const std::string& text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    SetRegistryValue(keyPath, valueName, std::move(data));
}

std::size_t SimSystem::OpenRegistryKeyCount() const {
    std::lock_guard lock(servicesMutex_);
    return openKeys_.size();
}

long SimSystem::RegOpenKeyExA(RegKey root, const char* subKey, std::uint32_t, std::uint32_t,
                              RegKey* result) {
    if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (root != kHkeyLocalMachine) return ERROR_INVALID_HANDLE;
    std::lock_guard lock(servicesMutex_);
    const std::string key = Upper(subKey);
    if (registry_.count(key) == 0) return ERROR_FILE_NOT_FOUND;
    RegKey handle = sim::ServiceHandle(nextServiceHandle_);
    openKeys_[handle] = key;
    *result = handle;
    return ERROR_SUCCESS;
}

long SimSystem::RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type,
                                 std::uint8_t* data, std::uint32_t* dataSize) {
    constexpr std::uint32_t kRegBinary = 3;  // REG_BINARY; strings are REG_SZ (1)
    constexpr std::uint32_t kRegSz = 1;
    std::lock_guard lock(servicesMutex_);
    auto open = openKeys_.find(key);
    if (open == openKeys_.end()) return ERROR_INVALID_HANDLE;
    const auto& values = registry_[open->second];
    auto value = values.find(Upper(valueName != nullptr ? valueName : ""));
    if (value == values.end()) return ERROR_FILE_NOT_FOUND;
    const std::vector<std::uint8_t>& bytes = value->second;
    if (type != nullptr) {
        const bool terminated = !bytes.empty() && bytes.back() == 0;
        *type = terminated ? kRegSz : kRegBinary;
    }
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

long SimSystem::RegCloseKey(RegKey key) {
    std::lock_guard lock(servicesMutex_);
    return openKeys_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

}  // namespace platform
