// An image file behind an emulated disk, moved with positioned reads and
// writes on its descriptor: one system call per command, with no stream
// buffer or seek in between.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/scsi_disk/block_store.h"

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

private:
    int fd_;
    std::uint64_t sizeBytes_;
};

}  // namespace

std::unique_ptr<BlockStore> OpenFileBlockStore(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileBlockStore>(fd, static_cast<std::uint64_t>(info.st_size));
}
