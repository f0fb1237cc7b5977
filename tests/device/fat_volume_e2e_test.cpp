// The model's FAT file system against the independent FAT tools: files
// written through the simulated PC's mounted volume (a new file, a file of
// many clusters, a file made again shorter, attributes) on disks the
// builder made, then the partition checked by fsck.fat and read by mtools.
// The simulated PC's view of its disks is only as good as this.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/device/sim_fixture.h"

namespace {

namespace fs = std::filesystem;

struct CommandResult {
    int exitCode;
    std::string output;
};

CommandResult RunTool(const std::string& command) {
    CommandResult result{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk;
    std::size_t count;
    while ((count = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), count);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

struct VolumeCase {
    const char* name;
    std::uint32_t sectors;
    const char* fatType;  // as mtools' minfo names it
};

class FatVolumeToolsTest : public SimFixture, public ::testing::WithParamInterface<VolumeCase> {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        dir_ = fs::temp_directory_path() / ("vorn_fat_volume_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::remove_all(dir_);
        SimFixture::TearDown();
    }

    bool Write(const char* path, const std::string& bytes, std::uint32_t attributes = 0) {
        platform::Handle file = sim_.CreateFileA(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
        if (file == kInvalidHandle) return false;
        std::uint32_t written = 0;
        const bool ok = sim_.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
        if (!sim_.CloseHandle(file) || !ok) return false;
        return attributes == 0 || sim_.SetFileAttributesA(path, attributes);
    }

    // The partition as a sparse file of its own: sectors start to the end
    // of the disk, all-zero stretches left as holes.
    std::string ExportPartition(EmulatedScsiDisk& disk, std::uint32_t start, std::uint32_t sectors) {
        const std::string path = (dir_ / "partition.img").string();
        const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        const std::uint64_t bytes = std::uint64_t{sectors - start} * scsi::kSectorSize;
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(bytes)), 0);
        std::vector<std::uint8_t> chunk(1 << 20);
        for (std::uint64_t at = 0; at < bytes; at += chunk.size()) {
            const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), bytes - at));
            disk.ReadBytes(std::uint64_t{start} * scsi::kSectorSize + at, chunk.data(), length);
            if (std::all_of(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(length),
                            [](std::uint8_t byte) { return byte == 0; })) {
                continue;
            }
            EXPECT_EQ(::pwrite(fd, chunk.data(), length, static_cast<off_t>(at)), static_cast<ssize_t>(length));
        }
        ::close(fd);
        return path;
    }

    fs::path dir_;
};

TEST_P(FatVolumeToolsTest, FilesWrittenThroughTheMountedVolumeAreWhatTheToolsRead) {
    const VolumeCase& volume = GetParam();
    auto disk = PlugFormattedDisk(volume.sectors, 0, "USBHDDBOOT");
    const std::string big(300000, 'b');  // many clusters of any size here
    ASSERT_TRUE(Write("E:\\IO.SYS", std::string(224150, 'i')));
    ASSERT_TRUE(Write("E:\\VORN.exe", big));
    ASSERT_TRUE(Write("E:\\ISP.BAT", "VORN -f"));
    // Made again, shorter: the clusters of the first go back to the FAT.
    ASSERT_TRUE(Write("E:\\IO.SYS", "io", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(Write("E:\\CWSDPMI.EXE", std::string(20473, 'c'), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    const std::uint32_t start = sim_.Volumes().VolumeStart('E').value_or(0);
    const std::string image = ExportPartition(*disk, start, volume.sectors);
    const CommandResult fsck = RunTool("fsck.fat -n '" + image + "'");
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    const CommandResult info = RunTool("MTOOLS_SKIP_CHECK=1 minfo -i '" + image + "' ::");
    EXPECT_NE(info.output.find(volume.fatType), std::string::npos) << info.output;
    const CommandResult listing = RunTool("MTOOLS_SKIP_CHECK=1 mdir -a -i '" + image + "' ::");
    EXPECT_NE(listing.output.find("USBHDDBOOT"), std::string::npos) << listing.output;
    EXPECT_EQ(RunTool("MTOOLS_SKIP_CHECK=1 mtype -i '" + image + "' ::VORN.exe").output, big);
    EXPECT_EQ(RunTool("MTOOLS_SKIP_CHECK=1 mtype -i '" + image + "' ::ISP.BAT").output, "VORN -f");
    EXPECT_EQ(RunTool("MTOOLS_SKIP_CHECK=1 mtype -i '" + image + "' ::IO.SYS").output, "io");
    const CommandResult attributes = RunTool("MTOOLS_SKIP_CHECK=1 mattrib -i '" + image + "' ::IO.SYS ::CWSDPMI.EXE");
    EXPECT_NE(attributes.output.find(" SHR     ::/IO.SYS"), std::string::npos) << attributes.output;
    EXPECT_NE(attributes.output.find("  HR     ::/CWSDPMI.EXE"), std::string::npos) << attributes.output;
}

INSTANTIATE_TEST_SUITE_P(Volumes, FatVolumeToolsTest,
                         ::testing::Values(VolumeCase{"Fat16", 3915776, "FAT16"},
                                           VolumeCase{"Fat32", 7831552, "FAT32"}),
                         [](const ::testing::TestParamInfo<VolumeCase>& info) { return std::string(info.param.name); });

}  // namespace
