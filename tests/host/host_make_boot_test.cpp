// A stick image made through the Linux backend boots in QEMU (SeaBIOS, as a
// USB stick) into the stand-in IO.SYS, which reports a correct hand-over.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/host/host_make.h"
#include "tests/qemu/qemu_machine.h"

#ifndef VORN_HOST_WORK_DIR
#error "VORN_HOST_WORK_DIR: the folder for the images"
#endif
#ifndef VORN_PAYLOAD_STANDINS
#error "VORN_PAYLOAD_STANDINS: 1 for our own stand-ins"
#endif

namespace host_test {
namespace {

constexpr std::uint32_t kDefaultStickSectors = 3915776;
constexpr auto kBootTimeout = std::chrono::seconds(60);
constexpr int kExitHandOverPassed = (0 << 1) | 1;  // isa-debug-exit value 0
constexpr char kPassLine[] = "IO.SYS hand-over: PASS";

TEST(HostMakeBoot, MadeStickBootsIntoTheStandInIoSys) {
    // Only our stand-in IO.SYS reports the hand-over; an operator's own DOS boots instead.
    if (!VORN_PAYLOAD_STANDINS) GTEST_SKIP() << "the payload is the operator's own files";
    const std::filesystem::path dir = std::filesystem::path(VORN_HOST_WORK_DIR) / "boot";
    const std::filesystem::path image = dir / "stick.img";
    const MadeImage made = MakeImage(image.string(), kDefaultStickSectors);
    ASSERT_FALSE(testing::Test::HasFailure()) << testing::PrintToString(made.log);

    qemu_test::QemuMachine machine({image.string(), qemu_test::Bus::UsbStick, ""}, dir.string());
    ASSERT_TRUE(machine.Started()) << "qemu did not start";
    const std::optional<int> exitCode = machine.WaitForExit(kBootTimeout);
    const std::string console = machine.DebugConsole();
    ASSERT_TRUE(exitCode.has_value()) << "no exit within the time limit; debug console:\n" << console;
    EXPECT_EQ(*exitCode, kExitHandOverPassed) << console << machine.QemuLog();
    EXPECT_NE(console.find(kPassLine), std::string::npos) << console;
    if (!testing::Test::HasFailure()) std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace host_test
