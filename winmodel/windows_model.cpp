// The model's handles, raw-volume calls, drive strings and types, the
// restart of a drive, and the last error.
#include "winmodel/windows_model.h"

#include "winmodel/last_error.h"

namespace platform {

namespace {
// Handle values of files, registry keys and device lists: multiples of 4
// in a range of their own, apart from the volume handles.
constexpr std::uintptr_t kFirstServiceHandle = 0x40000000;
}  // namespace

WindowsModel::WindowsModel() = default;
WindowsModel::~WindowsModel() = default;

Handle WindowsModel::NewServiceHandle() {
    return reinterpret_cast<Handle>(kFirstServiceHandle + 4 * ++nextServiceHandle_);
}

Handle WindowsModel::CreateFileA(const char* path, std::uint32_t access, std::uint32_t,
                                 std::uint32_t disposition, std::uint32_t) {
    std::uint32_t error = 0;
    Handle handle = kInvalidHandle;
    if (const char letter = InterfaceLetter(path); letter != 0) {
        handle = volumes_.OpenDisk(letter, access, &error);
    } else if (RawVolumes::IsVolumePath(path) || RawVolumes::IsPhysicalDiskPath(path)) {
        handle = volumes_.Open(path, access, &error);
    } else {
        return CreateMountedFile(path, disposition);
    }
    if (handle == kInvalidHandle) model::SetThreadLastError(error);
    return handle;
}

bool WindowsModel::CloseHandle(Handle handle) {
    if (std::shared_ptr<OpenFile> file = TakeFile(handle)) {
        // A file of a disk that went away is lost: nothing reaches the volume.
        if (file->plugging != volumes_.Plugging(file->letter)) {
            return model::Fail(kErrorDeviceNotConnected, false);
        }
        if (std::uint32_t error = file->file->Close(); error != 0) return model::Fail(error, false);
        OnFileWritten(file->letter, file->name);
        return true;
    }
    std::uint32_t error = 0;
    if (volumes_.Close(handle, &error)) return true;
    return model::Fail(error, false);
}

bool WindowsModel::DeviceIoControl(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                                   void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT) {
        if (const char letter = volumes_.LetterOf(handle); letter != 0) OnPassThrough(letter, in, inSize);
    }
    std::uint32_t error = 0;
    if (volumes_.Control(handle, code, in, inSize, out, outSize, bytesReturned, &error)) return true;
    return model::Fail(error, false);
}

std::uint32_t WindowsModel::GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) {
    return volumes_.GetLogicalDriveStrings(bufferLength, buffer);
}

std::uint32_t WindowsModel::GetDriveTypeA(const char* rootPath) { return volumes_.GetDriveType(rootPath); }

std::uint32_t WindowsModel::RestartDrive(char letter) {
    std::shared_ptr<ModelDrive> drive = volumes_.Drive(letter);
    if (drive == nullptr) return kErrorNoSuchDevinst;
    OnRestart(letter);
    volumes_.Replug(letter);
    return drive->Restart();
}

void WindowsModel::SetLastError(std::uint32_t error) { model::SetThreadLastError(error); }

void WindowsModel::SetElevated(bool elevated) { volumes_.SetElevated(elevated); }

void WindowsModel::SetWow64(bool wow64) {
    std::lock_guard lock(mutex_);
    wow64_ = wow64;
}

bool WindowsModel::IsWow64Process(Handle process, bool* wow64) {
    if (process != kCurrentProcess || wow64 == nullptr) return model::Fail(ERROR_INVALID_HANDLE, false);
    std::lock_guard lock(mutex_);
    *wow64 = wow64_;
    return true;
}

std::uint32_t WindowsModel::GetLastError() { return model::ThreadLastError(); }

}  // namespace platform
