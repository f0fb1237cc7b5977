// Drives, handles, raw volumes, files on mounted volumes, the drive list and
// time. The device tree and the registry are in host_device_tree.cpp, the
// resources in host_resources.cpp.
#include "host/host_system.h"

#include <cctype>
#include <cstring>
#include <thread>

#include "device/pass_through_record.h"
#include "host/image_drive.h"
#include "winmodel/emulated_volumes.h"

namespace platform {

namespace host {
namespace {
thread_local std::uint32_t lastError = 0;
}
void SetThreadLastError(std::uint32_t error) { lastError = error; }
}  // namespace host

namespace {

constexpr std::uint32_t kFileDeviceDisk = 7;      // STORAGE_DEVICE_NUMBER.DeviceType of a disk
constexpr std::uint32_t kFirstPartition = 1;      // STORAGE_DEVICE_NUMBER.PartitionNumber of the volume
constexpr std::uint32_t kErrorPathNotFound = 3;   // ERROR_PATH_NOT_FOUND
// Handle values are multiples of 4 from here, as Windows gives them.
constexpr std::uintptr_t kFirstHandleValue = 0x2000;
// READ(10) and WRITE(10): their LBA and length fields.
constexpr std::uint8_t kOpRead10 = 0x28;
constexpr std::uint8_t kOpWrite10 = 0x2A;
constexpr std::size_t kCdbLbaOffset = 2;     // 32-bit big-endian
constexpr std::size_t kCdbLengthOffset = 7;  // 16-bit big-endian

template <typename Result>
Result Fail(std::uint32_t error, Result result) {
    host::SetThreadLastError(error);
    return result;
}

char Upper(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

// "E:\NAME" gives the letter and the name; false for any other path.
bool SplitRootPath(const char* path, char* letter, std::string* name) {
    if (path == nullptr) return false;
    const std::string text(path);
    if (text.size() < 4 || text[1] != ':' || text[2] != '\\' ||
        !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    *name = text.substr(3);
    if (name->find('\\') != std::string::npos) return false;
    *letter = Upper(text[0]);
    return true;
}

HostSystem::Activity CommandActivity(char letter, const void* in, std::uint32_t inSize) {
    HostSystem::Activity activity;
    activity.kind = HostSystem::Activity::Kind::Command;
    activity.letter = letter;
    if (in == nullptr || inSize < sizeof(SCSI_PASS_THROUGH_DIRECT)) return activity;
    SCSI_PASS_THROUGH_DIRECT request;
    std::memcpy(&request, in, sizeof request);
    const std::uint8_t* cdb = request.Cdb;
    activity.opcode = cdb[0];
    if (cdb[0] == kOpRead10 || cdb[0] == kOpWrite10) {
        activity.lba = std::uint32_t{cdb[kCdbLbaOffset]} << 24 | std::uint32_t{cdb[kCdbLbaOffset + 1]} << 16 |
                       std::uint32_t{cdb[kCdbLbaOffset + 2]} << 8 | cdb[kCdbLbaOffset + 3];
        activity.blocks = std::uint32_t{cdb[kCdbLengthOffset]} << 8 | cdb[kCdbLengthOffset + 1];
    }
    return activity;
}

}  // namespace

HostSystem::HostSystem() : start_(std::chrono::steady_clock::now()) {}
HostSystem::~HostSystem() = default;

void HostSystem::AttachDrive(char letter, std::shared_ptr<host::HostDrive> drive) {
    std::lock_guard lock(mutex_);
    letter = Upper(letter);
    drives_[letter] = AttachedDrive{letter, nextDeviceNumber_++, std::move(drive)};
}

void HostSystem::DetachDrive(char letter) {
    std::lock_guard lock(mutex_);
    drives_.erase(Upper(letter));
}

std::shared_ptr<host::HostDrive> HostSystem::Drive(char letter) const {
    std::optional<AttachedDrive> found = FindDrive(letter);
    return found ? found->drive : nullptr;
}

bool HostSystem::AttachImage(const std::string& path, char letter) {
    std::shared_ptr<host::ImageDrive> drive = host::ImageDrive::Open(path);
    if (drive == nullptr) return false;
    AttachDrive(letter, std::move(drive));
    return true;
}

std::shared_ptr<EmulatedScsiDisk> HostSystem::Disk(char letter) const {
    auto image = std::dynamic_pointer_cast<host::ImageDrive>(Drive(letter));
    return image ? image->Disk() : nullptr;
}

void HostSystem::SetActivityListener(std::function<void(const Activity&)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void HostSystem::Report(const Activity& activity) {
    std::function<void(const Activity&)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener) listener(activity);
}

std::size_t HostSystem::OpenHandleCount() const {
    std::lock_guard lock(mutex_);
    return handles_.size();
}

std::optional<HostSystem::AttachedDrive> HostSystem::FindDrive(char letter) const {
    std::lock_guard lock(mutex_);
    auto found = drives_.find(Upper(letter));
    if (found == drives_.end()) return std::nullopt;
    return found->second;
}

Handle HostSystem::NewHandle() {
    return reinterpret_cast<Handle>(kFirstHandleValue + 4 * ++nextHandle_);
}

// Like Windows, a call that succeeds leaves the last error as it was.
Handle HostSystem::CreateFileA(const char* path, std::uint32_t access, std::uint32_t, std::uint32_t disposition,
                               std::uint32_t) {
    if (EmulatedVolumes::IsVolumePath(path)) return OpenVolume(path, access);
    return CreateMountedFile(path, disposition);
}

Handle HostSystem::OpenVolume(const char* path, std::uint32_t access) {
    std::optional<AttachedDrive> drive = FindDrive(path[4]);
    if (!drive || !drive->drive->IsPresent()) return Fail(ERROR_FILE_NOT_FOUND, kInvalidHandle);
    std::uint32_t error = 0;
    std::unique_ptr<host::HostVolume> volume = drive->drive->OpenVolume(access, &error);
    if (volume == nullptr) return Fail(error != 0 ? error : ERROR_ACCESS_DENIED, kInvalidHandle);
    auto open = std::make_shared<OpenHandle>();
    open->letter = drive->letter;
    open->drive = drive->drive;
    open->volume = std::move(volume);
    std::lock_guard lock(mutex_);
    Handle handle = NewHandle();
    handles_[handle] = std::move(open);
    return handle;
}

Handle HostSystem::CreateMountedFile(const char* path, std::uint32_t disposition) {
    char letter = 0;
    std::string name;
    if (!SplitRootPath(path, &letter, &name) || name.empty()) return Fail(kErrorPathNotFound, kInvalidHandle);
    std::optional<AttachedDrive> drive = FindDrive(letter);
    if (!drive || !drive->drive->IsPresent()) return Fail(kErrorPathNotFound, kInvalidHandle);
    // Files on the volume are only ever made new (CFile::modeCreate).
    if (disposition != CREATE_ALWAYS) return Fail(ERROR_NOT_SUPPORTED, kInvalidHandle);
    std::uint32_t error = 0;
    std::unique_ptr<host::MountedFile> file = drive->drive->CreateMountedFile(name, &error);
    if (file == nullptr) return Fail(error != 0 ? error : ERROR_ACCESS_DENIED, kInvalidHandle);
    auto open = std::make_shared<OpenHandle>();
    open->letter = drive->letter;
    open->drive = drive->drive;
    open->file = std::move(file);
    open->fileName = name;
    std::lock_guard lock(mutex_);
    Handle handle = NewHandle();
    handles_[handle] = std::move(open);
    return handle;
}

bool HostSystem::CloseHandle(Handle handle) {
    std::shared_ptr<OpenHandle> open;
    {
        std::lock_guard lock(mutex_);
        auto found = handles_.find(handle);
        if (found == handles_.end()) return Fail(ERROR_INVALID_HANDLE, false);
        open = std::move(found->second);
        handles_.erase(found);
    }
    if (open->file != nullptr) {
        const std::uint32_t error = open->file->Close();
        if (error != 0) return Fail(error, false);
        Activity written;
        written.kind = Activity::Kind::FileWritten;
        written.letter = open->letter;
        written.fileName = open->fileName;
        Report(written);
    }
    return true;
}

bool HostSystem::DeviceIoControl(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                                 std::uint32_t outSize, std::uint32_t* bytesReturned) {
    if (bytesReturned != nullptr) *bytesReturned = 0;
    std::shared_ptr<OpenHandle> open;
    std::uint32_t deviceNumber = 0;
    {
        std::lock_guard lock(mutex_);
        auto found = handles_.find(handle);
        if (found == handles_.end() || found->second->volume == nullptr) return Fail(ERROR_INVALID_HANDLE, false);
        open = found->second;
        auto drive = drives_.find(open->letter);
        // A handle of a drive that has been replaced or detached keeps its old device.
        if (drive != drives_.end() && drive->second.drive == open->drive) deviceNumber = drive->second.deviceNumber;
    }
    if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER) {
        if (deviceNumber == 0) return Fail(kErrorDeviceNotConnected, false);
        if (out == nullptr || outSize < sizeof(STORAGE_DEVICE_NUMBER)) return Fail(ERROR_INSUFFICIENT_BUFFER, false);
        const STORAGE_DEVICE_NUMBER number{kFileDeviceDisk, deviceNumber, kFirstPartition};
        std::memcpy(out, &number, sizeof number);
        if (bytesReturned != nullptr) *bytesReturned = sizeof number;
        return true;
    }
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT) Report(CommandActivity(open->letter, in, inSize));
    const std::uint32_t error = open->volume->Control(code, in, inSize, out, outSize, bytesReturned);
    if (error != 0) return Fail(error, false);
    return true;
}

bool HostSystem::WriteFile(Handle handle, const void* data, std::uint32_t size, std::uint32_t* written) {
    if (written != nullptr) *written = 0;
    std::shared_ptr<OpenHandle> open;
    {
        std::lock_guard lock(mutex_);
        auto found = handles_.find(handle);
        if (found == handles_.end() || found->second->file == nullptr) return Fail(ERROR_INVALID_HANDLE, false);
        open = found->second;
    }
    const std::uint32_t error = open->file->Write(data, size);
    if (error != 0) return Fail(error, false);
    if (written != nullptr) *written = size;
    return true;
}

bool HostSystem::SetFileAttributesA(const char* path, std::uint32_t attributes) {
    char letter = 0;
    std::string name;
    if (!SplitRootPath(path, &letter, &name) || name.empty()) return Fail(kErrorPathNotFound, false);
    std::optional<AttachedDrive> drive = FindDrive(letter);
    if (!drive || !drive->drive->IsPresent()) return Fail(kErrorPathNotFound, false);
    const std::uint32_t error = drive->drive->SetMountedFileAttributes(name, attributes);
    if (error != 0) {
        Activity failed;
        failed.kind = Activity::Kind::AttributesFailed;
        failed.letter = drive->letter;
        failed.fileName = name;
        Report(failed);
        return Fail(error, false);
    }
    return true;
}

std::uint32_t HostSystem::GetLastError() { return host::lastError; }

std::uint32_t HostSystem::GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) {
    std::vector<AttachedDrive> drives;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : drives_) drives.push_back(entry.second);
    }
    // "E:\" NUL for each present drive, then a final NUL; the result leaves
    // the final NUL out, or is the size needed (with it) when it does not fit.
    std::string text;
    for (const AttachedDrive& drive : drives) {
        if (!drive.drive->IsPresent()) continue;
        text += drive.letter;
        text += ":\\";
        text += '\0';
    }
    const auto length = static_cast<std::uint32_t>(text.size());
    if (buffer == nullptr || bufferLength < length + 1) return length + 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

std::uint32_t HostSystem::GetDriveTypeA(const char* rootPath) {
    if (rootPath == nullptr || !std::isalpha(static_cast<unsigned char>(rootPath[0])) || rootPath[1] != ':' ||
        !(rootPath[2] == '\0' || (rootPath[2] == '\\' && rootPath[3] == '\0'))) {
        return DRIVE_NO_ROOT_DIR;
    }
    std::optional<AttachedDrive> drive = FindDrive(rootPath[0]);
    if (!drive || !drive->drive->IsPresent()) return DRIVE_NO_ROOT_DIR;
    return drive->drive->DriveType();
}

void HostSystem::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int32_t HostSystem::clock() {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace platform
