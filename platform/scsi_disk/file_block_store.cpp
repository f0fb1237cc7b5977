#include <fstream>

#include "platform/scsi_disk/block_store.h"

namespace {

class FileBlockStore : public BlockStore {
public:
    FileBlockStore(std::fstream file, std::uint64_t sizeBytes)
        : file_(std::move(file)), sizeBytes_(sizeBytes) {}

    std::uint64_t SizeBytes() const override { return sizeBytes_; }

    bool Read(std::uint64_t offset, void* data, std::size_t size) override {
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        file_.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
        return static_cast<bool>(file_);
    }

    bool Write(std::uint64_t offset, const void* data, std::size_t size) override {
        file_.clear();
        file_.seekp(static_cast<std::streamoff>(offset));
        file_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        file_.flush();
        return static_cast<bool>(file_);
    }

private:
    std::fstream file_;
    std::uint64_t sizeBytes_;
};

}  // namespace

std::unique_ptr<BlockStore> OpenFileBlockStore(const std::string& path) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!file) return nullptr;
    file.seekg(0, std::ios::end);
    std::streamoff size = file.tellg();
    if (size < 0) return nullptr;
    return std::make_unique<FileBlockStore>(std::move(file), static_cast<std::uint64_t>(size));
}
