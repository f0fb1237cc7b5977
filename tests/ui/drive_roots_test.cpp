// Reading the logical drive strings: all 26 roots fit, and an answer that
// does not fit the buffer or a failed call yields no drive rather than
// whatever the buffer holds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/sim/sim_system.h"
#include "ui/drive_roots.h"

namespace {

// A PC whose drive-string call answers as scripted.
class ScriptedDriveStrings : public platform::SimSystem {
public:
    std::uint32_t GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) override {
        seenBufferLength = bufferLength;
        std::memset(buffer, garbage, bufferLength);
        std::memcpy(buffer, strings.data(), std::min<std::size_t>(strings.size(), bufferLength));
        return result;
    }
    std::string strings;
    std::uint32_t result = 0;
    char garbage = 'Q';
    std::uint32_t seenBufferLength = 0;
};

class DriveRootsTest : public ::testing::Test {
protected:
    void SetUp() override { platform::InstallSystemServices(&system_); }
    void TearDown() override { platform::InstallSystemServices(nullptr); }
    ScriptedDriveStrings system_;
};

TEST_F(DriveRootsTest, ReadsAllRootsUpperCasedInOrder) {
    system_.strings = std::string("c:\\\0e:\\\0F:\\\0\0", 13);
    system_.result = 12;
    EXPECT_EQ(ReadDriveRoots(), (std::vector<std::string>{"C:\\", "E:\\", "F:\\"}));
    EXPECT_EQ(system_.seenBufferLength, 105u);
}

TEST_F(DriveRootsTest, AnswerLongerThanTheBufferGivesNoDrives) {
    // The call reports the size it needs and leaves the buffer undefined.
    system_.garbage = 'E';
    system_.strings = "";
    system_.result = 140;
    EXPECT_TRUE(ReadDriveRoots().empty());
    system_.result = kDriveStringsBufferLength;
    EXPECT_TRUE(ReadDriveRoots().empty());
}

TEST_F(DriveRootsTest, FailedCallGivesNoDrives) {
    system_.strings = std::string("E:\\\0\0", 5);
    system_.result = 0;
    EXPECT_TRUE(ReadDriveRoots().empty());
}

TEST_F(DriveRootsTest, SelectableDrivesAreRemovableAndNotACOrD) {
    for (char letter : {'A', 'B', 'D', 'E', 'Z'}) system_.AddDrive(letter, DRIVE_REMOVABLE);
    system_.AddDrive('C', DRIVE_FIXED);
    system_.AddDrive('F', DRIVE_FIXED);
    for (const auto& [root, selectable] : std::vector<std::pair<std::string, bool>>{
             {"A:\\", false}, {"B:\\", true}, {"C:\\", false}, {"D:\\", false},
             {"E:\\", true}, {"F:\\", false}, {"Z:\\", true}, {"G:\\", false}}) {
        EXPECT_EQ(IsSelectableDrive(root), selectable) << root;
    }
}

}  // namespace
