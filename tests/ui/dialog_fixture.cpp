#include "tests/ui/dialog_fixture.h"

#include "device/scsi_constants.h"

namespace {

constexpr std::uint64_t kStickBlocks = 2048;

DiskIdentity StickIdentity(char letter) {
    DiskIdentity identity;
    identity.vendor = "KORVANE";
    identity.product = std::string("Stick ") + letter;
    identity.revision = "1.0";
    return identity;
}

}  // namespace

void DialogFixture::SetUp() {
    platform::InstallSystemServices(&System());
    System().SetDeviceChangeListener([](std::uint32_t event) { headless::BroadcastDeviceChange(event); });
}

void DialogFixture::TearDown() {
    if (programThread_.joinable() && !closed_) {
        if (window_ != nullptr) {
            CloseProgram();
        } else {
            programThread_.detach();  // the dialog never opened; the test has failed already
        }
    }
    System().SetDeviceChangeListener(nullptr);
    platform::InstallSystemServices(nullptr);
}

std::shared_ptr<EmulatedScsiDisk> DialogFixture::PlugStick(char letter) {
    auto disk = EmulatedScsiDisk::InMemory(kStickBlocks);
    disk->SetIdentity(StickIdentity(letter));
    System().AddDrive(letter, DRIVE_REMOVABLE, disk);
    return disk;
}

void DialogFixture::PlugFixed(char letter) { System().AddDrive(letter, DRIVE_FIXED); }

void DialogFixture::StartProgram() {
    programThread_ = std::thread([this] { initInstanceResult_ = theApp.InitInstance(); });
    window_ = headless::WaitForDialog(IDD_MAKEVORNDISK_DIALOG, kWaitLimit);
    ASSERT_NE(window_, nullptr) << "the main dialog did not open";
    WaitIdle();
}

bool DialogFixture::CloseProgram() {
    closed_ = true;
    EXPECT_TRUE(headless::CloseDialog(window_));
    programThread_.join();
    window_ = nullptr;
    return initInstanceResult_;
}

void DialogFixture::WaitIdle() { ASSERT_TRUE(headless::WaitUntilIdle(window_, kWaitLimit)); }

CMakeDiskDlg& DialogFixture::Dialog() { return *static_cast<CMakeDiskDlg*>(theApp.m_pMainWnd); }

HWND DialogFixture::Item(int id) const { return headless::DialogItem(window_, id); }

std::string DialogFixture::Text(int id) const { return headless::WindowText(Item(id)); }

std::vector<std::string> DialogFixture::DriveEntries() const { return headless::ListItems(Item(IDC_DRIVE_COMBO)); }

std::vector<std::string> DialogFixture::LogLines() const { return headless::ListItems(Item(IDC_LOG_LIST)); }

std::size_t DialogFixture::InquiryCount(char letter) {
    std::shared_ptr<EmulatedScsiDisk> disk = System().Disk(letter);
    if (!disk) return 0;
    std::size_t count = 0;
    for (const TracedCommand& command : disk->Trace()) count += command.opcode == scsi::kOpInquiry ? 1 : 0;
    return count;
}

std::string DialogFixture::IdentificationOf(char letter) {
    // Vendor, product and revision padded with blanks to 8, 16 and 4 bytes.
    std::string product = std::string("Stick ") + letter;
    return "KORVANE " + product + std::string(16 - product.size(), ' ') + "1.0 ";
}
