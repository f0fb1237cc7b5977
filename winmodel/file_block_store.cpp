// An image file behind an emulated disk, moved with positioned reads and
// writes on its descriptor: one system call per command, with no stream
// buffer or seek in between. Zeros over a hole of a sparse image are left
// out (the hole reads as zeros already), so that a fresh image stays sparse
// and writing its empty FATs costs next to nothing.
#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "winmodel/block_store.h"
#include "winmodel/zero_bytes.h"

namespace {

class FileBlockStore : public BlockStore {
public:
    FileBlockStore(int fd, std::uint64_t sizeBytes) : fd_(fd), sizeBytes_(sizeBytes) {}
    ~FileBlockStore() override { ::close(fd_); }
    FileBlockStore(const FileBlockStore&) = delete;
    FileBlockStore& operator=(const FileBlockStore&) = delete;

    std::uint64_t SizeBytes() const override { return sizeBytes_; }

    bool Read(std::uint64_t offset, void* data, std::size_t size) override {
        auto* out = static_cast<char*>(data);
        while (size > 0) {
            ssize_t got = ::pread(fd_, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;  // an error, or the file ended early
            out += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

    bool Write(std::uint64_t offset, const void* data, std::size_t size) override {
        if (IsAllZero(data, size)) return WriteZerosOverData(offset, data, size);
        return WriteAll(offset, data, size);
    }

private:
    bool WriteAll(std::uint64_t offset, const void* data, std::size_t size) {
        const auto* in = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t put = ::pwrite(fd_, in, size, static_cast<off_t>(offset));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            in += put;
            offset += static_cast<std::uint64_t>(put);
            size -= static_cast<std::size_t>(put);
        }
        return true;
    }

    // Zeros go only where the file holds data (dirty pages not yet on the
    // disk count); its holes read as zeros already. A file system that
    // cannot tell holes from data reports all of it as data.
    bool WriteZerosOverData(std::uint64_t offset, const void* zeros, std::size_t size) {
        const std::uint64_t start = offset;
        const std::uint64_t end = offset + size;
        const auto* in = static_cast<const char*>(zeros);
        while (offset < end) {
            off_t data = ::lseek(fd_, static_cast<off_t>(offset), SEEK_DATA);
            if (data < 0 && errno == ENXIO) return true;  // holes up to the end of the file
            std::uint64_t from = data < 0 ? offset : static_cast<std::uint64_t>(data);
            if (from >= end) return true;
            off_t hole = ::lseek(fd_, static_cast<off_t>(from), SEEK_HOLE);
            std::uint64_t to =
                hole < 0 ? end : std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), end);
            if (to <= from) to = end;
            if (!WriteAll(from, in + (from - start), static_cast<std::size_t>(to - from))) return false;
            offset = to;
        }
        return true;
    }

    int fd_;
    std::uint64_t sizeBytes_;
};

}  // namespace

std::unique_ptr<BlockStore> OpenFileBlockStore(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return AdoptFileBlockStore(fd);
}

std::unique_ptr<BlockStore> AdoptFileBlockStore(int fd) {
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileBlockStore>(fd, static_cast<std::uint64_t>(info.st_size));
}
