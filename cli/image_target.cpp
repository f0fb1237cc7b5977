#include "cli/image_target.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "cli/arguments.h"
#include "fatdisk/fat_disk_builder.h"
#include "fatdisk/on_disk_format.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

using fatdisk::kSectorSize;

constexpr std::uint64_t kBootSignatureOffset = 510;  // the boot record's 55 AA
constexpr std::array<std::uint8_t, 2> kBootSignature = {0x55, 0xAA};
constexpr const char* kDeviceFileSystem = "devtmpfs";

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Errno(int error) { return std::strerror(error); }

// The reason the layout engine refuses a capacity, or empty.
std::string LayoutRefusal(std::uint32_t sectors) {
    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 0;
    if (builder.Setup(sectors, "", false)) return {};
    return builder.m_errorText;
}

// A mount point as the mount table writes it: space, tab, newline and
// backslash as octal escapes ("\\040").
std::string Unescaped(const std::string& field) {
    std::string text;
    for (std::size_t at = 0; at < field.size(); ++at) {
        if (field[at] == '\\' && at + 3 < field.size()) {
            const std::string digits = field.substr(at + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                text += static_cast<char>(std::stoi(digits, nullptr, 8));
                at += 3;
                continue;
            }
        }
        text += field[at];
    }
    return text;
}

// The type of the file system the folder is on ("devtmpfs", "ext4"): that
// of the mount whose mount point is the longest that holds the folder (the
// folder need not exist yet). Empty when the table cannot be read.
std::string FileSystemType(const fs::path& folder, const std::string& mountInfo) {
    const std::string wanted = folder.lexically_normal().string();
    std::ifstream table(mountInfo);
    std::string line, type;
    std::size_t longest = 0;
    while (std::getline(table, line)) {
        // id parent major:minor root mount-point options [tags] - type source options
        std::istringstream fields(line);
        std::string id, parent, dev, root, point, word;
        if (!(fields >> id >> parent >> dev >> root >> point)) continue;
        point = Unescaped(point);
        const bool holds = point == "/" || wanted == point ||
                           (wanted.size() > point.size() && wanted.compare(0, point.size(), point) == 0 &&
                            wanted[point.size()] == '/');
        if (!holds || point.size() < longest) continue;
        while (fields >> word && word != "-") {
        }
        std::string found;
        if (!(fields >> found)) continue;
        // A later mount on the same point hides the earlier one.
        longest = point.size();
        type = found;
    }
    return type;
}

// Why the path is no place for an image: under /dev, or on a devtmpfs,
// where a mistyped --image would make a file beside the device nodes.
// Decided from the path's name and the mount table alone: nothing under the
// device folder is opened, created or looked at for this.
std::string DevicePlaceRefusal(const std::string& path, const fs::path& resolved, const DevicePlaces& places) {
    fs::path devices = fs::path(places.deviceFolder).lexically_normal();
    if (devices.filename().empty()) devices = devices.parent_path();  // "/dev/" names "/dev"
    const auto [end, at] = std::mismatch(devices.begin(), devices.end(), resolved.begin(), resolved.end());
    if (end == devices.end()) {
        return Quoted(path) + " is in " + places.deviceFolder +
               ", where --image makes no file; to write a disk, name it with --device";
    }
    if (FileSystemType(resolved.parent_path(), places.mountInfo) == kDeviceFileSystem) {
        return Quoted(path) + " is on a devtmpfs (a device folder), where --image makes no file";
    }
    return {};
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

// The target, not ready: the file closed (and its lock let go).
ImageTarget Failed(ImageTarget target, std::string error) {
    target.error = "makevorndisk: " + std::move(error);
    if (target.descriptor >= 0) ::close(target.descriptor);
    target.descriptor = -1;
    return target;
}

// Whether the file's first sector ends in the boot record signature.
bool HoldsDiskImage(int descriptor) {
    std::array<std::uint8_t, 2> signature{};
    return ::pread(descriptor, signature.data(), signature.size(), kBootSignatureOffset) ==
               static_cast<ssize_t>(signature.size()) &&
           signature == kBootSignature;
}

std::string LockRefusal(const std::string& path, int error) {
    if (error == EWOULDBLOCK) {
        return Quoted(path) + " is being made by another makevorndisk (the file is locked); wait for it to end";
    }
    return "cannot lock " + Quoted(path) + ": " + Errno(error);
}

}  // namespace

