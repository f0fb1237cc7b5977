// Files on the model's mounted volumes: "E:\NAME" in the root of a present
// drive, created, written, closed and given attributes through the volume's
// mounted file system (whatever it believes the disk holds); that file
// system's label and serial number, and the files of its root.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "winmodel/last_error.h"
#include "winmodel/root_path.h"
#include "winmodel/windows_model.h"

namespace platform {

namespace {
constexpr std::uint32_t kFileAttributeArchive = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
// The attributes SetFileAttributesA can give a file on a FAT volume.
constexpr std::uint32_t kSettableAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | kFileAttributeArchive;
// An existing file with one of these cannot be replaced by CREATE_ALWAYS
// unless the caller asks for the same attributes, which the program never does.
constexpr std::uint32_t kAttributesThatRefuseReplacing =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
}  // namespace

std::size_t WindowsModel::OpenFileCount() const {
    std::lock_guard lock(mutex_);
    return files_.size();
}

std::shared_ptr<WindowsModel::OpenFile> WindowsModel::TakeFile(Handle handle) {
    std::lock_guard lock(mutex_);
    auto found = files_.find(handle);
    if (found == files_.end()) return nullptr;
    std::shared_ptr<OpenFile> file = std::move(found->second);
    files_.erase(found);
    return file;
}

Handle WindowsModel::CreateMountedFile(const char* path, std::uint32_t disposition) {
    RootPath split;
    if (std::uint32_t error = SplitRootPath(path, &split); error != 0) return model::Fail(error, kInvalidHandle);
    const std::uint64_t plugging = volumes_.Plugging(split.letter);
    std::shared_ptr<ModelDrive> drive = volumes_.Drive(split.letter);
    if (drive == nullptr || !drive->IsPresent()) return model::Fail(kErrorPathNotFound, kInvalidHandle);
    // Files on the volume are only ever made new (CFile::modeCreate).
    if (disposition != CREATE_ALWAYS) return model::Fail(ERROR_NOT_SUPPORTED, kInvalidHandle);
    std::uint32_t error = 0;
    std::shared_ptr<MountedVolume> volume = volumes_.Mounted(split.letter, &error);
    if (volume == nullptr) return model::Fail(error != 0 ? error : kErrorUnrecognizedVolume, kInvalidHandle);
    if (std::optional<std::uint32_t> existing = volume->Attributes(split.name);
        existing && (*existing & kAttributesThatRefuseReplacing) != 0) {
        return model::Fail(ERROR_ACCESS_DENIED, kInvalidHandle);
    }
    std::unique_ptr<MountedFile> file = volume->Create(split.name, &error);
    if (file == nullptr) return model::Fail(error != 0 ? error : ERROR_ACCESS_DENIED, kInvalidHandle);
    auto open = std::make_shared<OpenFile>(OpenFile{split.letter, plugging, split.name, std::move(file)});
    std::lock_guard lock(mutex_);
    Handle handle = NewServiceHandle();
    files_[handle] = std::move(open);
    return handle;
}

bool WindowsModel::WriteFile(Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    std::shared_ptr<OpenFile> file;
    {
        std::lock_guard lock(mutex_);
        auto found = files_.find(handle);
        if (found == files_.end()) return model::Fail(ERROR_INVALID_HANDLE, false);
        file = found->second;
    }
    // The disk went away under the open file: the write goes nowhere.
    if (file->plugging != volumes_.Plugging(file->letter)) return model::Fail(kErrorDeviceNotConnected, false);
    if (std::uint32_t error = file->file->Write(data, size); error != 0) return model::Fail(error, false);
    if (written != nullptr) *written = size;
    return true;
}

bool WindowsModel::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    RootPath split;
    if (std::uint32_t error = SplitRootPath(path, &split); error != 0) return model::Fail(error, false);
    std::shared_ptr<ModelDrive> drive = volumes_.Drive(split.letter);
    if (drive == nullptr || !drive->IsPresent()) return model::Fail(kErrorPathNotFound, false);
    std::uint32_t error = 0;
    std::shared_ptr<MountedVolume> volume = volumes_.Mounted(split.letter, &error);
    if (volume != nullptr) error = volume->SetAttributes(split.name, attributes & kSettableAttributes);
    if (error != 0) {
        OnAttributesFailed(split.letter, split.name);
        return model::Fail(error, false);
    }
    return true;
}

