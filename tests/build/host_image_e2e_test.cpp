// End to end on the Linux backend: a sparse image file exposed as drive E:
// is built and read back as the Make workflow does it, then checked by the
// independent FAT tools (fsck.fat, mtools).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "device/scsi_constants.h"
#include "fatdisk/fat_disk_builder.h"
#include "host/host_system.h"
#include "platform/byte_order.h"

namespace {

namespace fs = std::filesystem;

struct CommandResult {
    int exitCode;
    std::string output;
};

CommandResult RunCommand(const std::string& command) {
    CommandResult result{-1, {}};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

struct ImageCase {
    const char* name;
    std::uint32_t sectors;
    const char* fatType;
};

class HostImageTest : public ::testing::TestWithParam<ImageCase> {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vorn_e2e_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        image_ = dir_ / "stick.img";
        { std::ofstream create(image_, std::ios::binary); }
        fs::resize_file(image_, std::uint64_t{GetParam().sectors} * 512);
        platform::InstallSystemServices(&host_);
    }
    void TearDown() override {
        EXPECT_EQ(host_.OpenHandleCount(), 0u);
        platform::InstallSystemServices(nullptr);
        host_.DetachImage('E');
        fs::remove_all(dir_);
    }

    fs::path dir_;
    fs::path image_;
    platform::HostSystem host_;
};

TEST_P(HostImageTest, TheMadeDiskPassesTheFatToolsWithItsLabel) {
    const std::uint32_t sectors = GetParam().sectors;
    ASSERT_TRUE(host_.AttachImage(image_.string(), 'E'));

    // Capacity as the workflow reads it, then its two Setup calls and the read-back.
    CScsiChannel channel;
    std::uint8_t capacity[8];
    ASSERT_FALSE(channel.ReadCapacity('E', capacity));
    const std::uint32_t lastLba = platform::LoadBe32(capacity + scsi::kReadCapacityLastLba);
    ASSERT_EQ(lastLba + 1, sectors);

    CFatDiskBuilder builder('E');
    builder.m_layoutMode = 0;
    ASSERT_TRUE(builder.Setup(lastLba + 1, "USBHDDBOOT", true)) << builder.m_errorText;
    ASSERT_TRUE(builder.Setup(lastLba + 1, "", false)) << builder.m_errorText;
    ASSERT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
    // The file stays sparse: only the areas were written.
    EXPECT_EQ(fs::file_size(image_), std::uint64_t{sectors} * 512);

    // fsck.fat has no offset option: check a copy of the partition, made of
    // its written head and a sparse tail of the right size.
    const std::uint32_t start = builder.m_partitionStart;
    const std::uint32_t head = builder.m_reservedSectors + 2 * builder.m_sectorsPerFat +
                               (builder.m_isFat16 ? builder.m_rootDirSectors : builder.m_sectorsPerCluster);
    const fs::path partition = dir_ / "partition.img";
    CommandResult cut = RunCommand("dd if=" + image_.string() + " of=" + partition.string() +
                                   " bs=512 skip=" + std::to_string(start) +
                                   " count=" + std::to_string(head) + " status=none");
    ASSERT_EQ(cut.exitCode, 0) << cut.output;
    fs::resize_file(partition, std::uint64_t{builder.PartitionSectors()} * 512);
    CommandResult fsck = RunCommand("fsck.fat -n " + partition.string());
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;

    const std::string volume = image_.string() + "@@" + std::to_string(std::uint64_t{start} * 512);
    CommandResult info = RunCommand("MTOOLS_SKIP_CHECK=1 minfo -i " + volume + " ::");
    EXPECT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find(GetParam().fatType), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("USBHDDBOOT"), std::string::npos) << info.output;
    CommandResult dir = RunCommand("MTOOLS_SKIP_CHECK=1 mdir -i " + volume + " ::");
    EXPECT_EQ(dir.exitCode, 0) << dir.output;
    EXPECT_NE(dir.output.find("Volume in drive : is USBHDDBOOT"), std::string::npos) << dir.output;
}

INSTANTIATE_TEST_SUITE_P(Images, HostImageTest,
                         ::testing::Values(ImageCase{"Fat16", 3915776, "FAT16"},
                                           ImageCase{"Fat32", 7831552, "FAT32"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
