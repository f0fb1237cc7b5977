// The program on the simulated PC with the headless window system: the
// application object runs on its own thread, as on the dialog's thread of
// the real program; the test watches the windows and acts as the operator.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/make_disk_app.h"
#include "framework/headless/headless_ui.h"
#include "framework/headless/scripted_operator.h"
#include "winmodel/emulated_scsi_disk.h"
#include "tests/sim/sim_system.h"
#include "res/resource_ids.h"
#include "ui/make_disk_dlg.h"

inline constexpr auto kWaitLimit = std::chrono::seconds(10);

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A removable drive with an emulated disk whose product names the drive.
    std::shared_ptr<EmulatedScsiDisk> PlugStick(char letter);
    void PlugFixed(char letter);
    // Runs the program until its main dialog waits for the operator.
    void StartProgram();
    // Closes the main dialog with its close box; returns InitInstance's result.
    bool CloseProgram();
    void WaitIdle();

    CMakeDiskDlg& Dialog();
    HWND Item(int id) const;
    std::string Text(int id) const;
    std::vector<std::string> DriveEntries() const;
    std::vector<std::string> LogLines() const;
    // The INQUIRY commands the disk of letter has received.
    std::size_t InquiryCount(char letter);

    // The identification text an emulated stick plugged as letter shows.
    static std::string IdentificationOf(char letter);

    virtual platform::SimSystem& System() { return sim_; }

    headless::ScriptedOperator op_;
    HWND window_ = nullptr;

private:
    platform::SimSystem sim_;
    std::thread programThread_;
    bool initInstanceResult_ = true;
    bool closed_ = false;
};
