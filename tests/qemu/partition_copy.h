// A partition of a made disk's image copied out to a file of its own, for
// tools without an offset option (fsck.fat), moving only the extents of the
// sparse image that hold data.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace qemu_test {

// The bytes of image from startByte to its end, written to out. False when
// either file cannot be used or the image ends before startByte.
inline bool CopyPartitionOut(const std::string& image, std::uint64_t startByte, const std::string& out) {
    const off_t start = static_cast<off_t>(startByte);
    const int from = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
    const int to = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = from >= 0 && to >= 0;
    const off_t end = ok ? ::lseek(from, 0, SEEK_END) : 0;
    ok = ok && end > start && ::ftruncate(to, end - start) == 0;
    std::vector<char> buffer(1 << 20);
    off_t at = start;
    while (ok && at < end) {
        const off_t data = ::lseek(from, at, SEEK_DATA);
        if (data < 0) break;  // only a hole is left
        const off_t hole = ::lseek(from, data, SEEK_HOLE);
        for (off_t p = data; ok && p < hole;) {
            const ssize_t got = ::pread(from, buffer.data(), std::min<off_t>(hole - p, buffer.size()), p);
            ok = got > 0 && ::pwrite(to, buffer.data(), got, p - start) == got;
            p += got;
        }
        at = hole;
    }
    if (from >= 0) ::close(from);
    if (to >= 0) ::close(to);
    return ok;
}

}  // namespace qemu_test
