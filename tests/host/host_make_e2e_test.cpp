// The whole make through the Linux backend on sparse image files of a
// 2 GB-class (FAT16) and a 4 GB-class (FAT32) stick; then the independent
// tools: fsck.fat on the partition cut out, mdir and mattrib on the volume
// in the image, and the files' bytes against the built payload.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "tests/host/host_make.h"
#include "tests/payload_expectations.h"

#ifndef VORN_PAYLOAD_DIR
#error "VORN_PAYLOAD_DIR: the folder of the built payload files"
#endif
#ifndef VORN_HOST_WORK_DIR
#error "VORN_HOST_WORK_DIR: the folder for the images"
#endif

namespace host_test {
namespace {

namespace fs = std::filesystem;

// Room for the payload behind the head of the volume (FAT32: the root too).
constexpr std::uint32_t kDataSectorsToCheck = 32768;

std::string Bytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct ImageCase {
    const char* name;
    std::uint32_t sectors;
};

class HostMake : public testing::TestWithParam<ImageCase> {};

TEST_P(HostMake, WritesABootableVolumeWithTheEightFiles) {
    const fs::path dir = fs::path(VORN_HOST_WORK_DIR) / GetParam().name;
    const fs::path image = dir / "stick.img";
    const MadeImage made = MakeImage(image.string(), GetParam().sectors);
    ASSERT_FALSE(testing::Test::HasFatalFailure());

    // The make ran to its end without a failure.
    ASSERT_FALSE(made.log.empty());
    EXPECT_EQ(made.log.front(), "'E:\\ ' Total Sector = " + std::to_string(GetParam().sectors) + "\n");
    EXPECT_TRUE(std::regex_match(made.log.back(), std::regex(R"(Done\. Total time spent = +[0-9]+\.[0-9] seconds \r\n)")))
        << made.log.back();
    EXPECT_EQ(made.log.size(), 4u) << testing::PrintToString(made.log);
    ASSERT_EQ(made.boxes.size(), 1u) << testing::PrintToString(made.boxes);
    EXPECT_EQ(made.openHandlesAtEnd, 0u);
    // Still sparse: only the areas and the files were written.
    EXPECT_EQ(fs::file_size(image), std::uint64_t{GetParam().sectors} * 512);

    const fs::path partition = dir / "partition.img";
    ToolRun cut = RunTool({"dd", "if=" + image.string(), "of=" + partition.string(), "bs=512",
                           "skip=" + std::to_string(made.partitionStart),
                           "count=" + std::to_string(made.headSectors + kDataSectorsToCheck), "conv=sparse",
                           "status=none"});
    ASSERT_EQ(cut.exitCode, 0) << cut.output;
    fs::resize_file(partition, std::uint64_t{made.partitionSectors} * 512);
    ToolRun fsck = RunTool({"fsck.fat", "-n", partition.string()});
    EXPECT_EQ(fsck.exitCode, 0) << fsck.output;
    fs::remove(partition);

    const std::string volume = image.string() + "@@" + std::to_string(std::uint64_t{made.partitionStart} * 512);
    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    ToolRun dir_listing = RunTool({"mdir", "-a", "-i", volume, "::"});
    ASSERT_EQ(dir_listing.exitCode, 0) << dir_listing.output;
    EXPECT_NE(dir_listing.output.find("Volume in drive : is USBHDDBOOT"), std::string::npos) << dir_listing.output;
    EXPECT_NE(dir_listing.output.find("8 files"), std::string::npos) << dir_listing.output;
    ToolRun attributes = RunTool({"mattrib", "-i", volume, "::*"});
    ASSERT_EQ(attributes.exitCode, 0) << attributes.output;

    std::size_t lastPosition = 0;
    for (const PayloadFile& file : kPayloadFiles) {
        SCOPED_TRACE(file.name);
        // Listed in install order, under its short name.
        const std::size_t position = dir_listing.output.find(payload_expectations::MdirShortName(file.name));
        ASSERT_NE(position, std::string::npos) << dir_listing.output;
        EXPECT_GT(position, lastPosition) << dir_listing.output;
        lastPosition = position;
        EXPECT_EQ(payload_expectations::MattribAttributes(attributes.output, file.name),
                  payload_expectations::FinalAttributes(file))
            << attributes.output;

        const fs::path copy = dir / "copy.bin";
        ToolRun out = RunTool({"mcopy", "-o", "-i", volume, std::string("::") + file.name, copy.string()});
        ASSERT_EQ(out.exitCode, 0) << out.output;
        EXPECT_EQ(Bytes(copy), Bytes(fs::path(VORN_PAYLOAD_DIR) / file.name));
        fs::remove(copy);
    }
    if (!testing::Test::HasFailure()) fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Sticks, HostMake,
                         testing::Values(ImageCase{"Fat16", 3915776}, ImageCase{"Fat32", 7831552}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace host_test
