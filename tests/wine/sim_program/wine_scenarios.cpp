#include "tests/wine/sim_program/wine_scenarios.h"

#include <algorithm>
#include <cstdio>

#include "device/scsi_constants.h"
#include "payload/payload_table.h"
#include "tests/sim/sim_system.h"
#include "winmodel/embedded_resources.h"
#include "winmodel/emulated_scsi_disk.h"

namespace {

constexpr WineScenario kScenarios[] = {
    // name           clicks Make  confirmation                      first WRITE(10) fails
    {"make",          true,        ConfirmationAnswer::Yes,          false},
    {"answer-no",     true,        ConfirmationAnswer::No,           false},
    {"write-fails",   true,        ConfirmationAnswer::Yes,          true},
    {"real-click",    false,       ConfirmationAnswer::RealClick,    false},
};

constexpr std::uint32_t kStickSectors = 3915776;
constexpr char kStickLetter = 'E';
constexpr std::uint32_t kStickDeviceNumber = 1;
constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr const char* kStickInstanceId = "USBSTOR\\DISK&VEN_KORVANE&PROD_STICK&REV_1.0\\0001";

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// "intact" when the file holds exactly the bytes of its payload resource
// (the table of payload/payload_table.h).
std::string Contents(const platform::SimSystem::SimFile& file) {
    for (const PayloadFile& payload : kPayloadFiles) {
        if (file.name != payload.name) continue;
        const platform::EmbeddedResource* resource = platform::FindEmbeddedResource(payload.id, payload.type);
        if (resource == nullptr) return "no-resource";
        const bool same = file.data.size() == resource->size &&
                          std::equal(file.data.begin(), file.data.end(), resource->data);
        return same ? "intact" : "differs";
    }
    return "unexpected";
}

}  // namespace

const WineScenario* FindWineScenario(const std::string& name) {
    for (const WineScenario& scenario : kScenarios) {
        if (name == scenario.name) return &scenario;
    }
    return nullptr;
}

std::string WineScenarioNames() {
    std::string names;
    for (const WineScenario& scenario : kScenarios) names += std::string(names.empty() ? "" : ", ") + scenario.name;
    return names;
}

struct SimulatedPc::State {
    platform::SimSystem sim;
    std::shared_ptr<EmulatedScsiDisk> disk;
};

SimulatedPc::SimulatedPc(const WineScenario& scenario) : state_(std::make_unique<State>()) {
    platform::SimSystem& sim = state_->sim;
    state_->disk = EmulatedScsiDisk::InMemory(kStickSectors);
    DiskIdentity identity;
    identity.vendor = "KORVANE";
    identity.product = "USB Stick";
    identity.revision = "1.0";
    state_->disk->SetIdentity(identity);
    if (scenario.failFirstWrite) {
        DiskFault fault;
        fault.kind = FaultKind::CheckCondition;
        fault.opcode = scsi::kOpWrite10;
        fault.atCommand = 0;
        fault.asc = 0x0C;  // WRITE ERROR
        state_->disk->InjectFault(fault);
    }
    sim.AddDrive('C', DRIVE_FIXED);
    sim.AddDrive(kStickLetter, DRIVE_REMOVABLE, state_->disk);
    sim.AddDiskDevice('C', 0, "IDE\\DISKFIXED\\0000");
    sim.AddDiskDevice(kStickLetter, kStickDeviceNumber, kStickInstanceId);
    // As the registry holds it: lower case, the restart upper-cases it.
    sim.SetRegistryString(kDiskEnumKey, std::to_string(kStickDeviceNumber),
                          "usbstor\\disk&ven_korvane&prod_stick&rev_1.0\\0001");
    platform::InstallSystemServices(&sim);
}

SimulatedPc::~SimulatedPc() {
    state_->sim.SetDeviceChangeListener(nullptr);
    platform::InstallSystemServices(nullptr);
}

void SimulatedPc::SetDeviceChangeSink(std::function<void(std::uint32_t)> sink) {
    state_->sim.SetDeviceChangeListener(std::move(sink));
}

void SimulatedPc::ForgetDiskCommands() { state_->disk->ClearTrace(); }

std::vector<std::string> SimulatedPc::Report() const {
    std::vector<std::string> lines;
    const std::vector<TracedCommand> trace = state_->disk->Trace();
    lines.push_back("DISK-COMMANDS " + std::to_string(trace.size()));
    // An INQUIRY would mean the dialog rescanned the drives during the make.
    const auto inquiries = std::count_if(trace.begin(), trace.end(), [](const TracedCommand& command) {
        return command.opcode == scsi::kOpInquiry;
    });
    lines.push_back("DISK-INQUIRIES " + std::to_string(inquiries));
    for (const TracedCommand& command : trace) {
        if (command.status == scsi::kStatusGood && command.osError == 0) continue;
        lines.push_back("DISK-FAILED " + Hex(command.opcode, 2) + " lba " + std::to_string(command.lba) +
                        " status " + Hex(command.status, 2));
    }
    lines.push_back("DEVICE-RESTARTS " + std::to_string(state_->sim.RestartCount()));
    const std::vector<platform::SimSystem::SimFile> files = state_->sim.Files(kStickLetter);
    for (const platform::SimSystem::SimFile& file : files) {
        lines.push_back("FILE " + file.name + " " + Hex(file.attributes, 2) + " " + Contents(file));
    }
    lines.push_back("FILE-COUNT " + std::to_string(files.size()));
    // The builder dismounted the volume before each unlock, and the drive
    // letter shows the file system the build wrote (the worker's check
    // before the first file), or none.
    const std::vector<VolumeEvent> events = state_->sim.Volumes().Events();
    const auto dismounts = std::count_if(events.begin(), events.end(), [](const VolumeEvent& event) {
        return event.kind == VolumeEvent::Kind::Dismount && event.error == 0;
    });
    lines.push_back("VOLUME-DISMOUNTS " + std::to_string(dismounts));
    char label[32] = {};
    std::uint32_t serial = 0;
    const char root[] = {kStickLetter, ':', '\\', '\0'};
    if (state_->sim.GetVolumeInformationA(root, label, sizeof label, &serial, nullptr, nullptr, nullptr, 0)) {
        lines.push_back(std::string("VOLUME ") + label + " " + Hex(serial, 8));
    } else {
        lines.push_back("VOLUME none");
    }
    return lines;
}
