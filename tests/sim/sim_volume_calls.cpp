// Raw volume calls of the simulated PC: CreateFileA, CloseHandle and
// DeviceIoControl on "\\.\X:" volumes (other paths are files on mounted
// volumes), and the logical-drive queries.
// Like Windows, a call that succeeds leaves the last error as it was.
#include "tests/sim/sim_last_error.h"
#include "tests/sim/sim_system.h"

namespace platform {

Handle SimSystem::CreateFileA(const char* path, std::uint32_t access, std::uint32_t,
                              std::uint32_t disposition, std::uint32_t) {
    if (!EmulatedVolumes::IsVolumePath(path)) return CreateMountedFile(path, disposition);
    std::uint32_t error = 0;
    Handle handle = volumes_.Open(path, access, &error);
    if (handle == kInvalidHandle) sim::SetThreadLastError(error);
    return handle;
}

bool SimSystem::CloseHandle(Handle handle) {
    if (IsFileHandle(handle)) return CloseFile(handle);
    std::uint32_t error = 0;
    if (volumes_.Close(handle, &error)) return true;
    return sim::Fail(error, false);
}

bool SimSystem::DeviceIoControl(Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                                void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    std::uint32_t error = 0;
    if (volumes_.Control(handle, code, in, inSize, out, outSize, bytesReturned, &error)) {
        return true;
    }
    return sim::Fail(error, false);
}

std::uint32_t SimSystem::GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) {
    return volumes_.GetLogicalDriveStrings(bufferLength, buffer);
}

std::uint32_t SimSystem::GetDriveTypeA(const char* rootPath) {
    return volumes_.GetDriveType(rootPath);
}

}  // namespace platform
