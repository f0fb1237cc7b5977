#include "bench/reference_runs.h"

#include <chrono>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/sparse_file.h"
#include "fatdisk/on_disk_format.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kTransferLimitBytes = 64 * 1024;  // 128 sectors, one command
constexpr std::uint32_t kMkfsBlockBytes = 1024;         // mkfs.fat counts its size in these

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the program with its output thrown away; its exit code, or -1.
int RunQuietly(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::uint32_t ReadLe(const std::uint8_t* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

// Sectors per FAT from the boot sector at `lba` of the image.
std::uint32_t SectorsPerFatOnDisk(const std::string& imagePath, std::uint32_t lba) {
    std::uint8_t sector[fatdisk::kSectorSize] = {};
    int fd = ::open(imagePath.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    ssize_t got = ::pread(fd, sector, sizeof sector, off_t{lba} * fatdisk::kSectorSize);
    ::close(fd);
    if (got != static_cast<ssize_t>(sizeof sector)) return 0;
    std::uint32_t fat16 = ReadLe(sector + fatdisk::kBpbSectorsPerFat16, 2);
    return fat16 != 0 ? fat16 : ReadLe(sector + fatdisk::kFat32SectorsPerFat, 4);
}

}  // namespace

bool RunMkfsFat(const std::string& imagePath, std::uint32_t sectors, const LayoutFacts& layout,
                MkfsRun* run, std::string* error) {
    if (!MakeSparseFile(imagePath, std::uint64_t{sectors} * fatdisk::kSectorSize)) {
        *error = "cannot make the image file " + imagePath;
        return false;
    }
    const std::uint64_t volumeBytes = std::uint64_t{layout.partitionSectors} * fatdisk::kSectorSize;
    std::vector<std::string> arguments = {
        "mkfs.fat", "-F", layout.isFat16 ? "16" : "32",
        "-s", std::to_string(layout.sectorsPerCluster),
        "-R", std::to_string(layout.reservedSectors),
        "-f", "2",
        "-h", std::to_string(layout.partitionStart),
        "--offset=" + std::to_string(layout.partitionStart),
        "-n", "USBHDDBOOT", "-i", "01234567", "--invariant"};
    if (layout.isFat16) {
        arguments.push_back("-r");
        arguments.push_back(std::to_string(layout.rootEntries));
    }
    arguments.push_back(imagePath);
    arguments.push_back(std::to_string(volumeBytes / kMkfsBlockBytes));

    Clock::time_point start = Clock::now();
    int exitCode = RunQuietly(arguments);
    run->seconds = SecondsSince(start);
    run->sectorsPerFat = SectorsPerFatOnDisk(imagePath, layout.partitionStart);
    RemoveFile(imagePath);
    if (exitCode != 0) {
        *error = "mkfs.fat exited with " + std::to_string(exitCode);
        return false;
    }
    return true;
}

double RunPlainCopy(const std::string& imagePath, std::uint64_t sizeBytes, std::uint64_t bytes) {
    if (!MakeSparseFile(imagePath, sizeBytes)) return -1;
    std::vector<std::uint8_t> block(kTransferLimitBytes, 0);
    block[0] = 0xEB;  // not all zeros, as the areas are not
    int fd = ::open(imagePath.c_str(), O_WRONLY);
    if (fd < 0) return -1;
    bool ok = true;
    Clock::time_point start = Clock::now();
    for (std::uint64_t done = 0; ok && done < bytes;) {
        std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(bytes - done, block.size()));
        ok = ::pwrite(fd, block.data(), length, static_cast<off_t>(done)) ==
             static_cast<ssize_t>(length);
        done += length;
    }
    double seconds = SecondsSince(start);
    ::close(fd);
    RemoveFile(imagePath);
    return ok ? seconds : -1;
}

}  // namespace bench
