#include "tests/host/host_make.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/make_disk_app.h"
#include "fatdisk/fat_disk_builder.h"
#include "framework/headless/headless_ui.h"
#include "framework/headless/scripted_operator.h"
#include "host/host_system.h"
#include "res/resource_ids.h"
#include "tests/qemu/child_process.h"

namespace host_test {

namespace {
constexpr auto kDialogWait = std::chrono::seconds(10);
// The worker sleeps about 6 s of real time; the tools take a little more.
constexpr auto kMakeWait = std::chrono::seconds(60);
}  // namespace

ToolRun RunTool(const std::vector<std::string>& argv) {
    const qemu_test::ProgramResult result = qemu_test::RunProgram(argv);
    return ToolRun{result.exitCode, result.output};
}

MadeImage MakeImage(const std::string& path, std::uint32_t sectors) {
    MadeImage made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::remove(path);
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, std::uint64_t{sectors} * 512);

    platform::HostSystem host;
    EXPECT_TRUE(host.AttachImage(path, 'E'));
    platform::InstallSystemServices(&host);
    headless::ScriptedOperator op;
    op.Answer(IDYES);

    std::thread program([] { theApp.InitInstance(); });
    HWND window = headless::WaitForDialog(IDD_MAKEVORNDISK_DIALOG, kDialogWait);
    if (window != nullptr) {
        EXPECT_TRUE(headless::WaitUntilIdle(window, kDialogWait));
        EXPECT_TRUE(headless::ClickButton(window, IDC_MAKE_BUTTON));
        EXPECT_TRUE(headless::WaitUntilIdle(window, kMakeWait));
        EXPECT_TRUE(framework::WaitForWorkerThreads(kMakeWait)) << "the worker did not end";
        EXPECT_TRUE(headless::WaitUntilIdle(window, kDialogWait));
        made.log = headless::ListItems(headless::DialogItem(window, IDC_LOG_LIST));
        EXPECT_TRUE(headless::CloseDialog(window));
    } else {
        ADD_FAILURE() << "the main dialog did not open";
    }
    program.join();
    made.boxes = op.BoxTexts();
    made.openHandlesAtEnd = host.OpenHandleCount();
    platform::InstallSystemServices(nullptr);

    // Where the volume lies, from the layout the make computed.
    CFatDiskBuilder layout('E');
    layout.m_layoutMode = 0;
    EXPECT_TRUE(layout.Setup(sectors, "", false)) << layout.m_errorText;
    made.partitionStart = layout.m_partitionStart;
    made.partitionSectors = layout.PartitionSectors();
    made.headSectors = layout.m_reservedSectors + 2 * layout.m_sectorsPerFat + layout.m_rootDirSectors;
    return made;
}

}  // namespace host_test
