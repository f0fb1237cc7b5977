// A simulated PC installed as the system services for the length of a test,
// with removable drive E: backed by an in-memory emulated disk.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "winmodel/emulated_scsi_disk.h"
#include "tests/sim/sim_system.h"

inline void PrintTo(const VolumeEvent& e, std::ostream* out) {
    static const char* const kKinds[] = {"Open", "Close", "Lock", "Unlock", "PassThrough", "Other"};
    *out << kKinds[static_cast<int>(e.kind)] << "(" << (e.letter ? e.letter : '?') << ", "
         << e.handle << ", error " << e.error << ")";
}

class SimFixture : public ::testing::Test {
protected:
    static constexpr char kLetter = 'E';

    void SetUp() override { platform::InstallSystemServices(&sim_); }
    void TearDown() override {
        EXPECT_EQ(sim_.OpenHandleCount(), 0u) << "a handle was left open";
        EXPECT_EQ(sim_.Volumes().InvalidCloseCount(), allowedInvalidCloses_)
            << "a handle was closed that was not open";
        platform::InstallSystemServices(nullptr);
    }

    std::shared_ptr<EmulatedScsiDisk> PlugDisk(std::uint64_t sectors, char letter = kLetter) {
        auto disk = EmulatedScsiDisk::InMemory(sectors);
        sim_.AddDrive(letter, DRIVE_REMOVABLE, disk);
        return disk;
    }

    platform::SimSystem sim_;
    std::size_t allowedInvalidCloses_ = 0;
};
