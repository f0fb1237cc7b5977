// What the last make came to: the first phase that failed, and whether the
// worker reached its completion line. The dialog keeps it for whoever
// drives the dialog (the command line chooses its exit code from it once
// the make is over); the dialog shows nothing of it, so the Windows
// program looks the same with or without a reader. The dialog's thread and
// the worker both write it: every field is atomic.
#pragma once

#include <atomic>
#include <cstdint>

// The phases of a make that can fail, in the order they run.
enum class MakePhase : std::uint8_t {
    kNone,            // nothing has failed
    kCapacity,        // READ CAPACITY, or a capacity the make cannot use
    kBuild,           // writing the file system
    kReadBack,        // reading it back
    kDeviceIdentity,  // the disk's device instance ID
    kDriveBack,       // the drive letter's return after the restart
    kRemount,         // the new file system on the returned drive
    kPayload,         // a payload file: read from the program, written, or checked on the disk
};

class MakeResult {
public:
    // A make begins (the Make button): nothing has failed or completed.
    void Start() {
        failed_ = MakePhase::kNone;
        completed_ = false;
    }
    // The phase failed. A make's first failure is the one kept: later ones
    // (more payload files) follow from it or come after it.
    void Fail(MakePhase phase) {
        MakePhase none = MakePhase::kNone;
        failed_.compare_exchange_strong(none, phase);
    }
    // The worker posted the completion line.
    void Complete() { completed_ = true; }

    MakePhase FailedPhase() const { return failed_; }
    bool Completed() const { return completed_; }

private:
    std::atomic<MakePhase> failed_{MakePhase::kNone};
    std::atomic<bool> completed_{false};
};
