#include "cli/make_outcome.h"

#include "cli/exit_codes.h"

namespace cli {

namespace {

constexpr std::size_t kPayloadFileCount = 8;

// The exit code of each phase that can fail, and the summary the usage
// text gives it.
struct PhaseOutcome {
    MakePhase phase;
    int exitCode;
    const char* summary;
};
constexpr PhaseOutcome kPhaseOutcomes[] = {
    {MakePhase::kCapacity, kExitCapacity, "reading the capacity failed, or the capacity cannot be used"},
    {MakePhase::kBuild, kExitBuild, "building the file system failed"},
    {MakePhase::kReadBack, kExitReadBack, "reading the file system back failed"},
    {MakePhase::kDeviceIdentity, kExitDeviceIdentity, "the disk's device identity was not found"},
    {MakePhase::kDriveBack, kExitDriveLost, "the disk did not come back after its restart"},
    {MakePhase::kRemount, kExitNotRemounted, "the drive came back without the new file system: no file was written"},
    {MakePhase::kPayload, kExitPayload, "not all eight payload files were written"},
};

}  // namespace

MakeOutcome JudgeMake(const MakeRecord& record) {
    if (!record.ended) return {kExitProgramFailed, "the program did not run the make to its end"};
    if (!record.confirmationAsked) return {kExitProgramFailed, "the make did not start (no confirmation was asked)"};
    if (!record.confirmed) return {kExitDeclined, "answered No: nothing was written"};
    for (const PhaseOutcome& outcome : kPhaseOutcomes) {
        if (outcome.phase == record.failedPhase) return {outcome.exitCode, outcome.summary};
    }
    if (!record.completed) return {kExitProgramFailed, "the make ended without its completion line"};
    if (record.filesWritten < kPayloadFileCount) {
        return {kExitPayload, "only " + std::to_string(record.filesWritten) + " of the 8 payload files were written"};
    }
    if (record.attributeFailures > 0) return {kExitPayload, "the attributes of a payload file could not be set"};
    return {kExitMade, "the make completed: all 8 payload files were written"};
}

}  // namespace cli
