#include "bench/sparse_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace bench {

bool MakeSparseFile(const std::string& path, std::uint64_t sizeBytes) {
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) return false;
    bool ok = ::ftruncate(fd, static_cast<off_t>(sizeBytes)) == 0;
    // What earlier runs left for the disk goes now, not during the next
    // measurement.
    ok = ok && ::syncfs(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace bench
