// The build and read-back on a simulated PC: the commands sent, the bytes
// that land on the disk, and the read-back compare.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/build/build_fixture.h"

namespace {

using BuildSequenceTest = BuildFixture;

std::vector<Command> FatCommands(std::uint32_t first, std::uint32_t sectors) {
    std::vector<Command> commands;
    for (std::uint32_t done = 0; done < sectors; done += 128) {
        commands.push_back(W(first + done, std::min<std::uint32_t>(128, sectors - done)));
    }
    return commands;
}

TEST_F(BuildSequenceTest, A2GbStickTakesSevenWritesAndFourReads) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true)) << builder.m_errorText;
    EXPECT_EQ(Commands(), (std::vector<Command>{W(0, 63), W(63, 6), W(69, 128), W(197, 111),
                                                W(308, 128), W(436, 111), W(547, 32)}));
    ExpectReleasedAfterLock();

    disk_->ClearTrace();
    sim_.Volumes().ClearEvents();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
    ASSERT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
    EXPECT_EQ(Commands(), (std::vector<Command>{R(0, 63), R(63, 6), R(69, 1), R(308, 1)}));
    ExpectReleasedAfterLock();
}

TEST_F(BuildSequenceTest, A4GbStickGetsBothFat32FatsInFullAndTheRootCluster) {
    Plug(kFat32Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat32Sectors, "USBHDDBOOT", true)) << builder.m_errorText;

    std::vector<Command> expected = {W(0, 63), W(63, 32)};
    for (const Command& c : FatCommands(95, 7634)) expected.push_back(c);
    for (const Command& c : FatCommands(7729, 7634)) expected.push_back(c);
    expected.push_back(W(15363, 8));
    ASSERT_EQ(expected.size(), 1u + 1 + 60 + 60 + 1);
    EXPECT_EQ(expected[61], W(95 + 59 * 128, 82));
    EXPECT_EQ(Commands(), expected);

    disk_->ClearTrace();
    ASSERT_TRUE(builder.Setup(kFat32Sectors, "", false));
    ASSERT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
    EXPECT_EQ(Commands(), (std::vector<Command>{R(0, 63), R(63, 32), R(95, 1), R(7729, 1)}));
}

TEST_F(BuildSequenceTest, WhatLandsOnTheDiskIsTheImagesAndNothingBeyondTheRootArea) {
    Plug(kFat16Sectors);
    // Old contents everywhere the build goes, and just past it.
    std::vector<std::uint8_t> junk(600 * 512, 0xE5);
    disk_->WriteBytes(0, junk.data(), junk.size());
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));

    std::vector<std::uint8_t> mbr(512), boot(512), fatHead(512);
    builder.MakeMbr(mbr.data());
    builder.MakeFat16BootSector(boot.data());
    builder.MakeFatHead(fatHead.data());
    auto zeros = [](std::uint32_t sectors) { return std::vector<std::uint8_t>(sectors * 512, 0); };
    EXPECT_EQ(Sectors(0, 1), mbr);
    EXPECT_EQ(Sectors(1, 62), zeros(62));
    EXPECT_EQ(Sectors(63, 1), boot);
    EXPECT_EQ(Sectors(64, 5), zeros(5));
    for (std::uint32_t fat : {69u, 308u}) {
        EXPECT_EQ(Sectors(fat, 1), fatHead) << "FAT at " << fat;
        EXPECT_EQ(Sectors(fat + 1, 238), zeros(238)) << "FAT at " << fat;
    }
    std::vector<std::uint8_t> root = Sectors(547, 32);
    EXPECT_EQ(std::string(root.begin(), root.begin() + 11), "USBHDDBOOT ");
    EXPECT_EQ(root[11], 0x08);
    EXPECT_EQ(std::vector<std::uint8_t>(root.begin() + 12, root.end()),
              std::vector<std::uint8_t>(32 * 512 - 12, 0));
    // The data area is not touched.
    EXPECT_EQ(Sectors(579, 1), std::vector<std::uint8_t>(512, 0xE5));
}

struct LabelCase {
    const char* name;
    const char* label;
    const char* nameField;  // null: no entry, the root area stays zero
};

class RootLabelTest : public BuildFixture, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(RootLabelTest, TheRootAreaHoldsOnlyTheTrimmedLabelEntry) {
    Plug(kFat32Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat32Sectors, GetParam().label, true));
    std::vector<std::uint8_t> root = Sectors(15363, 8);
    std::vector<std::uint8_t> expected(8 * 512, 0);
    if (GetParam().nameField != nullptr) {
        std::memcpy(expected.data(), GetParam().nameField, 11);
        expected[11] = 0x08;
    }
    EXPECT_EQ(root, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, RootLabelTest,
    ::testing::Values(LabelCase{"TenCharacters", "USBZIPBOOT", "USBZIPBOOT "},
                      LabelCase{"Empty", "", nullptr},
                      LabelCase{"OnlyWhiteSpace", " \t\r\n\v\f ", nullptr},
                      LabelCase{"OuterBlanksDropped", "\t  My Disk \r\n", "My Disk    "},
                      LabelCase{"LongerThanElevenIsCut", "ABCDEFGHIJKLMN", "ABCDEFGHIJK"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BuildSequenceTest, APartitionStartOfZeroHasNoMbrAreaToWriteOrRead) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    builder.m_layoutMode = 1;
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true)) << builder.m_errorText;
    ASSERT_EQ(builder.m_partitionStart, 0u);
    const std::uint32_t r = builder.m_reservedSectors;
    const std::uint32_t f = builder.m_sectorsPerFat;
    std::vector<Command> commands = Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), W(0, r));  // the boot sector is sector 0
    EXPECT_EQ(commands.back(), W(r + 2 * f, 32));

    disk_->ClearTrace();
    ASSERT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
    EXPECT_EQ(Commands(), (std::vector<Command>{R(0, r), R(r, 1), R(r + f, 1)}));
}

