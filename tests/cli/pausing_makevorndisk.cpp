// makevorndisk that pauses at one step of its make until it is interrupted,
// for the interrupt tests only (built with the tests, never installed):
//
//     makevorndisk_pausing STEP [makevorndisk's make arguments]
//
// STEP is where the make waits: "build" (the first WRITE(10) of the file
// system), "payload" (the first payload file), or "hold" (the second
// payload file, the first one made whole, and it waits on after the first
// interrupt, so that only a second one ends the program); or "swap": at
// the first WRITE(10) until a file named "resume" appears in the current
// folder, so that the test can change what the image's path names
// meanwhile. On reaching it, the program says "pausing at STEP" on
// standard error. Everything else is
// the command line's own code; the pause sits below the command line's
// interrupt gate, so that the step it holds goes ahead once the wait ends,
// as a step in progress when the signal came does.
#include <poll.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/guarded_drive.h"
#include "cli/interrupts.h"
#include "cli/make_command.h"
#include "device/scsi_constants.h"

namespace {

constexpr int kPauseLimitMs = 60000;  // a test that never sends its signal still ends

enum class Pause { kBuild, kPayload, kHold, kSwap };

struct PauseName {
    const char* name;
    Pause pause;
};
constexpr PauseName kPauses[] = {
    {"build", Pause::kBuild}, {"payload", Pause::kPayload}, {"hold", Pause::kHold}, {"swap", Pause::kSwap}};
constexpr const char* kResumeFile = "resume";
constexpr int kResumeLookMs = 50;

void WaitForInterrupt() {
    pollfd interrupted{cli::InterruptDescriptor(), POLLIN, 0};
    poll(&interrupted, 1, kPauseLimitMs);
}

void WaitForResumeFile() {
    for (int waited = 0; waited < kPauseLimitMs && !std::filesystem::exists(kResumeFile); waited += kResumeLookMs) {
        poll(nullptr, 0, kResumeLookMs);
    }
}

cli::DriveHook HookFor(const PauseName& chosen) {
    return [chosen](std::shared_ptr<platform::ModelDrive> drive) -> std::shared_ptr<platform::ModelDrive> {
        auto files = std::make_shared<std::atomic<int>>(0);
        auto paused = std::make_shared<std::atomic<bool>>(false);
        return cli::GuardDrive(std::move(drive), [chosen, files, paused](cli::DriveStep step, std::uint8_t opcode) {
            bool here = false;
            switch (chosen.pause) {
            case Pause::kBuild:
            case Pause::kSwap:
                here = step == cli::DriveStep::kCommand && opcode == scsi::kOpWrite10;
                break;
            case Pause::kPayload:
                here = step == cli::DriveStep::kCreateFile;
                break;
            case Pause::kHold:
                here = step == cli::DriveStep::kCreateFile && ++*files == 2;
                break;
            }
            if (!here || paused->exchange(true)) return true;
            std::cerr << "pausing at " << chosen.name << std::endl;
            if (chosen.pause == Pause::kSwap) {
                WaitForResumeFile();
                return true;
            }
            WaitForInterrupt();
            if (chosen.pause == Pause::kHold) poll(nullptr, 0, kPauseLimitMs);
            return true;
        });
    };
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const PauseName* chosen = nullptr;
    for (const PauseName& pause : kPauses) {
        if (!arguments.empty() && arguments.front() == pause.name) chosen = &pause;
    }
    const std::vector<std::string_view> makeArguments(arguments.begin() + (arguments.empty() ? 0 : 1),
                                                      arguments.end());
    const cli::ParseResult parsed = cli::ParseArguments(makeArguments);
    if (chosen == nullptr || !parsed.error.empty() || parsed.commandLine.action != cli::Action::kMake) {
        std::cerr << "usage: makevorndisk_pausing build|payload|hold|swap [make arguments]\n";
        return cli::kExitBadArguments;
    }
    return cli::RunMake(parsed.commandLine, std::cout, std::cerr, HookFor(*chosen));
}
