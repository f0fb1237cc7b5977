#include "cli/make_outcome.h"

#include "cli/exit_codes.h"

namespace cli {

namespace {

constexpr std::size_t kPayloadFileCount = 8;

// The texts by which the make reports each failing phase, in phase order.
struct FailureText {
    const char* start;  // a log line or box text that begins with this
    int exitCode;
    const char* phase;
};
constexpr FailureText kFailureTexts[] = {
    {"Issue GetCapacity CMD Fail", kExitCapacity, "reading the capacity failed"},
    {"Can't get Devive GetCapacity", kExitCapacity, "reading the capacity failed"},
    {"Capacity = 0", kExitCapacity, "the disk reports no capacity"},
    {"Sector Size Not Supported", kExitCapacity, "the disk's sector size is not 512 bytes"},
    {"Build FAT Fail-", kExitBuild, "building the file system failed"},
    {"Compare FAT Fail-", kExitReadBack, "reading the file system back failed"},
    {"Get Disk ID Fail", kExitDeviceIdentity, "the disk's device identity was not found"},
    {"Can't find Device after Restart", kExitDriveLost, "the disk did not come back after its restart"},
    {"Get File-", kExitPayload, "a payload file could not be read from the program"},
    {"open save File Failed", kExitPayload, "a payload file could not be created on the disk"},
    {"write save File Failed", kExitPayload, "a payload file could not be written whole"},
};
constexpr const char* kDoneStart = "Done. Total time spent";

bool StartsWith(const std::string& text, const char* start) { return text.rfind(start, 0) == 0; }

const FailureText* FirstFailure(const MakeRecord& record) {
    for (const FailureText& failure : kFailureTexts) {
        for (const std::vector<std::string>* texts : {&record.log, &record.boxes}) {
            for (const std::string& text : *texts) {
                if (StartsWith(text, failure.start)) return &failure;
            }
        }
    }
    return nullptr;
}

}  // namespace

MakeOutcome JudgeMake(const MakeRecord& record) {
    if (!record.ended) return {kExitProgramFailed, "the program did not run the make to its end"};
    if (!record.confirmationAsked) return {kExitProgramFailed, "the make did not start (no confirmation was asked)"};
    if (!record.confirmed) return {kExitDeclined, "answered No: nothing was written"};
    if (const FailureText* failure = FirstFailure(record)) return {failure->exitCode, failure->phase};
    bool done = false;
    for (const std::string& line : record.log) done = done || StartsWith(line, kDoneStart);
    if (!done) return {kExitProgramFailed, "the make ended without its completion line"};
    if (record.filesWritten < kPayloadFileCount) {
        return {kExitPayload, "only " + std::to_string(record.filesWritten) + " of the 8 payload files were written"};
    }
    if (record.attributeFailures > 0) return {kExitPayload, "the attributes of a payload file could not be set"};
    return {kExitMade, "the make completed: all 8 payload files were written"};
}

}  // namespace cli
