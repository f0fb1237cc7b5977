// A FAT partition mounted by the kernel's vfat driver in a private temporary
// folder, for as long as the object lives: files in its root are written
// through the driver and their DOS attributes set with
// FAT_IOCTL_SET_ATTRIBUTES. Destroying it unmounts the volume, removes the
// folder and flushes everything to the disk.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/leftovers.h"

namespace platform::host {

// The DOS attribute bits FAT_IOCTL_SET_ATTRIBUTES takes for the Windows
// attributes (read-only, hidden, system, archive; the others have no bit).
std::uint32_t DosAttributes(std::uint32_t windowsAttributes);

class FatMount {
public:
    // Null with *error (a Windows error code) and *message set when the
    // partition cannot be mounted.
    static std::unique_ptr<FatMount> Mount(const std::string& partitionNode, std::uint32_t* error,
                                           std::string* message);
    ~FatMount();
    FatMount(const FatMount&) = delete;
    FatMount& operator=(const FatMount&) = delete;

    // Names are plain root names ("IO.SYS"), as the Windows model lets through.
    // A file in the root, created new or truncated, open for writing.
    // Returns the descriptor, or -1 with *error set.
    int CreateFile(const std::string& name, std::uint32_t* error);
    // Writes everything, retrying short writes. Returns 0 or the error.
    static std::uint32_t WriteAll(int fd, const void* data, std::size_t size);
    // Flushes and closes. Returns 0 or the error; the descriptor is closed either way.
    static std::uint32_t FlushAndClose(int fd);
    void Remove(const std::string& name);
    // Gives the file exactly these Windows attributes. Returns 0 or the error.
    std::uint32_t SetAttributes(const std::string& name, std::uint32_t windowsAttributes);

private:
    FatMount(std::string folder, Leftover leftover) : folder_(std::move(folder)), leftover_(std::move(leftover)) {}
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
    Leftover leftover_;  // the mount, for a make that must end at once
};

}  // namespace platform::host
