// The restart of a real disk: the SCSI device is deleted through sysfs and
// its address rescanned on the host, so that the kernel reads the new
// partition table and the file system is mounted afresh.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/win_types.h"
#include "host/host_errors.h"
#include "host/real_disk_drive.h"

namespace fs = std::filesystem;

namespace platform::host {

namespace {

constexpr auto kPresencePoll = std::chrono::milliseconds(100);

bool WriteAttribute(const fs::path& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

}  // namespace

std::uint32_t RealDiskDrive::Restart() {
    std::string name;
    {
        std::lock_guard lock(mutex_);
        name = name_;
    }
    unsigned host = 0, channel = 0, target = 0, lun = 0;
    const bool scsi = std::sscanf(scsiAddress_.c_str(), "%u:%u:%u:%u", &host, &channel, &target, &lun) == 4;
    const fs::path sys(roots_.sys);
    if (scsi && WriteAttribute(sys / "block" / name / "device" / "delete", "1")) {
        std::ostringstream address;
        address << channel << ' ' << target << ' ' << lun;
        const fs::path scan = sys / "class" / "scsi_host" / ("host" + std::to_string(host)) / "scan";
        if (!WriteAttribute(scan, address.str())) {
            std::fprintf(stderr, "makevorndisk: cannot rescan %s: %s\n", scan.c_str(), std::strerror(errno));
            return ErrorFromErrno(errno);
        }
    } else {
        // Without the SCSI device's sysfs controls: drop the cached pages
        // and let the kernel read the new partition table.
        int fd = ::open(NodePath(name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return ErrorFromErrno(errno);
        ::ioctl(fd, BLKFLSBUF, 0);
        const bool reread = ::ioctl(fd, BLKRRPART, 0) == 0;
        const int saved = errno;
        ::close(fd);
        if (!reread) {
            std::fprintf(stderr, "makevorndisk: cannot re-read the partitions of /dev/%s: %s\n", name.c_str(),
                         std::strerror(saved));
            return ErrorFromErrno(saved);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + kRestartWait;
    while (!IsPresent() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPresencePoll);
    }
    return 0;
}

}  // namespace platform::host