struct AreaCase {
    std::uint32_t sectors;
    std::uint32_t extraBytes;  // a partial sector at the end is not sent
    std::vector<std::uint32_t> counts;
};

class AreaSplitTest : public BuildFixture, public ::testing::WithParamInterface<AreaCase> {};

TEST_P(AreaSplitTest, AnAreaIsCutIntoCommandsOfAtMost128Sectors) {
    Plug(4096);
    CFatDiskBuilder builder(kLetter);
    std::vector<std::uint8_t> buffer(GetParam().sectors * 512 + GetParam().extraBytes, 0x3C);
    ASSERT_EQ(builder.m_channel.OpenVolume(kLetter), 0);
    EXPECT_TRUE(builder.WriteSectors(buffer.data(), buffer.size(), 1000));
    EXPECT_TRUE(builder.ReadSectors(buffer.data(), buffer.size(), 1000));
    builder.m_channel.CloseVolume();

    std::vector<Command> expected;
    std::uint32_t lba = 1000;
    for (std::uint32_t count : GetParam().counts) {
        expected.push_back(W(lba, count));
        lba += count;
    }
    lba = 1000;
    for (std::uint32_t count : GetParam().counts) {
        expected.push_back(R(lba, count));
        lba += count;
    }
    EXPECT_EQ(Commands(), expected);
}

INSTANTIATE_TEST_SUITE_P(Areas, AreaSplitTest,
                         ::testing::Values(AreaCase{0, 0, {}}, AreaCase{0, 511, {}},
                                           AreaCase{1, 0, {1}}, AreaCase{128, 0, {128}},
                                           AreaCase{256, 0, {128, 128}},
                                           AreaCase{257, 0, {128, 128, 1}},
                                           AreaCase{257, 300, {128, 128, 1}}));

// ---------------------------------------------------------------------------
// The read-back compare.

TEST_F(BuildSequenceTest, TheEmptyLabelOfTheSecondSetupDoesNotFailTheCompare) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
    EXPECT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
}

TEST_F(BuildSequenceTest, TheCompareReadsTheLayoutAsBuiltEvenWhenSetupChangedIt) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    disk_->ClearTrace();
    builder.m_layoutMode = 1;
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "OTHER", false));
    EXPECT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
    EXPECT_EQ(Commands(), (std::vector<Command>{R(0, 63), R(63, 6), R(69, 1), R(308, 1)}));
}

TEST_F(BuildSequenceTest, WithoutABuildTheCompareUsesTheCurrentImages) {
    Plug(kFat16Sectors);
    {
        CFatDiskBuilder writer = MakeBuilder();
        ASSERT_TRUE(writer.Setup(kFat16Sectors, "USBHDDBOOT", true));
    }
    CFatDiskBuilder same = MakeBuilder();
    ASSERT_TRUE(same.Setup(kFat16Sectors, "USBHDDBOOT", false));
    EXPECT_TRUE(same.VerifyDisk()) << same.m_errorText;

    // The boot sector's label field differs.
    CFatDiskBuilder otherLabel = MakeBuilder();
    ASSERT_TRUE(otherLabel.Setup(kFat16Sectors, "", false));
    EXPECT_FALSE(otherLabel.VerifyDisk());
    EXPECT_EQ(otherLabel.m_errorText, "Read Back Data Mismatch");
    ExpectReleasedAfterLock();
}

TEST_F(BuildSequenceTest, ADiskThatWasNeverBuiltFailsTheCompareAtTheFirstArea) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", false));
    EXPECT_FALSE(builder.VerifyDisk());
    EXPECT_EQ(builder.m_errorText, "Read Back Data Mismatch");
    EXPECT_EQ(Commands(), (std::vector<Command>{R(0, 63)}));
    ExpectReleasedAfterLock();
}

TEST_F(BuildSequenceTest, OldBytesLeftInAReadBackAreaFailTheCompare) {
    Plug(kFat16Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "USBHDDBOOT", true));
    // A stray byte in the zero tail of the reserved area.
    disk_->WriteBytes(68 * 512 + 511, "\x01", 1);
    ASSERT_TRUE(builder.Setup(kFat16Sectors, "", false));
    EXPECT_FALSE(builder.VerifyDisk());
    EXPECT_EQ(builder.m_errorText, "Read Back Data Mismatch");
    EXPECT_EQ(Commands().size(), 7u + 2);
}

// ---------------------------------------------------------------------------
// Layouts the build refuses.

TEST_F(BuildSequenceTest, AFat32ReservedAreaUnderEightSectorsIsRefusedBeforeAnyAccess) {
    Plug(kFat32Sectors);
    CFatDiskBuilder builder = MakeBuilder();
    builder.m_reservedOverride = 7;
    EXPECT_FALSE(builder.Setup(kFat32Sectors, "USBHDDBOOT", true));
    EXPECT_EQ(builder.m_errorText, "Reserved Area Too Small");
    EXPECT_TRUE(sim_.Volumes().Events().empty());
    EXPECT_FALSE(builder.VerifyDisk());
    EXPECT_EQ(builder.m_errorText, "Reserved Area Too Small");
    EXPECT_TRUE(sim_.Volumes().Events().empty());

    builder.m_reservedOverride = 8;
    EXPECT_TRUE(builder.Setup(kFat32Sectors, "USBHDDBOOT", true)) << builder.m_errorText;
    EXPECT_TRUE(builder.VerifyDisk()) << builder.m_errorText;
}

}  // namespace
