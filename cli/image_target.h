// The image file a make writes. It is opened once, checked to be a regular
// file, locked (flock, so that a second make of the same file is refused at
// once) and held until the make ends; the make's drive and mtools use the
// held descriptor, never the path again.
//
// An existing file is taken at its own size (a size given must match it)
// when it is empty or holds a disk image (the boot record signature 55 AA
// at byte 510), else only with --force. A missing file is created sparse
// with the size. Nothing is created under /dev or on a devtmpfs. Nothing is
// created or changed when the checks fail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "host/leftovers.h"

namespace cli {

class ImageTarget {
public:
    ImageTarget() = default;
    ~ImageTarget();
    ImageTarget(ImageTarget&& other) noexcept;
    ImageTarget& operator=(ImageTarget&& other) noexcept;
    ImageTarget(const ImageTarget&) = delete;
    ImageTarget& operator=(const ImageTarget&) = delete;

    std::string path;
    std::uint32_t sectors = 0;
    bool created = false;              // the make created the file
    bool wasEmpty = false;             // an existing empty file, given its size by the make
    std::uint64_t existingBytes = 0;   // the size of an existing file
    int descriptor = -1;               // open for reading and writing, locked; -1 when not ready
    std::string error;                 // empty when the image is ready
    bool badSize = false;              // the error is about the size asked for

    // "the new image file 'vorn.img' (3915776 sectors)" and the like.
    std::string Description() const;

    // The file was created: until the make finishes it, a make that must
    // end at once removes it.
    void Unfinished() { unfinished_ = platform::host::Leftover(platform::host::Leftover::Kind::kFile, path); }
    // The make finished the image: it is no longer removed by a second
    // interrupt.
    void Finished() { unfinished_.Forget(); }
    // Undoes what the make did to the file before writing it: a created
    // file is removed (only while the path still names it), an empty one
    // emptied again. Returns what was done, for the operator ("removed
    // 'vorn.img'"), or empty.
    std::string Undo();

private:
    platform::host::Leftover unfinished_;  // a created file, until the make finished it
};

// Where device nodes live: no image is made there. The program uses the
// system's; a test gives a folder of its own and a mount table that says
// what that folder is.
struct DevicePlaces {
    std::string deviceFolder = "/dev";
    std::string mountInfo = "/proc/self/mountinfo";  // the mount table, to find devtmpfs folders
};

// sectors: the size asked for, or empty for an existing file's own size
// (kDefaultImageSectors for a new or empty one). force: take an existing
// file that holds no disk image.
ImageTarget PrepareImage(const std::string& path, std::optional<std::uint32_t> sectors, bool force = false,
                         const DevicePlaces& places = {});

}  // namespace cli
