// Files on the model's mounted volumes: "E:\NAME" in the root of a present
// drive, created, written, closed and given attributes through the drive's
// MountedVolume.
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
    std::shared_ptr<MountedVolume> volume = drive->Mount(&error);
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
    std::shared_ptr<MountedVolume> volume = drive->Mount(&error);
    if (volume != nullptr) error = volume->SetAttributes(split.name, attributes & kSettableAttributes);
    if (error != 0) {
        OnAttributesFailed(split.letter, split.name);
        return model::Fail(error, false);
    }
    return true;
}

}  // namespace platform
