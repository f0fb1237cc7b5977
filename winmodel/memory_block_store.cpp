#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "winmodel/block_store.h"
#include "winmodel/zero_bytes.h"

namespace {

class MemoryBlockStore : public BlockStore {
public:
    explicit MemoryBlockStore(std::uint64_t sizeBytes) : sizeBytes_(sizeBytes) {}

    std::uint64_t SizeBytes() const override { return sizeBytes_; }

    bool Read(std::uint64_t offset, void* data, std::size_t size) override {
        auto* out = static_cast<std::uint8_t*>(data);
        ForEachPiece(offset, size, [&](std::uint64_t chunk, std::size_t within, std::size_t length) {
            auto found = chunks_.find(chunk);
            if (found == chunks_.end()) {
                std::memset(out, 0, length);
            } else {
                std::memcpy(out, found->second.get() + within, length);
            }
            out += length;
        });
        return true;
    }

    bool Write(std::uint64_t offset, const void* data, std::size_t size) override {
        const auto* in = static_cast<const std::uint8_t*>(data);
        ForEachPiece(offset, size, [&](std::uint64_t chunk, std::size_t within, std::size_t length) {
            auto found = chunks_.find(chunk);
            if (found == chunks_.end()) {
                // Zeros over an untouched chunk change nothing: keep it sparse.
                if (IsAllZero(in, length)) {
                    in += length;
                    return;
                }
                found = chunks_.emplace(chunk, std::make_unique<std::uint8_t[]>(kChunkBytes)).first;
            }
            std::memcpy(found->second.get() + within, in, length);
            in += length;
        });
        return true;
    }

private:
    static constexpr std::size_t kChunkBytes = 64 * 1024;

    template <typename Fn>
    static void ForEachPiece(std::uint64_t offset, std::size_t size, Fn fn) {
        while (size > 0) {
            std::uint64_t chunk = offset / kChunkBytes;
            std::size_t within = static_cast<std::size_t>(offset % kChunkBytes);
            std::size_t length = std::min(size, kChunkBytes - within);
            fn(chunk, within, length);
            offset += length;
            size -= length;
        }
    }

    std::uint64_t sizeBytes_;
    std::unordered_map<std::uint64_t, std::unique_ptr<std::uint8_t[]>> chunks_;
};

}  // namespace

std::unique_ptr<BlockStore> MakeMemoryBlockStore(std::uint64_t sizeBytes) {
    return std::make_unique<MemoryBlockStore>(sizeBytes);
}
