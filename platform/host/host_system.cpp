#include "platform/host/host_system.h"

#include <thread>

#include "platform/scsi_disk/emulated_scsi_disk.h"

namespace platform {

namespace host {
namespace {
thread_local std::uint32_t lastError = 0;
}
void SetThreadLastError(std::uint32_t error) { lastError = error; }
}  // namespace host

HostSystem::HostSystem() : start_(std::chrono::steady_clock::now()) {}
HostSystem::~HostSystem() = default;

bool HostSystem::AttachImage(const std::string& path, char letter) {
    std::unique_ptr<BlockStore> store = OpenFileBlockStore(path);
    if (store == nullptr) return false;
    volumes_.AddDrive(letter, DRIVE_REMOVABLE, std::make_shared<EmulatedScsiDisk>(std::move(store)));
    return true;
}

void HostSystem::DetachImage(char letter) { volumes_.RemoveDrive(letter); }

std::shared_ptr<EmulatedScsiDisk> HostSystem::Disk(char letter) const {
    return volumes_.Disk(letter);
}

std::size_t HostSystem::OpenHandleCount() const { return volumes_.OpenHandleCount(); }

// Like Windows, a call that succeeds leaves the last error as it was.
Handle HostSystem::CreateFileA(const char* path, std::uint32_t access, std::uint32_t,
                               std::uint32_t, std::uint32_t) {
    if (!EmulatedVolumes::IsVolumePath(path)) {
        host::SetThreadLastError(ERROR_NOT_SUPPORTED);
        return kInvalidHandle;
    }
    std::uint32_t error = 0;
    Handle handle = volumes_.Open(path, access, &error);
    if (handle == kInvalidHandle) host::SetThreadLastError(error);
    return handle;
}

bool HostSystem::CloseHandle(Handle handle) {
    std::uint32_t error = 0;
    if (volumes_.Close(handle, &error)) return true;
    host::SetThreadLastError(error);
    return false;
}

bool HostSystem::DeviceIoControl(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    std::uint32_t error = 0;
    if (volumes_.Control(handle, code, in, inSize, out, outSize, bytesReturned, &error)) return true;
    host::SetThreadLastError(error);
    return false;
}

std::uint32_t HostSystem::GetLastError() { return host::lastError; }

std::uint32_t HostSystem::GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) {
    return volumes_.GetLogicalDriveStrings(bufferLength, buffer);
}

std::uint32_t HostSystem::GetDriveTypeA(const char* rootPath) {
    return volumes_.GetDriveType(rootPath);
}

void HostSystem::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int32_t HostSystem::clock() {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

}  // namespace platform
