// The scenarios of the make under Wine, and the simulated PC they run on.
// Kept apart from <windows.h>: the sim's headers mirror the Win32 names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/driver/make_driver.h"

struct WineScenario {
    const char* name;
    bool clickMake;             // false: a real click (xdotool) presses Make
    ConfirmationAnswer answer;
    bool failFirstWrite;        // the stick's first WRITE(10) ends in CHECK CONDITION
};

// The scenario of that name, or null.
const WineScenario* FindWineScenario(const std::string& name);
// "make, answer-no, ..." for the usage line.
std::string WineScenarioNames();

// Fixed drive C and removable drive E backed by an emulated disk of 3915776
// sectors, with E's disk device (device number 1) in the device tree and
// the registry value that names it, so that the restart finds it. The
// worker's sleeps run on the sim's virtual clock: they cost no real time.
// Installed as the system services while it exists.
class SimulatedPc {
public:
    explicit SimulatedPc(const WineScenario& scenario);
    ~SimulatedPc();
    SimulatedPc(const SimulatedPc&) = delete;
    SimulatedPc& operator=(const SimulatedPc&) = delete;

    // Where plugging and pulling (the restart) are reported, as the event
    // of WM_DEVICECHANGE; called on the thread that restarts the device.
    void SetDeviceChangeSink(std::function<void(std::uint32_t event)> sink);
    // The commands the stick's disk has received are forgotten (the INQUIRY
    // of the start), so that the report counts those of the make alone.
    void ForgetDiskCommands();
    // What the make left: "DISK-COMMANDS n", "DISK-INQUIRIES n", a
    // "DISK-FAILED ..." line per command that did not end GOOD,
    // "DEVICE-RESTARTS n", a "FILE ..." line per file in E's store in
    // creation order (name, attributes, whether its bytes are the payload
    // resource's) and "FILE-COUNT n".
    std::vector<std::string> Report() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
