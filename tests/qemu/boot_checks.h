// What the boot tests read from a booted machine: the stand-in IO.SYS's
// verdict from the debug console and QEMU's exit code, or a text on the
// screen; and where each test keeps its images and logs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/qemu/qemu_machine.h"

namespace qemu_test {

inline constexpr auto kBootTimeout = std::chrono::seconds(60);
inline constexpr auto kScreenTimeout = std::chrono::seconds(30);
inline constexpr char kReplaceText[] = "Replace the disk, and then press any key";

// VORN_QEMU_WORK_DIR/<suite>.<test>, with '/' of parameterised names as '_'.
std::string TestWorkDir();

// QEMU left through isa-debug-exit with value 0 and the debug console says
// "IO.SYS hand-over: PASS" and no FAIL.
testing::AssertionResult HandOverPassed(QemuMachine& machine);

// The screen shows `text` (lines joined by "\n") within kScreenTimeout, and
// the stand-in IO.SYS was never reached.
testing::AssertionResult ScreenShows(QemuMachine& machine, const std::string& text);

}  // namespace qemu_test
