// A builder for drive E: of a simulated PC, and the commands its disk saw.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "device/scsi_constants.h"
#include "fatdisk/fat_disk_builder.h"
#include "tests/device/sim_fixture.h"

// One READ(10)/WRITE(10) as the disk saw it.
struct Command {
    bool write;
    std::uint32_t lba;
    std::uint32_t count;

    bool operator==(const Command&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Command& c) {
        return out << (c.write ? "W(" : "R(") << c.lba << "," << c.count << ")";
    }
};

inline Command W(std::uint32_t lba, std::uint32_t count) { return {true, lba, count}; }
inline Command R(std::uint32_t lba, std::uint32_t count) { return {false, lba, count}; }

class BuildFixture : public SimFixture {
protected:
    // A 2 GB stick: P 63, R 6, F 239, FAT16.
    static constexpr std::uint32_t kFat16Sectors = 3915776;
    // A 4 GB stick: P 63, R 32, F 7634, 8 sectors per cluster, FAT32.
    static constexpr std::uint32_t kFat32Sectors = 7831552;

    void Plug(std::uint32_t sectors) { disk_ = PlugDisk(sectors); }

    std::vector<Command> Commands() const {
        std::vector<Command> commands;
        for (const TracedCommand& t : disk_->Trace()) {
            commands.push_back({t.opcode == scsi::kOpWrite10, t.lba, t.count});
        }
        return commands;
    }

    // The builder as the Make workflow sets it up.
    CFatDiskBuilder MakeBuilder() {
        CFatDiskBuilder builder(kLetter);
        builder.m_layoutMode = 0;
        return builder;
    }

    std::vector<std::uint8_t> Sectors(std::uint32_t lba, std::uint32_t count) {
        std::vector<std::uint8_t> bytes(std::size_t{count} * scsi::kSectorSize);
        disk_->ReadBytes(std::uint64_t{lba} * scsi::kSectorSize, bytes.data(), bytes.size());
        return bytes;
    }

    // The last operation took the volume and gave it back in order: after
    // its last command, dismounted (so that the file system mounted before
    // is read afresh), unlocked through the handle that locked it, then
    // closed.
    void ExpectReleasedAfterLock() {
        std::vector<VolumeEvent> events = sim_.Volumes().Events();
        auto lastLock = std::find_if(events.rbegin(), events.rend(), [](const VolumeEvent& e) {
            return e.kind == VolumeEvent::Kind::Lock;
        });
        ASSERT_NE(lastLock, events.rend()) << "the volume was never locked";
        ASSERT_GE(events.size(), 4u);
        const VolumeEvent& lock = *lastLock;
        EXPECT_EQ(lock.error, 0u);
        const VolumeEvent& dismount = events[events.size() - 3];
        EXPECT_EQ(dismount, (VolumeEvent{VolumeEvent::Kind::Dismount, kLetter, lock.handle, 0}));
        const VolumeEvent& unlock = events[events.size() - 2];
        const VolumeEvent& close = events.back();
        EXPECT_EQ(unlock, (VolumeEvent{VolumeEvent::Kind::Unlock, kLetter, lock.handle, 0}));
        EXPECT_EQ(close, (VolumeEvent{VolumeEvent::Kind::Close, kLetter, lock.handle, 0}));
        EXPECT_FALSE(sim_.Volumes().IsLocked(kLetter));
    }

    std::shared_ptr<EmulatedScsiDisk> disk_;
};
