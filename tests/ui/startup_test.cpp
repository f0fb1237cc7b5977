// What the main dialog shows right after the program starts, and the
// identification line from the drive's INQUIRY data.
#include <cstring>

#include "device/pass_through_record.h"
#include "device/scsi_constants.h"
#include "platform/byte_order.h"
#include "tests/ui/dialog_fixture.h"

namespace {

const std::vector<std::string> kInstructionLines = {"1.Select Working Device.\n",
                                                    "2.Click Make Button to Build VORN Disk.\n"};
constexpr int kSwitchedControls[] = {IDC_DRIVE_COMBO, IDC_MAKE_BUTTON, IDC_ZIP_RADIO, IDC_HDD_RADIO,
                                     IDC_LABEL_EDIT};

TEST_F(DialogFixture, StartsWithTitleFirstDriveShownAndTheTwoInstructions) {
    PlugFixed('C');
    PlugStick('E');
    PlugStick('F');
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    EXPECT_EQ(headless::WindowText(window_), "Korvane Make VORN Disk Tool V1.03 ");
    EXPECT_EQ(LogLines(), kInstructionLines);
    EXPECT_EQ(Text(IDC_FIRMWARE_TEXT), "Firmware Version: R4TQZX18");
    EXPECT_EQ(headless::CurrentSelection(Item(IDC_DRIVE_COMBO)), 0);
    EXPECT_EQ(Text(IDC_DRIVE_COMBO), "E:\\ ");
    EXPECT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('E'));
    EXPECT_EQ(InquiryCount('E'), 1u);
    EXPECT_EQ(InquiryCount('F'), 0u);
    EXPECT_EQ(Dialog().m_driveLetter, 'E');
    EXPECT_EQ(Dialog().m_selectedDrive, "E:\\ ");
    EXPECT_FALSE(Dialog().m_busy);
    for (int id : kSwitchedControls) EXPECT_TRUE(headless::IsWindowEnabled(Item(id))) << "control " << id;
    EXPECT_FALSE(headless::IsWindowEnabled(Item(IDC_INFO_EDIT)));
    EXPECT_EQ(headless::CheckState(Item(IDC_ZIP_RADIO)), BST_UNCHECKED);
    EXPECT_EQ(headless::CheckState(Item(IDC_HDD_RADIO)), BST_CHECKED);
    ASSERT_NE(Dialog().m_hIcon, nullptr);
    EXPECT_EQ(headless::WindowIcon(window_, true), Dialog().m_hIcon);
    EXPECT_EQ(headless::WindowIcon(window_, false), Dialog().m_hIcon);
    EXPECT_TRUE(op_.Boxes().empty());
}

TEST_F(DialogFixture, StartsWithoutDevicesBoxedAndDisabled) {
    PlugFixed('C');
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    ASSERT_EQ(op_.Boxes().size(), 1u);
    EXPECT_EQ(op_.Boxes()[0].text, "Can't detect any Device !");
    EXPECT_EQ(op_.Boxes()[0].type, MB_OK);
    EXPECT_TRUE(DriveEntries().empty());
    for (int id : kSwitchedControls) EXPECT_FALSE(headless::IsWindowEnabled(Item(id))) << "control " << id;
    EXPECT_EQ(Text(IDC_INFO_EDIT), "");
    EXPECT_EQ(LogLines(), kInstructionLines);
    EXPECT_FALSE(headless::ClickButton(window_, IDC_MAKE_BUTTON));
}

TEST_F(DialogFixture, InquiryFailureIsBoxedAndTheDriveStaysUsable) {
    std::shared_ptr<EmulatedScsiDisk> disk = PlugStick('E');
    DiskFault fault;
    fault.kind = FaultKind::CheckCondition;
    disk->InjectFault(fault);
    ASSERT_NO_FATAL_FAILURE(StartProgram());

    ASSERT_EQ(op_.Boxes().size(), 1u);
    EXPECT_EQ(op_.Boxes()[0].text, "Issue Inquiry CMD Fail !!!");
    EXPECT_EQ(op_.Boxes()[0].type, MB_OK);
    EXPECT_EQ(op_.Boxes()[0].caption, theApp.AppName());
    EXPECT_EQ(Text(IDC_INFO_EDIT), "Can't get Devive Info.");
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
    EXPECT_EQ(LogLines(), kInstructionLines);
}

TEST_F(DialogFixture, RemovableDriveWithoutMediumCannotBeIdentified) {
    System().AddDrive('E', DRIVE_REMOVABLE);
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(DriveEntries(), std::vector<std::string>{"E:\\ "});
    EXPECT_EQ(op_.BoxTexts(), std::vector<std::string>{"Issue Inquiry CMD Fail !!!"});
    EXPECT_EQ(Text(IDC_INFO_EDIT), "Can't get Devive Info.");
}

// A PC whose disks put a vendor-specific byte right after the revision
// field (INQUIRY byte 36), which the identification line takes along.
class VendorByteSystem : public platform::SimSystem {
public:
    bool DeviceIoControl(platform::Handle handle, std::uint32_t code, void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        const bool ok = SimSystem::DeviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned);
        auto* record = static_cast<PassThroughRecord*>(in);
        if (ok && code == IOCTL_SCSI_PASS_THROUGH_DIRECT && record->sptd.Cdb[scsi::kCdbOpcode] == scsi::kOpInquiry &&
            platform::LoadBe16(record->sptd.Cdb + scsi::kCdbInquiryAllocationLength) > kVendorByte) {
            static_cast<std::uint8_t*>(record->sptd.DataBuffer)[kVendorByte] = '#';
        }
        return ok;
    }

private:
    static constexpr std::uint32_t kVendorByte = 36;
};

class VendorByteTest : public DialogFixture {
protected:
    platform::SimSystem& System() override { return vendorByteSystem_; }
    VendorByteSystem vendorByteSystem_;
};

TEST_F(VendorByteTest, IdentificationLineShowsTheTwentyNineBytesFromByteEight) {
    PlugStick('E');
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(Text(IDC_INFO_EDIT), IdentificationOf('E') + "#");
    EXPECT_EQ(Text(IDC_INFO_EDIT).size(), 29u);
}

}  // namespace