ImageTarget::~ImageTarget() {
    if (descriptor >= 0) ::close(descriptor);
}

ImageTarget::ImageTarget(ImageTarget&& other) noexcept { *this = std::move(other); }

ImageTarget& ImageTarget::operator=(ImageTarget&& other) noexcept {
    if (this == &other) return *this;
    if (descriptor >= 0) ::close(descriptor);
    path = std::move(other.path);
    sectors = other.sectors;
    created = other.created;
    wasEmpty = other.wasEmpty;
    existingBytes = other.existingBytes;
    descriptor = std::exchange(other.descriptor, -1);
    error = std::move(other.error);
    badSize = other.badSize;
    unfinished_ = std::move(other.unfinished_);
    return *this;
}

std::string ImageTarget::Description() const {
    const std::string size = std::to_string(sectors) + " sectors, " +
                             std::to_string(std::uint64_t{sectors} * kSectorSize) + " bytes";
    if (created) return "the new image file " + Quoted(path) + " (" + size + ")";
    if (wasEmpty) return "the empty file " + Quoted(path) + " (made " + size + ")";
    return "the existing image file " + Quoted(path) + " (" + size + ")";
}

std::string ImageTarget::Undo() {
    if (descriptor < 0) return {};
    if (wasEmpty) {
        return ::ftruncate(descriptor, 0) == 0 ? "emptied " + Quoted(path) + " again"
                                                : "cannot empty " + Quoted(path) + " again: " + Errno(errno);
    }
    if (!created) return {};
    // Only the file the make created: the path may name another one by now.
    struct stat held {}, named {};
    if (::fstat(descriptor, &held) != 0 || ::lstat(path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
        held.st_ino != named.st_ino) {
        unfinished_.Forget();
        return Quoted(path) + " no longer names the new image; nothing was removed";
    }
    if (::unlink(path.c_str()) != 0) return "cannot remove " + Quoted(path) + ": " + Errno(errno);
    unfinished_.Forget();
    created = false;
    return "removed the new image " + Quoted(path);
}

namespace {

// One look at the path; a file that appears while it is being created is
// looked at again when firstTry.
ImageTarget PrepareImageOnce(const std::string& path, std::optional<std::uint32_t> sectors, bool force,
                             const DevicePlaces& places, bool firstTry) {
    ImageTarget target;
    target.path = path;

    // Where the path leads, its links followed as far as they exist; a path
    // whose place cannot be told is not used.
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) return Failed(std::move(target), "cannot tell where " + Quoted(path) + " is: " + error.message());
    fs::path resolved = fs::weakly_canonical(absolute, error);
    if (error) resolved = absolute.lexically_normal();
    if (const std::string refusal = DevicePlaceRefusal(path, resolved, places); !refusal.empty()) {
        return Failed(std::move(target), refusal);
    }

    struct stat link {};
    const bool exists = ::lstat(path.c_str(), &link) == 0;
    if (!exists && errno != ENOENT) {
        return Failed(std::move(target), "cannot look at " + Quoted(path) + ": " + Errno(errno));
    }
    struct stat info = link;
    if (exists && S_ISLNK(link.st_mode) && ::stat(path.c_str(), &info) != 0) {
        const std::string missing = Errno(errno);
        return Failed(std::move(target), Quoted(path) + " is a symbolic link to " +
                                             Quoted(fs::read_symlink(path, error).string()) + ", which cannot be used (" +
                                             missing + "); name the image file itself");
    }
    if (exists) {
        if (S_ISBLK(info.st_mode)) {
            return Failed(std::move(target), Quoted(path) + " is a block device: --image writes image files; to "
                                                            "write a disk, name it with --device");
        }
        if (!S_ISREG(info.st_mode)) {
            return Failed(std::move(target), Quoted(path) + " is " + KindOf(info.st_mode) +
                                                 "; give an image file, or --device for a disk");
        }
        // Not blocking on a file swapped for a pipe meanwhile; the checks
        // that count are made on what was opened.
        target.descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (target.descriptor < 0) {
            return Failed(std::move(target), "cannot open the image " + Quoted(path) +
                                                 " for reading and writing: " + Errno(errno));
        }
        if (::fstat(target.descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
            return Failed(std::move(target), Quoted(path) + " is not a regular file");
        }
        ::fcntl(target.descriptor, F_SETFL, 0);
        if (::flock(target.descriptor, LOCK_EX | LOCK_NB) != 0) {
            return Failed(std::move(target), LockRefusal(path, errno));
        }
        const std::uint64_t bytes = static_cast<std::uint64_t>(info.st_size);
        target.existingBytes = bytes;
        if (bytes % kSectorSize != 0) {
            return Failed(std::move(target), Quoted(path) + " holds " + std::to_string(bytes) +
                                                 " bytes, which is not a whole number of 512-byte sectors");
        }
        if (bytes / kSectorSize > kLargestDiskSectors) {
            return Failed(std::move(target), Quoted(path) + " holds " + std::to_string(bytes) + " bytes: more than " +
                                                 std::to_string(kLargestDiskSectors) +
                                                 " sectors (2 TiB), the most a disk can have");
        }
        target.wasEmpty = bytes == 0;
        if (!target.wasEmpty && !force && !HoldsDiskImage(target.descriptor)) {
            return Failed(std::move(target),
                          Quoted(path) + " holds " + std::to_string(bytes) +
                              " bytes but no disk image (no boot record signature 55 AA at byte 510); it is not "
                              "overwritten unless --force is given");
        }
        target.sectors = target.wasEmpty ? sectors.value_or(kDefaultImageSectors)
                                         : static_cast<std::uint32_t>(bytes / kSectorSize);
        if (!target.wasEmpty && sectors && *sectors != target.sectors) {
            target.badSize = true;
            return Failed(std::move(target), Quoted(path) + " already exists with " + std::to_string(target.sectors) +
                                                 " sectors, not " + std::to_string(*sectors) +
                                                 "; remove it or leave the size out");
        }
    } else {
        target.sectors = sectors.value_or(kDefaultImageSectors);
    }

    if (const std::string refusal = LayoutRefusal(target.sectors); !refusal.empty()) {
        target.badSize = true;
        return Failed(std::move(target), "a disk of " + std::to_string(target.sectors) + " sectors cannot be made: " +
                                             refusal + " (the smallest is " + std::to_string(kSmallestDiskSectors) +
                                             " sectors)");
    }

    if (!exists) {
        // Created only now, exclusively (a file or link that appeared
        // meanwhile is left alone), and locked before it is given its size.
        target.descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0644);
        // Made by another make just now: taken as the existing file it is.
        if (target.descriptor < 0 && errno == EEXIST && firstTry) {
            return PrepareImageOnce(path, sectors, force, places, false);
        }
        if (target.descriptor < 0) {
            return Failed(std::move(target), "cannot create the image " + Quoted(path) + ": " + Errno(errno));
        }
        target.created = true;
        target.Unfinished();
        if (::flock(target.descriptor, LOCK_EX | LOCK_NB) != 0) {
            // Another make took the new file first: it is that make's now.
            const int saved = errno;
            target.created = false;
            target.Finished();
            return Failed(std::move(target), LockRefusal(path, saved));
        }
    }
    if (target.created || target.wasEmpty) {
        const std::uint64_t bytes = std::uint64_t{target.sectors} * kSectorSize;
        if (::ftruncate(target.descriptor, static_cast<off_t>(bytes)) != 0) {
            const std::string reason = Errno(errno);
            target.Undo();
            return Failed(std::move(target), "cannot give the image " + Quoted(path) + " its size of " +
                                                 std::to_string(bytes) + " bytes: " + reason);
        }
    }
    return target;
}

}  // namespace

ImageTarget PrepareImage(const std::string& path, std::optional<std::uint32_t> sectors, bool force,
                         const DevicePlaces& places) {
    return PrepareImageOnce(path, sectors, force, places, true);
}

}  // namespace cli
