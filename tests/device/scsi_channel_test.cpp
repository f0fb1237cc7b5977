// The pass-through record and CDBs the channel sends, and its status
// convention, against the simulated PC.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "device/scsi_channel.h"
#include "tests/device/sim_fixture.h"

namespace {

// The simulated PC, keeping a copy of every pass-through request block as
// the channel handed it over.
class RecordingSim : public platform::SimSystem {
public:
    struct Sent {
        PassThroughRecord record;
        const void* in;
        const void* out;
        std::uint32_t inSize;
        std::uint32_t outSize;
    };

    bool DeviceIoControl(platform::Handle handle, std::uint32_t code, void* in,
                         std::uint32_t inSize, void* out, std::uint32_t outSize,
                         std::uint32_t* bytesReturned) override {
        if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT) {
            Sent sent{};
            std::memcpy(&sent.record, in, std::min<std::size_t>(inSize, sizeof sent.record));
            sent.in = in;
            sent.out = out;
            sent.inSize = inSize;
            sent.outSize = outSize;
            sends.push_back(sent);
        }
        return SimSystem::DeviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned);
    }

    std::vector<Sent> sends;
};

class ChannelTest : public ::testing::Test {
protected:
    static constexpr char kLetter = 'E';

    void SetUp() override {
        platform::InstallSystemServices(&sim_);
        disk_ = EmulatedScsiDisk::InMemory(4096);
        sim_.AddDrive(kLetter, DRIVE_REMOVABLE, disk_);
    }
    void TearDown() override {
        EXPECT_EQ(sim_.OpenHandleCount(), 0u);
        EXPECT_EQ(sim_.Volumes().InvalidCloseCount(), 0u);
        platform::InstallSystemServices(nullptr);
    }

    void Open() { ASSERT_EQ(channel_.OpenVolume(kLetter), 0); }

    RecordingSim sim_;
    std::shared_ptr<EmulatedScsiDisk> disk_;
    CScsiChannel channel_;
};

// ---------------------------------------------------------------------------
// The record and CDB of each command.

struct CommandCase {
    const char* name;
    // Runs the command on an open channel; buffer is the data buffer passed.
    std::function<bool(CScsiChannel&, std::uint8_t* buffer)> run;
    std::uint8_t dataIn;
    std::uint32_t transferLength;
    std::array<std::uint8_t, 12> cdb;
    bool nullBuffer;
};

class CommandRecordTest : public ChannelTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandRecordTest, FillsEveryFieldOfTheRecord) {
    const CommandCase& c = GetParam();
    Open();
    std::vector<std::uint8_t> buffer(65536);
    EXPECT_FALSE(c.run(channel_, buffer.data()));
    channel_.CloseVolume();