namespace {

// "E:\" (or "E:"): the letter, upper-cased; 0 for anything else.
char RootLetter(const char* rootPath) {
    if (rootPath == nullptr || !std::isalpha(static_cast<unsigned char>(rootPath[0])) || rootPath[1] != ':' ||
        !(rootPath[2] == '\0' || (rootPath[2] == '\\' && rootPath[3] == '\0'))) {
        return 0;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(rootPath[0])));
}

// Copies text with its terminating zero into a buffer of size bytes; false
// when it does not fit.
bool CopyText(const std::string& text, char* buffer, std::uint32_t size) {
    if (buffer == nullptr) return true;
    if (text.size() + 1 > size) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

void FillFindData(const DirectoryEntry& entry, WIN32_FIND_DATAA* data) {
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = entry.attributes;
    data->nFileSizeHigh = static_cast<std::uint32_t>(entry.size >> 32);
    data->nFileSizeLow = static_cast<std::uint32_t>(entry.size);
    std::snprintf(data->cFileName, sizeof data->cFileName, "%s", entry.name.c_str());
    if (entry.shortName != entry.name) {
        std::snprintf(data->cAlternateFileName, sizeof data->cAlternateFileName, "%s", entry.shortName.c_str());
    }
}

constexpr std::uint32_t kFatMaxComponentLength = 255;
constexpr std::uint32_t kFatFileSystemFlags = 0x2 | 0x4;  // FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK

}  // namespace

bool WindowsModel::GetVolumeInformationA(const char* rootPath, char* volumeName, std::uint32_t volumeNameSize,
                                         std::uint32_t* serialNumber, std::uint32_t* maxComponentLength,
                                         std::uint32_t* fileSystemFlags, char* fileSystemName,
                                         std::uint32_t fileSystemNameSize) {
    const char letter = RootLetter(rootPath);
    if (letter == 0) return model::Fail(kErrorPathNotFound, false);
    std::uint32_t error = 0;
    std::shared_ptr<MountedVolume> volume = volumes_.Mounted(letter, &error);
    if (volume == nullptr) return model::Fail(error, false);
    std::optional<VolumeInformation> information = volume->Information();
    if (!information) return model::Fail(ERROR_NOT_READY, false);
    if (!CopyText(information->label, volumeName, volumeNameSize) ||
        !CopyText(information->fileSystem, fileSystemName, fileSystemNameSize)) {
        return model::Fail(ERROR_INSUFFICIENT_BUFFER, false);
    }
    if (serialNumber != nullptr) *serialNumber = information->serialNumber;
    if (maxComponentLength != nullptr) *maxComponentLength = kFatMaxComponentLength;
    if (fileSystemFlags != nullptr) *fileSystemFlags = kFatFileSystemFlags;
    return true;
}

Handle WindowsModel::FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
    // Only the pattern the program uses: every name in a drive's root.
    if (pattern == nullptr || data == nullptr || std::strlen(pattern) != 4 || std::strcmp(pattern + 2, "\\*") != 0) {
        return model::Fail(ERROR_NOT_SUPPORTED, kInvalidHandle);
    }
    const char root[] = {pattern[0], ':', '\\', '\0'};
    const char letter = RootLetter(root);
    if (letter == 0) return model::Fail(kErrorPathNotFound, kInvalidHandle);
    std::uint32_t error = 0;
    std::shared_ptr<MountedVolume> volume = volumes_.Mounted(letter, &error);
    if (volume == nullptr) return model::Fail(error, kInvalidHandle);
    std::optional<std::vector<DirectoryEntry>> entries = volume->ListRoot();
    if (!entries) return model::Fail(ERROR_NOT_READY, kInvalidHandle);
    if (entries->empty()) return model::Fail(ERROR_FILE_NOT_FOUND, kInvalidHandle);
    FillFindData(entries->front(), data);
    std::lock_guard lock(mutex_);
    Handle search = NewServiceHandle();
    searches_[search] = Search{std::move(*entries), 1};
    return search;
}

bool WindowsModel::FindNextFileA(Handle search, WIN32_FIND_DATAA* data) {
    std::lock_guard lock(mutex_);
    auto found = searches_.find(search);
    if (found == searches_.end() || data == nullptr) return model::Fail(ERROR_INVALID_HANDLE, false);
    Search& state = found->second;
    if (state.next >= state.entries.size()) return model::Fail(ERROR_NO_MORE_FILES, false);
    FillFindData(state.entries[state.next++], data);
    return true;
}

bool WindowsModel::FindClose(Handle search) {
    std::lock_guard lock(mutex_);
    if (searches_.erase(search) == 0) return model::Fail(ERROR_INVALID_HANDLE, false);
    return true;
}

}  // namespace platform
