// Files on the simulated PC's mounted volumes: "E:\NAME" paths in the root
// of a plugged-in drive, created, written, closed and given attributes.
#include <algorithm>
#include <cctype>

#include "tests/sim/sim_handles.h"
#include "tests/sim/sim_last_error.h"
#include "tests/sim/sim_system.h"

namespace platform {

namespace {

constexpr std::uint32_t kErrorPathNotFound = 3;    // ERROR_PATH_NOT_FOUND
constexpr std::uint32_t kAttributeArchive = 0x20;  // FILE_ATTRIBUTE_ARCHIVE, set on every new file
// The attributes SetFileAttributesA can set.
constexpr std::uint32_t kSettableAttributes = 0x27;

std::string Upper(std::string text) {
    for (char& character : text) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    return text;
}

// "E:\NAME" gives the letter and the name; false for any other path.
bool SplitRootPath(const char* path, char* letter, std::string* name) {
    if (path == nullptr) return false;
    const std::string text(path);
    if (text.size() < 4 || text[1] != ':' || text[2] != '\\' || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    *name = text.substr(3);
    if (name->find('\\') != std::string::npos) return false;
    *letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return true;
}

}  // namespace

const SimSystem::FileFault* SimSystem::FindFileFault(FileCall call, const std::string& key) const {
    for (const FileFault& fault : fileFaults_) {
        if (fault.call == call && fault.key == key) return &fault;
    }
    return nullptr;
}

void SimSystem::FailFileCall(FileCall call, const std::string& name, std::uint32_t error) {
    std::lock_guard lock(servicesMutex_);
    fileFaults_.push_back(FileFault{call, Upper(name), error});
}

std::vector<SimSystem::SimFile> SimSystem::Files(char letter) const {
    std::lock_guard lock(servicesMutex_);
    std::vector<SimFile> result;
    auto drive = files_.find(letter);
    if (drive == files_.end()) return result;
    for (const auto& entry : drive->second) result.push_back(entry.second);
    return result;
}

std::optional<SimSystem::SimFile> SimSystem::File(char letter, const std::string& name) const {
    for (SimFile& file : Files(letter)) {
        if (Upper(file.name) == Upper(name)) return file;
    }
    return std::nullopt;
}

std::size_t SimSystem::OpenFileCount() const {
    std::lock_guard lock(servicesMutex_);
    return openFiles_.size();
}

bool SimSystem::IsFileHandle(Handle handle) const {
    std::lock_guard lock(servicesMutex_);
    return openFiles_.count(handle) != 0;
}

Handle SimSystem::CreateMountedFile(const char* path, std::uint32_t disposition) {
    char letter = 0;
    std::string name;
    if (!SplitRootPath(path, &letter, &name) || name.empty()) return sim::Fail(kErrorPathNotFound, kInvalidHandle);
    const char root[] = {letter, ':', '\\', '\0'};
    if (volumes_.GetDriveType(root) == DRIVE_NO_ROOT_DIR) return sim::Fail(kErrorPathNotFound, kInvalidHandle);
    const std::int32_t now = clock();

    std::lock_guard lock(servicesMutex_);
    const std::string key = Upper(name);
    if (const FileFault* fault = FindFileFault(FileCall::Create, key)) return sim::Fail(fault->error, kInvalidHandle);
    if (disposition != CREATE_ALWAYS) return sim::Fail(ERROR_NOT_SUPPORTED, kInvalidHandle);
    auto& drive = files_[letter];
    auto existing = std::find_if(drive.begin(), drive.end(), [&](const auto& entry) { return entry.first == key; });
    if (existing != drive.end()) {
        // Replacing a read-only, hidden or system file is refused.
        if ((existing->second.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) !=
            0) {
            return sim::Fail(ERROR_ACCESS_DENIED, kInvalidHandle);
        }
        existing->second.data.clear();
        existing->second.attributes = kAttributeArchive;
    } else {
        drive.emplace_back(key, SimFile{name, {}, kAttributeArchive, now});
    }
    Handle handle = sim::ServiceHandle(nextServiceHandle_);
    openFiles_[handle] = OpenFile{letter, key};
    return handle;
}

bool SimSystem::CloseFile(Handle handle) {
    std::lock_guard lock(servicesMutex_);
    auto open = openFiles_.find(handle);
    if (open == openFiles_.end()) return sim::Fail(ERROR_INVALID_HANDLE, false);
    const FileFault* fault = FindFileFault(FileCall::Close, open->second.key);
    openFiles_.erase(open);
    if (fault != nullptr) return sim::Fail(fault->error, false);
    return true;
}

bool SimSystem::WriteFile(Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    std::lock_guard lock(servicesMutex_);
    auto open = openFiles_.find(handle);
    if (open == openFiles_.end()) return sim::Fail(ERROR_INVALID_HANDLE, false);
    if (const FileFault* fault = FindFileFault(FileCall::Write, open->second.key)) return sim::Fail(fault->error, false);
    // The drive went away under the open file: the write goes nowhere.
    auto drive = files_.find(open->second.letter);
    if (drive == files_.end()) return sim::Fail(kErrorDeviceNotConnected, false);
    auto file = std::find_if(drive->second.begin(), drive->second.end(),
                             [&](const auto& entry) { return entry.first == open->second.key; });
    if (file == drive->second.end()) return sim::Fail(kErrorDeviceNotConnected, false);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    file->second.data.insert(file->second.data.end(), bytes, bytes + size);
    if (written != nullptr) *written = size;
    return true;
}

bool SimSystem::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    char letter = 0;
    std::string name;
    if (!SplitRootPath(path, &letter, &name)) return sim::Fail(kErrorPathNotFound, false);
    std::lock_guard lock(servicesMutex_);
    const std::string key = Upper(name);
    if (const FileFault* fault = FindFileFault(FileCall::SetAttributes, key)) return sim::Fail(fault->error, false);
    auto drive = files_.find(letter);
    if (drive == files_.end()) return sim::Fail(ERROR_FILE_NOT_FOUND, false);
    auto file = std::find_if(drive->second.begin(), drive->second.end(),
                             [&](const auto& entry) { return entry.first == key; });
    if (file == drive->second.end()) return sim::Fail(ERROR_FILE_NOT_FOUND, false);
    file->second.attributes = attributes & kSettableAttributes;
    return true;
}

}  // namespace platform
