// The program on the simulated PC: "MakeVORNDisk.exe SCENARIO" runs the
// dialog with the win32 framework and the scenario's simulated PC, and the
// test mode drives one make.
#include <chrono>
#include <cstdio>
#include <string>

#include "framework/thread.h"
#include "framework/win_app.h"
#include "framework/win_defs.h"
#include "tests/wine/driver/make_driver.h"
#include "tests/wine/sim_program/wine_scenarios.h"

namespace {
constexpr int kExitUsage = 2;
constexpr auto kWorkerEndLimit = std::chrono::seconds(10);
}  // namespace

extern "C" int __stdcall WinMain(HINSTANCE, HINSTANCE, char* commandLine, int) {
    std::string name = commandLine != nullptr ? commandLine : "";
    while (!name.empty() && (name.back() == ' ' || name.back() == '"')) name.pop_back();
    while (!name.empty() && (name.front() == ' ' || name.front() == '"')) name.erase(0, 1);
    const WineScenario* scenario = FindWineScenario(name);
    if (scenario == nullptr) {
        std::printf("USAGE MakeVORNDisk.exe SCENARIO (one of: %s); got '%s'\n", WineScenarioNames().c_str(),
                    name.c_str());
        std::fflush(stdout);
        return kExitUsage;
    }

    SimulatedPc pc(*scenario);
    pc.SetDeviceChangeSink(&SendDeviceChange);
    StartMakeDriver({scenario->name, scenario->clickMake, scenario->answer}, {[&pc] { pc.ForgetDiskCommands(); }, [&pc] { return pc.Report(); }});
    AfxWinMain();
    // The worker's last act (enabling the controls) may still be running.
    framework::WaitForWorkerThreads(kWorkerEndLimit);
    return MakeDriverExitCode();
}
