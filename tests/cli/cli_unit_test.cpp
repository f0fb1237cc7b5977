// The command line's own decisions: sizes, the arguments of a make, the
// image file it holds, and the exit code a make ends with, from the phase
// the dialog recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/image_target.h"
#include "cli/make_outcome.h"
#include "fatdisk/fat_disk_builder.h"

namespace {

struct SizeCase {
    const char* text;
    std::optional<std::uint32_t> sectors;
};

class Sizes : public testing::TestWithParam<SizeCase> {};

TEST_P(Sizes, AreReadAsSectors) { EXPECT_EQ(cli::ParseSize(GetParam().text), GetParam().sectors); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Sizes,
    testing::Values(SizeCase{"2G", 4194304u}, SizeCase{"2GiB", 4194304u}, SizeCase{"1900M", 3891200u},
                    SizeCase{"4GB", 7812500u}, SizeCase{"3915776s", 3915776u}, SizeCase{"2004877312", 3915776u},
                    SizeCase{"512K", 1024u}, SizeCase{"2T", std::nullopt},
                    SizeCase{"1000", std::nullopt}, SizeCase{"1KB", std::nullopt}, SizeCase{"G", std::nullopt},
                    SizeCase{"-2G", std::nullopt}, SizeCase{"2g", 4194304u}, SizeCase{"2gib", 4194304u},
                    SizeCase{"2GIB", 4194304u}, SizeCase{"4gb", 7812500u}, SizeCase{"3915776S", 3915776u},
                    SizeCase{"2 G", std::nullopt}, SizeCase{"", std::nullopt},
                    SizeCase{"4294967295s", 4294967295u}, SizeCase{"4294967296s", std::nullopt},
                    SizeCase{"99999999999999999999G", std::nullopt}));

// Why a size is refused, for the operator.
TEST(Sizes, SayWhyTheyAreRefused) {
    EXPECT_EQ(cli::ReadSize("1000").problem,
              "is 1000 bytes, not a whole number of 512-byte sectors (a bare number counts bytes)");
    EXPECT_EQ(cli::ReadSize("1000K").problem, "");
    EXPECT_EQ(cli::ReadSize("2T").problem, "is more than 4294967295 sectors (2 TiB), the most a disk can have");
    EXPECT_EQ(cli::ReadSize("99999999999999999999s").problem, cli::ReadSize("2T").problem);
    EXPECT_EQ(cli::ReadSize("two").problem, "is no size");
}

// The smallest disk the usage text and the refusals name is the layout
// engine's.
TEST(Sizes, TheSmallestDiskIsTheLayoutEnginesSmallest) {
    for (const std::uint32_t sectors : {cli::kSmallestDiskSectors - 1, cli::kSmallestDiskSectors}) {
        CFatDiskBuilder builder('E');
        builder.m_layoutMode = 0;
        EXPECT_EQ(builder.Setup(sectors, "", false), sectors == cli::kSmallestDiskSectors) << sectors;
    }
}

TEST(MakeArguments, DefaultToTheImageMakeAndTakeTheirValues) {
    std::vector<std::string_view> none;
    cli::ParseResult result = cli::ParseArguments(none);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.commandLine.action, cli::Action::kMake);
    EXPECT_FALSE(result.commandLine.image || result.commandLine.device || result.commandLine.sectors);
    EXPECT_FALSE(result.commandLine.yes);

    std::vector<std::string_view> image = {"--image=disk.img", "--size", "2G", "--yes"};
    result = cli::ParseArguments(image);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.commandLine.image, "disk.img");
    EXPECT_EQ(result.commandLine.sectors, 4194304u);
    EXPECT_TRUE(result.commandLine.yes);

    std::vector<std::string_view> device = {"--device", "disks/sdb"};
    EXPECT_EQ(cli::ParseArguments(device).commandLine.device, "disks/sdb");
    std::vector<std::string_view> list = {"--list"};
    EXPECT_EQ(cli::ParseArguments(list).commandLine.action, cli::Action::kList);
    std::vector<std::string_view> help = {"-h"};
    EXPECT_EQ(cli::ParseArguments(help).commandLine.action, cli::Action::kHelp);
    std::vector<std::string_view> version = {"-V"};
    EXPECT_EQ(cli::ParseArguments(version).commandLine.action, cli::Action::kVersion);
    std::vector<std::string_view> forced = {"--image", "backup.tar", "--force"};
    EXPECT_TRUE(cli::ParseArguments(forced).commandLine.force);
}

