#include "tests/qemu/boot_checks.h"

#include <optional>

#ifndef VORN_QEMU_WORK_DIR
#error "VORN_QEMU_WORK_DIR: the folder for images and logs"
#endif

namespace qemu_test {
namespace {

constexpr int kExitHandOverPassed = (0 << 1) | 1;  // isa-debug-exit value 0
constexpr char kPassLine[] = "IO.SYS hand-over: PASS";
constexpr char kStandInBanner[] = "VORN stand-in IO.SYS";

}  // namespace

std::string TestWorkDir() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return std::string(VORN_QEMU_WORK_DIR) + "/" + name;
}

testing::AssertionResult HandOverPassed(QemuMachine& machine) {
    if (!machine.Started()) return testing::AssertionFailure() << "qemu did not start";
    const std::optional<int> exitCode = machine.WaitForExit(kBootTimeout);
    const std::string console = machine.DebugConsole();
    if (!exitCode) {
        return testing::AssertionFailure() << "no exit within the time limit; debug console:\n" << console;
    }
    if (*exitCode != kExitHandOverPassed || console.find(kPassLine) == std::string::npos ||
        console.find("FAIL") != std::string::npos) {
        return testing::AssertionFailure() << "exit code " << *exitCode << "; debug console:\n"
                                           << console << machine.QemuLog();
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult ScreenShows(QemuMachine& machine, const std::string& text) {
    if (!machine.Started()) return testing::AssertionFailure() << "qemu did not start";
    std::string screen;
    if (!machine.WaitForScreenText(text, kScreenTimeout, screen)) {
        return testing::AssertionFailure() << "the screen does not show \"" << text << "\":\n"
                                           << screen << "\ndebug console:\n"
                                           << machine.DebugConsole() << machine.QemuLog();
    }
    if (machine.DebugConsole().find(kStandInBanner) != std::string::npos) {
        return testing::AssertionFailure() << "the stand-in IO.SYS was reached:\n" << machine.DebugConsole();
    }
    return testing::AssertionSuccess();
}

}  // namespace qemu_test
