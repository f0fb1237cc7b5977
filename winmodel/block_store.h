// The bytes behind an emulated disk: a sparse in-memory store for the
// simulated PC, or an image file for the Linux command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class BlockStore {
public:
    virtual ~BlockStore() = default;

    virtual std::uint64_t SizeBytes() const = 0;
    // Moves size bytes at a byte offset; the caller keeps the range inside
    // SizeBytes. False on an I/O failure.
    virtual bool Read(std::uint64_t offset, void* data, std::size_t size) = 0;
    virtual bool Write(std::uint64_t offset, const void* data, std::size_t size) = 0;
};

// All zero at first; only the chunks written to take memory, so a store of
// several terabytes costs nothing until it is used.
std::unique_ptr<BlockStore> MakeMemoryBlockStore(std::uint64_t sizeBytes);

// An existing image file, opened for reading and writing; its size is the
// file's size. Null when the file cannot be opened.
std::unique_ptr<BlockStore> OpenFileBlockStore(const std::string& path);
// The same over a descriptor open for reading and writing, which the store
// takes over (and closes). Null, the descriptor closed, when its size
// cannot be read.
std::unique_ptr<BlockStore> AdoptFileBlockStore(int descriptor);