    ASSERT_EQ(sim_.sends.size(), 1u);
    const RecordingSim::Sent& sent = sim_.sends[0];
    const platform::SCSI_PASS_THROUGH_DIRECT& r = sent.record.sptd;
    EXPECT_EQ(r.Length, sizeof(platform::SCSI_PASS_THROUGH_DIRECT));
    EXPECT_EQ(r.ScsiStatus, 0);
    EXPECT_EQ(r.PathId, 0);
    EXPECT_EQ(r.TargetId, 1);
    EXPECT_EQ(r.Lun, 0);
    EXPECT_EQ(r.CdbLength, 12);
    EXPECT_EQ(r.SenseInfoLength, 24);
    EXPECT_EQ(r.DataIn, c.dataIn);
    EXPECT_EQ(r.DataTransferLength, c.transferLength);
    EXPECT_EQ(r.TimeOutValue, 4u);
    EXPECT_EQ(r.DataBuffer, c.nullBuffer ? nullptr : static_cast<void*>(buffer.data()));
    EXPECT_EQ(r.SenseInfoOffset, offsetof(PassThroughRecord, sense));
    EXPECT_EQ(std::vector<std::uint8_t>(r.Cdb, r.Cdb + 12),
              std::vector<std::uint8_t>(c.cdb.begin(), c.cdb.end()));
    EXPECT_EQ(std::vector<std::uint8_t>(r.Cdb + 12, r.Cdb + 16), std::vector<std::uint8_t>(4, 0));
    EXPECT_EQ(sent.record.filler, 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(sent.record.sense, sent.record.sense + 32),
              std::vector<std::uint8_t>(32, 0));
    // One block, both input and output.
    EXPECT_EQ(sent.in, sent.out);
    EXPECT_EQ(sent.inSize, sizeof(PassThroughRecord));
    EXPECT_EQ(sent.outSize, sizeof(PassThroughRecord));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandRecordTest,
    ::testing::Values(
        CommandCase{"ReadCapacity",
                    [](CScsiChannel& ch, std::uint8_t* b) { return ch.ReadCapacity('E', b); }, 1, 8,
                    {0x25}, false},
        CommandCase{"Inquiry", [](CScsiChannel& ch, std::uint8_t* b) { return ch.Inquiry('E', b); },
                    1, 50, {0x12, 0, 0, 0, 50}, false},
        CommandCase{"Read128AtLba258",
                    [](CScsiChannel& ch, std::uint8_t* b) { return ch.ReadBlocks('E', 258, 128, b); },
                    1, 65536, {0x28, 0, 0x00, 0x00, 0x01, 0x02, 0, 0x00, 0x80}, false},
        CommandCase{"Write128AtLba258",
                    [](CScsiChannel& ch, std::uint8_t* b) { return ch.WriteBlocks('E', 258, 128, b); },
                    0, 65536, {0x2A, 0, 0x00, 0x00, 0x01, 0x02, 0, 0x00, 0x80}, false},
        CommandCase{"WriteOneAtHighLba",
                    [](CScsiChannel& ch, std::uint8_t* b) { return ch.WriteBlocks('E', 4095, 1, b); },
                    0, 512, {0x2A, 0, 0x00, 0x00, 0x0F, 0xFF, 0, 0x00, 0x01}, false},
        CommandCase{"ReadZeroSectors",
                    [](CScsiChannel& ch, std::uint8_t* b) { return ch.ReadBlocks('E', 5, 0, b); }, 2,
                    0, {0x28, 0, 0, 0, 0, 5, 0, 0, 0}, true},
        CommandCase{"WriteZeroSectors",
                    [](CScsiChannel& ch, std::uint8_t* b) { return ch.WriteBlocks('E', 5, 0, b); },
                    2, 0, {0x2A, 0, 0, 0, 0, 5, 0, 0, 0}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelTest, MoreThan128SectorsFailsWithNothingSent) {
    Open();
    std::vector<std::uint8_t> buffer(129 * 512);
    EXPECT_TRUE(channel_.ReadBlocks(kLetter, 0, 129, buffer.data()));
    EXPECT_TRUE(channel_.WriteBlocks(kLetter, 0, 129, buffer.data()));
    channel_.CloseVolume();
    EXPECT_TRUE(sim_.sends.empty());
    EXPECT_TRUE(disk_->Trace().empty());
}

TEST(FillPassThroughTest, RefusesACdbLongerThan16AndLeavesTheRecordAlone) {
    PassThroughRecord record;
    std::memset(&record, 0xA5, sizeof record);
    std::uint8_t cdb[17] = {0x28};
    EXPECT_EQ(FillPassThrough(&record, 17, cdb, 1, 512, 4), -1);
    for (std::size_t i = 0; i < sizeof record; ++i) {
        ASSERT_EQ(reinterpret_cast<const std::uint8_t*>(&record)[i], 0xA5) << "byte " << i;
    }
    EXPECT_EQ(FillPassThrough(&record, 16, cdb, 1, 512, 4), 0);
    EXPECT_EQ(record.sptd.CdbLength, 16);
}

// ---------------------------------------------------------------------------
// Status convention.

struct StatusCase {
    const char* name;
    std::optional<DiskFault> fault;
    int status;
};

class SendStatusTest : public ChannelTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(SendStatusTest, MapsTheOutcomeOfTheCommand) {
    if (GetParam().fault) disk_->InjectFault(*GetParam().fault);
    std::uint8_t cdb[12] = {0x28, 0, 0, 0, 0, 1, 0, 0, 1};
    std::uint8_t buffer[512];
    Open();
    EXPECT_EQ(channel_.SendCommand(kLetter, cdb, true, buffer, 512), GetParam().status);
    channel_.CloseVolume();
    EXPECT_EQ(channel_.SendCommandOwnHandle(kLetter, cdb, true, buffer, 512), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SendStatusTest,
    ::testing::Values(StatusCase{"Good", std::nullopt, 0},
                      StatusCase{"CheckCondition", DiskFault{FaultKind::CheckCondition}, -2},
                      StatusCase{"Busy", DiskFault{FaultKind::Busy}, -8},
                      StatusCase{"OsError", DiskFault{.kind = FaultKind::OsError, .osError = 1117}, 1117}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ChannelTest, CommandOperationsReportAnyNonzeroStatusAsFailure) {
    std::uint8_t buffer[512];
    Open();
    disk_->InjectFault({.kind = FaultKind::CheckCondition, .atCommand = 0});
    EXPECT_TRUE(channel_.ReadBlocks(kLetter, 0, 1, buffer));
    disk_->InjectFault({.kind = FaultKind::Busy, .atCommand = 0});
    EXPECT_TRUE(channel_.WriteBlocks(kLetter, 0, 1, buffer));
    EXPECT_FALSE(channel_.ReadBlocks(kLetter, 0, 1, buffer));
    channel_.CloseVolume();
}

TEST_F(ChannelTest, ADeviceCommandOutsideTheDiskIsCheckCondition) {
    std::uint8_t buffer[512];
    Open();
    std::uint8_t cdb[12] = {0x28, 0, 0, 0, 0x10, 0x00, 0, 0, 1};  // LBA 4096: one past the end
    EXPECT_EQ(channel_.SendCommand(kLetter, cdb, true, buffer, 512), -2);
    channel_.CloseVolume();
}

TEST_F(ChannelTest, AStaleLastErrorDoesNotFailASuccessfulCommand) {
    // A failed open leaves ERROR_FILE_NOT_FOUND as the thread's last error;
    // the control call that follows succeeds without touching it.
    EXPECT_EQ(OpenRawVolume('Q'), kInvalidHandle);
    ASSERT_EQ(sim_.GetLastError(), ERROR_FILE_NOT_FOUND);
    Open();
    std::uint8_t buffer[512];
    EXPECT_FALSE(channel_.ReadBlocks(kLetter, 0, 1, buffer));
    channel_.CloseVolume();
}

TEST_F(ChannelTest, AnUnopenableVolumeLeavesTheResponseZeroAndSendsNothing) {
    std::array<std::uint8_t, 8> capacity;
    capacity.fill(0xAA);
    std::array<std::uint8_t, 50> inquiry;
    inquiry.fill(0xAA);
    sim_.Volumes().FailOpen(kLetter, ERROR_ACCESS_DENIED, 0);

    EXPECT_TRUE(channel_.ReadCapacity(kLetter, capacity.data()));
    EXPECT_TRUE(channel_.Inquiry(kLetter, inquiry.data()));
    EXPECT_EQ(capacity, (std::array<std::uint8_t, 8>{}));
    EXPECT_EQ(inquiry, (std::array<std::uint8_t, 50>{}));
    std::uint8_t cdb[12] = {0x25};
    EXPECT_EQ(channel_.SendCommandOwnHandle(kLetter, cdb, true, capacity.data(), 8), -256);
    EXPECT_TRUE(sim_.sends.empty());

    EXPECT_EQ(channel_.OpenVolume(kLetter), -256);
    EXPECT_EQ(channel_.m_hVolume, kInvalidHandle);
    EXPECT_TRUE(channel_.CloseVolume());
    EXPECT_EQ(channel_.m_hVolume, nullptr);
}

TEST_F(ChannelTest, ReadCapacityAndInquiryDeliverTheDeviceBytesOnTheirOwnHandle) {
    std::uint8_t capacity[8];
    std::uint8_t inquiry[50];
    EXPECT_FALSE(channel_.ReadCapacity(kLetter, capacity));
    EXPECT_FALSE(channel_.Inquiry(kLetter, inquiry));
    // 4096 sectors: last LBA 4095, block length 512, big-endian.
    EXPECT_EQ(std::vector<std::uint8_t>(capacity, capacity + 8),
              (std::vector<std::uint8_t>{0, 0, 0x0F, 0xFF, 0, 0, 0x02, 0x00}));
    EXPECT_EQ(inquiry[1] & 0x80, 0x80);  // removable
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 8), 8), "VORNTEST");
    // Each opened and closed its own handle; the held one was never set.
    EXPECT_EQ(channel_.m_hVolume, nullptr);
}

// ---------------------------------------------------------------------------
// Lock and unlock.

TEST_F(ChannelTest, LockAndUnlockGoThroughTheHeldHandleWhateverTheLetter) {
    Open();
    platform::Handle held = channel_.m_hVolume;
    EXPECT_FALSE(channel_.LockVolume('Z'));
    EXPECT_TRUE(sim_.Volumes().IsLocked(kLetter));
    EXPECT_FALSE(channel_.UnlockVolume('Z'));
    EXPECT_FALSE(sim_.Volumes().IsLocked(kLetter));
    channel_.CloseVolume();

    using Kind = VolumeEvent::Kind;
    std::vector<VolumeEvent> expected = {{Kind::Open, kLetter, held, 0},
                                         {Kind::Lock, kLetter, held, 0},
                                         {Kind::Unlock, kLetter, held, 0},
                                         {Kind::Close, kLetter, held, 0}};
    EXPECT_EQ(sim_.Volumes().Events(), expected);
}

TEST_F(ChannelTest, LockAndUnlockFailuresReportTrue) {
    Open();
    sim_.Volumes().FailControl(kLetter, FSCTL_LOCK_VOLUME, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(channel_.LockVolume(kLetter));
    EXPECT_TRUE(channel_.UnlockVolume(kLetter));  // nothing to unlock
    channel_.CloseVolume();
}

TEST_F(ChannelTest, CloseReleasesTheLock) {
    Open();
    ASSERT_FALSE(channel_.LockVolume(kLetter));
    channel_.CloseVolume();
    EXPECT_FALSE(sim_.Volumes().IsLocked(kLetter));
    CScsiChannel other;
    EXPECT_EQ(other.OpenVolume(kLetter), 0);
    other.CloseVolume();
}

}  // namespace
