// A simulated PC installed as the system services for the length of a test,
// with removable drive E: backed by an in-memory emulated disk.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "fatdisk/fat_disk_builder.h"
#include "winmodel/emulated_scsi_disk.h"
#include "tests/sim/sim_system.h"

inline void PrintTo(const VolumeEvent& e, std::ostream* out) {
    static const char* const kKinds[] = {"Open",     "Close",           "Lock", "Unlock", "PassThrough",
                                         "Dismount", "UpdateProperties", "Other"};
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

    // A disk of that many sectors (8401 at least) with the layout the
    // builder makes in the mode, as a stick formatted elsewhere comes: its
    // file system is mounted when it is plugged in.
    std::shared_ptr<EmulatedScsiDisk> PlugFormattedDisk(std::uint32_t sectors, unsigned mode = 0,
                                                        const char* label = "OLDSTICK", char letter = kLetter) {
        auto disk = PlugDisk(sectors, letter);
        CFatDiskBuilder builder(letter);
        builder.m_layoutMode = mode;
        EXPECT_TRUE(builder.Setup(sectors, label, true)) << builder.m_errorText;
        sim_.RemoveDrive(letter);
        sim_.AddDrive(letter, DRIVE_REMOVABLE, disk);
        return disk;
    }

    platform::SimSystem sim_;
    std::size_t allowedInvalidCloses_ = 0;
};
