// Files on the mounted volume of an image drive, written by mtools: on a
// volume made by mkfs.fat (a whole-disk volume from sector 0), what is
// closed lands in the image with its attributes, and what the volume cannot
// take is refused before any tool runs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "host/host_system.h"
#include "host/image_drive.h"
#include "tests/host/host_make.h"

namespace host_test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kImageSectors = 20480;

class HostMountedFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vorn_files_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        image_ = dir_ / "floppy.img";
        ToolRun format = RunTool({"mkfs.fat", "-C", image_.string(), std::to_string(kImageSectors / 2)});
        ASSERT_EQ(format.exitCode, 0) << format.output;
        ASSERT_TRUE(host_.AttachImage(image_.string(), 'E'));
        setenv("MTOOLS_SKIP_CHECK", "1", 1);
    }
    void TearDown() override {
        EXPECT_EQ(host_.OpenHandleCount(), 0u);
        host_.DetachDrive('E');
        fs::remove_all(dir_);
    }

    bool WriteWhole(const char* path, const std::string& bytes) {
        platform::Handle file = host_.CreateFileA(path, GENERIC_WRITE, 3, CREATE_ALWAYS, 0);
        if (file == kInvalidHandle) return false;
        std::uint32_t written = 0;
        const bool wrote = host_.WriteFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written);
        return host_.CloseHandle(file) && wrote && written == bytes.size();
    }

    std::string Listing() { return RunTool({"mdir", "-a", "-b", "-i", image_.string(), "::"}).output; }

    fs::path dir_;
    fs::path image_;
    platform::HostSystem host_;
};

TEST_F(HostMountedFiles, ClosedFilesLandInTheImageWithTheirAttributes) {
    ASSERT_TRUE(WriteWhole("E:\\ISP.BAT", "VORN -f"));
    ASSERT_TRUE(WriteWhole("E:\\IO.SYS", std::string(3000, 'x')));
    ASSERT_TRUE(host_.SetFileAttributesA("E:\\IO.SYS", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(host_.SetFileAttributesA("E:\\IO.SYS", 7));
    // Replacing a file keeps one entry.
    ASSERT_TRUE(WriteWhole("E:\\ISP.BAT", "VORN -f"));

    EXPECT_EQ(Listing(), "::/ISP.BAT\n::/IO.SYS\n");
    ToolRun attributes = RunTool({"mattrib", "-i", image_.string(), "::IO.SYS"});
    EXPECT_NE(attributes.output.find("SHR"), std::string::npos) << attributes.output;
    EXPECT_EQ(attributes.output.find("A "), std::string::npos) << attributes.output;
    ToolRun text = RunTool({"mtype", "-i", image_.string(), "::ISP.BAT"});
    EXPECT_EQ(text.output, "VORN -f");
}

TEST_F(HostMountedFiles, NamesThatAreNotARootFileAreRefused) {
    for (const char* path : {"E:\\..", "E:\\a/b", "E:\\../../etc/x", "E:\\DIR\\IO.SYS", "E:\\", "E:IO.SYS",
                             "F:\\IO.SYS", "E:\\A*B"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(host_.CreateFileA(path, GENERIC_WRITE, 3, CREATE_ALWAYS, 0), kInvalidHandle);
        EXPECT_NE(host_.GetLastError(), 0u);
        EXPECT_FALSE(host_.SetFileAttributesA(path, 0));
    }
    EXPECT_EQ(Listing(), "");
}

TEST_F(HostMountedFiles, AFileOpenAcrossARestartIsLost) {
    platform::Handle file = host_.CreateFileA("E:\\IO.SYS", GENERIC_WRITE, 3, CREATE_ALWAYS, 0);
    ASSERT_NE(file, kInvalidHandle);
    ASSERT_EQ(host_.RestartDrive('E'), 0u);
    std::uint32_t written = 0;
    EXPECT_FALSE(host_.WriteFile(file, "x", 1, &written));
    EXPECT_EQ(host_.GetLastError(), kErrorDeviceNotConnected);
    EXPECT_FALSE(host_.CloseHandle(file));
    std::this_thread::sleep_for(platform::host::ImageDrive::kAwayAfterRestart + std::chrono::milliseconds(50));
    EXPECT_EQ(Listing(), "");
}

}  // namespace
}  // namespace host_test
