#include "host/fat_mount.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "host/host_errors.h"
#include "host/scratch_folder.h"
#include "platform/win_types.h"
#include "winmodel/model_errors.h"

namespace platform::host {

namespace {

constexpr std::uint32_t kFileAttributeArchive = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
// Short names are stored as Windows stores them: 8.3 with the case flags for
// an all-lower-case base or extension ("VORN.exe"), no long-name entries.
constexpr char kMountOptions[] = "shortname=winnt";
constexpr unsigned long kMountFlags = MS_NOSUID | MS_NODEV | MS_NOEXEC | MS_NOATIME;
// An unmount right after the last close can find the volume still busy.
constexpr int kUnmountAttempts = 50;
constexpr auto kUnmountPause = std::chrono::milliseconds(100);

}  // namespace

std::uint32_t DosAttributes(std::uint32_t windowsAttributes) {
    std::uint32_t dos = ATTR_NONE;
    if (windowsAttributes & FILE_ATTRIBUTE_READONLY) dos |= ATTR_RO;
    if (windowsAttributes & FILE_ATTRIBUTE_HIDDEN) dos |= ATTR_HIDDEN;
    if (windowsAttributes & FILE_ATTRIBUTE_SYSTEM) dos |= ATTR_SYS;
    if (windowsAttributes & kFileAttributeArchive) dos |= ATTR_ARCH;
    return dos;
}

std::unique_ptr<FatMount> FatMount::Mount(const std::string& partitionNode, std::uint32_t* error,
                                          std::string* message) {
    // mkdtemp makes the folder with mode 0700: only we can reach the volume.
    std::string made;
    std::string folder = MakeScratchFolder("makevorndisk", &made);
    if (folder.empty()) {
        *error = kErrorPathNotFound;
        *message = "cannot make a folder to mount " + partitionNode + " in: " + made;
        return nullptr;
    }
    // From here until it is unmounted and removed, a make that must end at
    // once detaches the mount and removes the folder.
    Leftover leftover(Leftover::Kind::kMountFolder, folder);
    if (::mount(partitionNode.c_str(), folder.c_str(), "vfat", kMountFlags, kMountOptions) != 0) {
        const int saved = errno;
        ::rmdir(folder.c_str());
        *error = ErrorFromErrno(saved);
        *message = "cannot mount " + partitionNode + " (vfat): " + std::strerror(saved);
        return nullptr;
    }
    *error = 0;
    message->clear();
    return std::unique_ptr<FatMount>(new FatMount(std::move(folder), std::move(leftover)));
}

FatMount::~FatMount() {
    int result = -1;
    for (int attempt = 0; attempt < kUnmountAttempts; ++attempt) {
        result = ::umount2(folder_.c_str(), 0);
        if (result == 0 || errno != EBUSY) break;
        std::this_thread::sleep_for(kUnmountPause);
    }
    if (result == 0) {
        ::rmdir(folder_.c_str());
        leftover_.Forget();
    } else {
        std::fprintf(stderr, "makevorndisk: cannot unmount %s: %s\n", folder_.c_str(), std::strerror(errno));
    }
    ::sync();
}

int FatMount::CreateFile(const std::string& name, std::uint32_t* error) {
    int fd = ::open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    *error = fd < 0 ? ErrorFromErrno(errno) : 0;
    return fd;
}

std::uint32_t FatMount::WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return ErrorFromErrno(errno);
        }
        if (written == 0) return kErrorDiskFull;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

std::uint32_t FatMount::FlushAndClose(int fd) {
    std::uint32_t result = ::fsync(fd) == 0 ? 0 : ErrorFromErrno(errno);
    if (::close(fd) != 0 && result == 0) result = ErrorFromErrno(errno);
    return result;
}

void FatMount::Remove(const std::string& name) {
    ::unlink(Path(name).c_str());
}

std::uint32_t FatMount::SetAttributes(const std::string& name, std::uint32_t windowsAttributes) {
    int fd = ::open(Path(name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return ErrorFromErrno(errno);
    __u32 attributes = DosAttributes(windowsAttributes);
    std::uint32_t result = ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &attributes) == 0 ? 0 : ErrorFromErrno(errno);
    ::close(fd);
    return result;
}

}  // namespace platform::host
