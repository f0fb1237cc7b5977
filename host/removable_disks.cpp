#include "host/removable_disks.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "host/real_disk_drive.h"

namespace fs = std::filesystem;

namespace platform::host {

namespace {

constexpr std::uint64_t kSysfsSectorSize = 512;  // sysfs counts sizes in 512-byte units

std::string NodePath(const SystemRoots& roots, const std::string& name) {
    return (fs::path(roots.dev) / name).string();
}

// Vendor, product and revision as Windows writes them into an ID: blanks
// become underscores, letters capitals.
std::string IdPart(const std::string& text) {
    std::string out;
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) {
            out += '_';
        } else if (c != '\\' && c != '&') {
            out += static_cast<char>(std::toupper(u));
        }
    }
    return out;
}

}  // namespace

std::string DiskInstanceId(const BlockDisk& disk) {
    std::string serial = disk.serial.empty() ? disk.scsiAddress : disk.serial;
    std::replace(serial.begin(), serial.end(), ':', '&');
    return "USBSTOR\\DISK&VEN_" + IdPart(disk.vendor) + "&PROD_" + IdPart(disk.model) + "&REV_" +
           IdPart(disk.revision) + "\\" + IdPart(serial);
}

RemovableDiskList ListRemovableDisks(const SystemRoots& roots) {
    RemovableDiskList list;
    for (const BlockDisk& disk : ScanBlockDisks(roots, &list.error)) {
        RemovableDisk entry{NodePath(roots, disk.name), disk.sectors * kSysfsSectorSize, disk.vendor, disk.model,
                            disk.refusal};
        if (disk.refusal.empty()) {
            list.disks.push_back(std::move(entry));
        } else if (disk.removable || disk.usb) {
            list.leftOut.push_back(std::move(entry));
        }
    }
    return list;
}

std::shared_ptr<ModelDrive> OpenRemovableDisk(const SystemRoots& roots, const std::string& devicePath,
                                              std::string* error) {
    std::error_code code;
    const fs::path node = fs::canonical(devicePath, code);
    if (code) {
        *error = devicePath + ": " + code.message();
        return nullptr;
    }
    std::string scanError;
    std::vector<BlockDisk> disks = ScanBlockDisks(roots, &scanError);
    if (!scanError.empty()) {
        *error = scanError;
        return nullptr;
    }
    const std::string name = node.filename().string();
    auto found = std::find_if(disks.begin(), disks.end(), [&](const BlockDisk& disk) { return disk.name == name; });
    if (found == disks.end() || fs::canonical(NodePath(roots, name), code) != node) {
        *error = devicePath + " is not a whole disk (name the disk, such as /dev/sdb, not a partition)";
        return nullptr;
    }
    // A real node must be the disk sysfs describes, not another one of that name.
    struct stat info {};
    if (::stat(node.c_str(), &info) == 0 && S_ISBLK(info.st_mode) &&
        std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)) != found->dev) {
        *error = devicePath + " is not the block device sysfs lists as " + name;
        return nullptr;
    }
    if (!found->refusal.empty()) {
        *error = "refusing " + devicePath + ": it " + found->refusal;
        return nullptr;
    }
    if (found->scsiAddress.empty()) {
        *error = "refusing " + devicePath + ": it is not a SCSI disk";
        return nullptr;
    }
    // Find out now, before anything is written, that the make can finish:
    // the raw writes need the node open for writing, the payload files a
    // mount, which only root may make.
    if (S_ISBLK(info.st_mode)) {
        if (::geteuid() != 0) {
            *error = "writing " + devicePath + " needs root: the new volume is mounted to copy the files";
            return nullptr;
        }
        int probe = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
        if (probe < 0) {
            *error = "cannot open " + devicePath + " for writing: " + std::strerror(errno);
            return nullptr;
        }
        ::close(probe);
    }
    error->clear();
    return std::make_shared<RealDiskDrive>(roots, *found);
}

}  // namespace platform::host
