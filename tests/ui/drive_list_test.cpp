// Which drives the main dialog lists, and how a rescan after a device
// arrival or removal keeps or changes the selection.
#include "tests/ui/dialog_fixture.h"

namespace {

struct DriveListCase {
    const char* name;
    std::vector<std::pair<char, std::uint32_t>> drives;
    std::vector<std::string> entries;
};

class DriveListTest : public DialogFixture, public ::testing::WithParamInterface<DriveListCase> {};

TEST_P(DriveListTest, ListsRemovableDrivesExceptACAndD) {
    for (const auto& [letter, type] : GetParam().drives) {
        if (type == DRIVE_REMOVABLE) {
            PlugStick(letter);
        } else {
            System().AddDrive(letter, type);
        }
    }
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(DriveEntries(), GetParam().entries);
    EXPECT_EQ(headless::CurrentSelection(Item(IDC_DRIVE_COMBO)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Drives, DriveListTest,
    ::testing::Values(
        DriveListCase{"FixedCAndRemovableDEF",
                      {{'C', DRIVE_FIXED}, {'D', DRIVE_REMOVABLE}, {'E', DRIVE_REMOVABLE}, {'F', DRIVE_REMOVABLE}},
                      {"E:\\ ", "F:\\ "}},
        DriveListCase{"RemovableAIsSkippedBIsListed",
                      {{'A', DRIVE_REMOVABLE}, {'B', DRIVE_REMOVABLE}, {'C', DRIVE_FIXED}},
                      {"B:\\ "}},
        DriveListCase{"OnlyRemovableDrivesCount",
                      {{'C', DRIVE_FIXED}, {'E', DRIVE_FIXED}, {'F', DRIVE_REMOVABLE}, {'G', 5u /* CD-ROM */}},
                      {"F:\\ "}}),
    [](const ::testing::TestParamInfo<DriveListCase>& info) { return std::string(info.param.name); });

// All 26 drive letters in use: the drive strings need 105 characters.
TEST_F(DialogFixture, ListsEveryDriveWhenAllLettersAreInUse) {
    PlugFixed('C');
    std::vector<std::string> expected;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        if (letter == 'C') continue;
        PlugStick(letter);
        if (letter != 'A' && letter != 'D') expected.push_back(std::string(1, letter) + ":\\ ");
    }
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(DriveEntries(), expected);
    EXPECT_EQ(DriveEntries().back(), "Z:\\ ");
}

class RescanTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        PlugFixed('C');
        PlugStick('E');
        PlugStick('F');
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        // The operator picks F.
        ASSERT_TRUE(headless::SelectComboEntry(window_, IDC_DRIVE_COMBO, 1));
        WaitIdle();
        ASSERT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('F'));
    }
};

TEST_F(RescanTest, ArrivalKeepsTheShownDriveAndQueriesItAgain) {
    const std::size_t inquiriesBefore = InquiryCount('F');
    PlugStick('G');
    WaitIdle();
    EXPECT_EQ(DriveEntries(), (std::vector<std::string>{"E:\\ ", "F:\\ ", "G:\\ "}));
    EXPECT_EQ(headless::CurrentSelection(Item(IDC_DRIVE_COMBO)), 1);
    EXPECT_EQ(InquiryCount('F'), inquiriesBefore + 1);
    EXPECT_EQ(InquiryCount('G'), 0u);
    EXPECT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('F'));
    EXPECT_EQ(Dialog().m_driveLetter, 'F');
    EXPECT_TRUE(op_.Boxes().empty());
}

TEST_F(RescanTest, RemovingTheShownDriveShowsTheFirstEntry) {
    const std::size_t inquiriesBefore = InquiryCount('E');
    System().RemoveDrive('F');
    WaitIdle();
    EXPECT_EQ(DriveEntries(), std::vector<std::string>{"E:\\ "});
    EXPECT_EQ(headless::CurrentSelection(Item(IDC_DRIVE_COMBO)), 0);
    EXPECT_EQ(InquiryCount('E'), inquiriesBefore + 1);
    EXPECT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('E'));
    EXPECT_EQ(Dialog().m_driveLetter, 'E');
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
}

TEST_F(RescanTest, RemovingTheLastDriveLeavesNoDeviceButKeepsTextAndLog) {
    System().RemoveDrive('E');
    WaitIdle();
    op_.Forget();
    System().RemoveDrive('F');
    WaitIdle();

    EXPECT_EQ(op_.BoxTexts(), std::vector<std::string>{"Can't detect any Device !"});
    EXPECT_TRUE(DriveEntries().empty());
    EXPECT_EQ(headless::CurrentSelection(Item(IDC_DRIVE_COMBO)), CB_ERR);
    for (int id : {IDC_DRIVE_COMBO, IDC_MAKE_BUTTON, IDC_ZIP_RADIO, IDC_HDD_RADIO, IDC_LABEL_EDIT}) {
        EXPECT_FALSE(headless::IsWindowEnabled(Item(id))) << "control " << id;
    }
    EXPECT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('F'));
    EXPECT_EQ(LogLines().size(), 2u);
    EXPECT_FALSE(Dialog().m_busy);

    // A drive coming back ends the no-device state.
    PlugStick('H');
    WaitIdle();
    EXPECT_EQ(DriveEntries(), std::vector<std::string>{"H:\\ "});
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
    EXPECT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('H'));
}

TEST_F(RescanTest, DeviceEventsDuringAMakeAreIgnored) {
    const std::size_t inquiriesBefore = InquiryCount('F');
    Dialog().m_busy = true;
    PlugStick('G');
    System().RemoveDrive('E');
    WaitIdle();
    EXPECT_EQ(DriveEntries(), (std::vector<std::string>{"E:\\ ", "F:\\ "}));
    EXPECT_EQ(InquiryCount('F'), inquiriesBefore);
    EXPECT_TRUE(op_.Boxes().empty());
    EXPECT_TRUE(Dialog().m_busy);

    // Once the make is over the next event rescans again.
    Dialog().m_busy = false;
    PlugStick('H');
    WaitIdle();
    EXPECT_EQ(DriveEntries(), (std::vector<std::string>{"F:\\ ", "G:\\ ", "H:\\ "}));
    EXPECT_EQ(headless::CurrentSelection(Item(IDC_DRIVE_COMBO)), 0);
    EXPECT_EQ(Dialog().m_driveLetter, 'F');
    EXPECT_EQ(InquiryCount('F'), inquiriesBefore + 1);
}

}  // namespace