// The image file a make holds: locked against a second make, and what the
// make did to it before writing undone only while it is the make's own.
class HeldImage : public testing::Test {
protected:
    void SetUp() override {
        // One folder per test: ctest runs the tests of this fixture side by side.
        folder_ = std::filesystem::path(testing::TempDir()) /
                  (std::string("held_image_") + testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string Path(const char* name) const { return (folder_ / name).string(); }

    std::filesystem::path folder_;
};

TEST_F(HeldImage, IsLockedAgainstASecondMake) {
    cli::ImageTarget first = cli::PrepareImage(Path("stick.img"), 20480);
    ASSERT_EQ(first.error, "");
    EXPECT_TRUE(first.created);
    EXPECT_EQ(std::filesystem::file_size(Path("stick.img")), 20480u * 512);

    const cli::ImageTarget second = cli::PrepareImage(Path("stick.img"), std::nullopt, true);
    EXPECT_NE(second.error.find("is being made by another makevorndisk (the file is locked)"), std::string::npos)
        << second.error;
    EXPECT_EQ(second.descriptor, -1);
    EXPECT_TRUE(std::filesystem::exists(Path("stick.img")));
}

TEST_F(HeldImage, UndoRemovesOnlyTheFileTheMakeCreated) {
    cli::ImageTarget target = cli::PrepareImage(Path("stick.img"), 20480);
    ASSERT_EQ(target.error, "");
    // Renamed away and something else put in its place: neither is removed.
    std::filesystem::rename(Path("stick.img"), Path("moved.img"));
    std::ofstream(Path("stick.img")) << "someone else's";
    EXPECT_EQ(target.Undo(), "'" + Path("stick.img") + "' no longer names the new image; nothing was removed");
    EXPECT_TRUE(std::filesystem::exists(Path("stick.img")));
    EXPECT_TRUE(std::filesystem::exists(Path("moved.img")));

    cli::ImageTarget again = cli::PrepareImage(Path("again.img"), 20480);
    ASSERT_EQ(again.error, "");
    EXPECT_EQ(again.Undo(), "removed the new image '" + Path("again.img") + "'");
    EXPECT_FALSE(std::filesystem::exists(Path("again.img")));
}

// No image is made where device nodes live: the test's own folder stands
// for /dev, and a mount table of its own says which folder is a devtmpfs.
// Every refusal comes before anything is created; the folders stay empty.
TEST_F(HeldImage, IsNeverMadeWhereDeviceNodesLive) {
    namespace fs = std::filesystem;
    const fs::path devices = folder_ / "dev";
    const fs::path devtmpfs = folder_ / "devtmpfs";
    fs::create_directories(devices);
    fs::create_directories(devtmpfs);
    fs::create_directory_symlink(devices, folder_ / "link-to-dev");
    // The root an ordinary file system, the folder a devtmpfs mounted on it
    // (with the mount table's escapes in its mount point).
    fs::create_directories(folder_ / "dev tmp");
    std::ofstream(folder_ / "mountinfo") << "21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                         << "22 21 0:5 / " << devtmpfs.string() << " rw - devtmpfs udev rw\n"
                                         << "23 21 0:6 / " << (folder_ / "dev\\040tmp").string()
                                         << " rw shared:2 - devtmpfs udev rw\n";
    const cli::DevicePlaces places{devices.string(), (folder_ / "mountinfo").string()};

    struct PlaceCase {
        fs::path image;
        std::string refusal;
    };
    const PlaceCase cases[] = {
        {devices / "vda1", "is in " + devices.string() + ", where --image makes no file; to write a disk, name it "
                                                        "with --device"},
        {devices / "missing-folder" / "a.img", "is in " + devices.string()},
        {folder_ / "link-to-dev" / "sdb", "is in " + devices.string()},
        {devices / ".." / "dev" / "sdb", "is in " + devices.string()},
        {devtmpfs / "sdb", "is on a devtmpfs (a device folder), where --image makes no file"},
        {devtmpfs / "missing-folder" / "a.img", "is on a devtmpfs"},
        {folder_ / "dev tmp" / "sdb", "is on a devtmpfs"},
    };
    for (const PlaceCase& place : cases) {
        SCOPED_TRACE(place.image);
        const cli::ImageTarget target = cli::PrepareImage(place.image.string(), 20480, true, places);
        EXPECT_NE(target.error.find(place.refusal), std::string::npos) << target.error;
        EXPECT_EQ(target.descriptor, -1);
        EXPECT_FALSE(target.created);
    }
    EXPECT_TRUE(fs::is_empty(devices));
    EXPECT_TRUE(fs::is_empty(devtmpfs));
    EXPECT_TRUE(fs::is_empty(folder_ / "dev tmp"));

    // Beside those folders an image is made as usual.
    cli::ImageTarget beside = cli::PrepareImage(Path("beside.img"), 20480, false, places);
    EXPECT_EQ(beside.error, "");
    EXPECT_TRUE(beside.created);
}

// A make that went well, as the judge sees it; each case spoils one part.
cli::MakeRecord GoodMake() {
    cli::MakeRecord record;
    record.ended = true;
    record.confirmationAsked = true;
    record.confirmed = true;
    record.completed = true;
    record.filesWritten = 8;
    return record;
}

struct JudgeCase {
    const char* name;
    void (*spoil)(cli::MakeRecord&);
    int exitCode;
};

std::ostream& operator<<(std::ostream& out, const JudgeCase& c) { return out << c.name; }

class Judge : public testing::TestWithParam<JudgeCase> {};

TEST_P(Judge, GivesThePhaseItsExitCode) {
    cli::MakeRecord record = GoodMake();
    GetParam().spoil(record);
    EXPECT_EQ(cli::JudgeMake(record).exitCode, GetParam().exitCode) << cli::JudgeMake(record).summary;
}

// A failed phase: the first half ends without the worker, the second half
// still posts its completion line after a payload file failed.
template <MakePhase phase, bool completed>
void FailedIn(cli::MakeRecord& record) {
    record.failedPhase = phase;
    record.completed = completed;
}

INSTANTIATE_TEST_SUITE_P(
    Phases, Judge,
    testing::Values(
        JudgeCase{"Completed", [](cli::MakeRecord&) {}, cli::kExitMade},
        JudgeCase{"DialogHung", [](cli::MakeRecord& r) { r.ended = false; }, cli::kExitProgramFailed},
        JudgeCase{"NeverAsked", [](cli::MakeRecord& r) { r.confirmationAsked = false; }, cli::kExitProgramFailed},
        JudgeCase{"AnsweredNo", [](cli::MakeRecord& r) { r.confirmed = false; }, cli::kExitDeclined},
        JudgeCase{"Capacity", FailedIn<MakePhase::kCapacity, false>, cli::kExitCapacity},
        JudgeCase{"Build", FailedIn<MakePhase::kBuild, false>, cli::kExitBuild},
        JudgeCase{"ReadBack", FailedIn<MakePhase::kReadBack, false>, cli::kExitReadBack},
        JudgeCase{"Identity", FailedIn<MakePhase::kDeviceIdentity, false>, cli::kExitDeviceIdentity},
        JudgeCase{"DriveLost", FailedIn<MakePhase::kDriveBack, false>, cli::kExitDriveLost},
        JudgeCase{"NotRemounted", FailedIn<MakePhase::kRemount, false>, cli::kExitNotRemounted},
        JudgeCase{"PayloadFile", FailedIn<MakePhase::kPayload, true>, cli::kExitPayload},
        JudgeCase{"SevenFiles", [](cli::MakeRecord& r) { r.filesWritten = 7; }, cli::kExitPayload},
        JudgeCase{"AttributesNotSet", [](cli::MakeRecord& r) { r.attributeFailures = 1; }, cli::kExitPayload},
        JudgeCase{"NoCompletionLine", [](cli::MakeRecord& r) { r.completed = false; }, cli::kExitProgramFailed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
