// The emulated SCSI disk on its own: the four commands, CHECK CONDITION with
// sense data for what it refuses, fault injection and the trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <sys/stat.h>

#include "device/scsi_constants.h"
#include "platform/byte_order.h"
#include "winmodel/emulated_scsi_disk.h"

namespace {

using platform::LoadBe32;

constexpr std::uint8_t kRead10 = scsi::kOpRead10;
constexpr std::uint8_t kWrite10 = scsi::kOpWrite10;
constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kIllegalRequest = 0x05;

struct Cdb {
    std::uint8_t bytes[12] = {};
};

Cdb ReadWriteCdb(std::uint8_t opcode, std::uint32_t lba, std::uint16_t count) {
    Cdb cdb;
    cdb.bytes[scsi::kCdbOpcode] = opcode;
    platform::StoreBe32(cdb.bytes + scsi::kCdbRw10Lba, lba);
    platform::StoreBe16(cdb.bytes + scsi::kCdbRw10TransferLength, count);
    return cdb;
}

ScsiOutcome Send(EmulatedScsiDisk& disk, const Cdb& cdb, DataDirection direction, void* data,
                std::uint32_t length) {
    return disk.Execute({cdb.bytes, 12, direction, data, length});
}

TEST(EmulatedScsiDiskTest, ReportsCapacityOfAHugeDiskWithoutAllocatingIt) {
    auto disk = EmulatedScsiDisk::InMemory(4294967295u);
    std::uint8_t data[8] = {};
    Cdb cdb;
    cdb.bytes[scsi::kCdbOpcode] = scsi::kOpReadCapacity10;
    ScsiOutcome outcome = Send(*disk, cdb, DataDirection::In, data, 8);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(LoadBe32(data), 4294967294u);
    EXPECT_EQ(LoadBe32(data + 4), 512u);

    // The last sector holds what was written there.
    std::vector<std::uint8_t> sector(512, 0x5A), back(512);
    EXPECT_EQ(Send(*disk, ReadWriteCdb(kWrite10, 4294967294u, 1), DataDirection::Out, sector.data(), 512).status, 0);
    EXPECT_EQ(Send(*disk, ReadWriteCdb(kRead10, 4294967294u, 1), DataDirection::In, back.data(), 512).status, 0);
    EXPECT_EQ(back, sector);
}

TEST(EmulatedScsiDiskTest, ReportsAConfiguredBlockLength) {
    auto disk = EmulatedScsiDisk::InMemory(1000, 4096);
    std::uint8_t data[8] = {};
    Cdb cdb;
    cdb.bytes[scsi::kCdbOpcode] = scsi::kOpReadCapacity10;
    ASSERT_EQ(Send(*disk, cdb, DataDirection::In, data, 8).status, 0);
    EXPECT_EQ(LoadBe32(data), 999u);
    EXPECT_EQ(LoadBe32(data + 4), 4096u);
    // A transfer sized for 512-byte blocks disagrees with the CDB.
    std::vector<std::uint8_t> buffer(4096);
    EXPECT_EQ(Send(*disk, ReadWriteCdb(kRead10, 0, 1), DataDirection::In, buffer.data(), 512).status,
              kCheckCondition);
    EXPECT_EQ(Send(*disk, ReadWriteCdb(kRead10, 0, 1), DataDirection::In, buffer.data(), 4096).status, 0);
}

TEST(EmulatedScsiDiskTest, InquiryGivesStandardDataOfARemovableDisk) {
    auto disk = EmulatedScsiDisk::InMemory(64);
    std::uint8_t data[50];
    std::memset(data, 0xEE, sizeof data);
    Cdb cdb;
    cdb.bytes[scsi::kCdbOpcode] = scsi::kOpInquiry;
    cdb.bytes[4] = 50;
    ScsiOutcome outcome = Send(*disk, cdb, DataDirection::In, data, 50);
    ASSERT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.transferred, 36u);
    EXPECT_EQ(data[0], 0x00);  // direct-access block device
    EXPECT_EQ(data[1], 0x80);  // removable
    EXPECT_EQ(data[4], 31);    // additional length of 36-byte standard data
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 8), "VORNTEST");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 16), 16), "Emulated Stick  ");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 32), 4), "0.9 ");
    EXPECT_EQ(data[36], 0xEE);  // nothing past the data it has

    disk->SetIdentity({"ACME", "Pocket Drive", "2.10", false});
    Send(*disk, cdb, DataDirection::In, data, 50);
    EXPECT_EQ(data[1], 0x00);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 8), 28), "ACME    Pocket Drive    2.10");
}

// Requests the disk refuses, with the sense it gives.
struct RefusalCase {
    const char* name;
    Cdb cdb;
    DataDirection direction;
    std::uint32_t length;
    std::uint8_t asc;
};

Cdb Opcode(std::uint8_t opcode, std::uint8_t byte4 = 0) {
    Cdb cdb;
    cdb.bytes[scsi::kCdbOpcode] = opcode;
    cdb.bytes[4] = byte4;
    return cdb;
}

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, EndsInCheckConditionWithIllegalRequestSense) {
    const RefusalCase& c = GetParam();
    auto disk = EmulatedScsiDisk::InMemory(1024);
    std::vector<std::uint8_t> buffer(128 * 512);
    ScsiOutcome outcome = Send(*disk, c.cdb, c.direction, buffer.data(), c.length);
    EXPECT_EQ(outcome.osError, 0u);
    EXPECT_EQ(outcome.status, kCheckCondition);
    ASSERT_EQ(outcome.senseLength, 18u);
    EXPECT_EQ(outcome.sense[0], 0x70);  // current error, fixed format
    EXPECT_EQ(outcome.sense[2], kIllegalRequest);
    EXPECT_EQ(outcome.sense[7], 10);
    EXPECT_EQ(outcome.sense[12], c.asc);
    // Nothing reached the medium.
    std::vector<std::uint8_t> medium(1024 * 512);
    disk->ReadBytes(0, medium.data(), medium.size());
    EXPECT_EQ(medium, std::vector<std::uint8_t>(medium.size(), 0));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(
        RefusalCase{"UnknownOpcode", Opcode(scsi::kOpTestUnitReady), DataDirection::None, 0, 0x20},
        RefusalCase{"ModeSense", Opcode(scsi::kOpModeSense6, 192), DataDirection::In, 192, 0x20},
        RefusalCase{"ReadPastTheEnd", ReadWriteCdb(kRead10, 1000, 25), DataDirection::In, 25 * 512, 0x21},
        RefusalCase{"WriteStartingAtTheEnd", ReadWriteCdb(kWrite10, 1024, 1), DataDirection::Out, 512, 0x21},
        RefusalCase{"EmptyReadPastTheEnd", ReadWriteCdb(kRead10, 5000, 0), DataDirection::None, 0, 0x21},
        RefusalCase{"WriteLongerThanTheCdb", ReadWriteCdb(kWrite10, 0, 1), DataDirection::Out, 1024, 0x24},
        RefusalCase{"WriteShorterThanTheCdb", ReadWriteCdb(kWrite10, 0, 2), DataDirection::Out, 512, 0x24},
        RefusalCase{"WriteWithDataIn", ReadWriteCdb(kWrite10, 0, 1), DataDirection::In, 512, 0x24},
        RefusalCase{"ReadWithNoData", ReadWriteCdb(kRead10, 0, 1), DataDirection::None, 0, 0x24},
        RefusalCase{"ReadCapacityShort", Opcode(scsi::kOpReadCapacity10), DataDirection::In, 4, 0x24},
        RefusalCase{"InquiryLengthDisagrees", Opcode(scsi::kOpInquiry, 50), DataDirection::In, 36, 0x24}),
    [](const auto& info) { return std::string(info.param.name); });

// INQUIRY's allocation length is the 16-bit field of bytes 3-4 (byte 3 was
// reserved before SPC-3): byte 3 alone asks for 256 bytes.
TEST(EmulatedScsiDiskTest, InquiryAllocationLengthSpansBytes3And4) {
    auto disk = EmulatedScsiDisk::InMemory(64);
    Cdb cdb = Opcode(scsi::kOpInquiry);
    cdb.bytes[3] = 0x01;
    std::vector<std::uint8_t> data(256);
    EXPECT_EQ(Send(*disk, cdb, DataDirection::None, nullptr, 0).status, kCheckCondition);
    ScsiOutcome outcome = Send(*disk, cdb, DataDirection::In, data.data(), 256);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.transferred, 36u);
}

TEST(EmulatedScsiDiskTest, FaultsHitTheChosenCommandOnly) {
    auto disk = EmulatedScsiDisk::InMemory(1024);
    // The second WRITE(10) after injection answers BUSY; the fourth command
    // of any kind fails below SCSI.
    disk->InjectFault({.kind = FaultKind::Busy, .opcode = kWrite10, .atCommand = 1});
    disk->InjectFault({.kind = FaultKind::OsError, .atCommand = 3, .osError = 31});
    std::vector<std::uint8_t> sector(512, 1);
    auto write = [&](std::uint32_t lba) {
        return Send(*disk, ReadWriteCdb(kWrite10, lba, 1), DataDirection::Out, sector.data(), 512);
    };
    auto read = [&](std::uint32_t lba) {
        return Send(*disk, ReadWriteCdb(kRead10, lba, 1), DataDirection::In, sector.data(), 512);
    };
    EXPECT_EQ(read(0).status, 0);
    EXPECT_EQ(write(1).status, 0);
    EXPECT_EQ(write(2).status, 0x08);
    ScsiOutcome failed = read(3);
    EXPECT_EQ(failed.osError, 31u);
    EXPECT_EQ(write(4).status, 0);
    EXPECT_EQ(read(5).status, 0);

    std::vector<TracedCommand> trace = disk->Trace();
    ASSERT_EQ(trace.size(), 6u);
    EXPECT_EQ(trace[2], (TracedCommand{kWrite10, 2, 1, DataDirection::Out, 512, 0, 0x08, false}));
    EXPECT_EQ(trace[3], (TracedCommand{kRead10, 3, 1, DataDirection::In, 512, 31, 0, false}));
    // The busy write stored nothing.
    std::uint8_t stored = 0xFF;
    disk->ReadBytes(2 * 512, &stored, 1);
    EXPECT_EQ(stored, 0);
}

TEST(EmulatedScsiDiskTest, InjectedCheckConditionCarriesTheChosenSense) {
    auto disk = EmulatedScsiDisk::InMemory(16);
    disk->InjectFault({.kind = FaultKind::CheckCondition, .senseKey = 0x03, .asc = 0x0C});
    std::vector<std::uint8_t> sector(512);
    ScsiOutcome outcome =
        Send(*disk, ReadWriteCdb(kWrite10, 0, 1), DataDirection::Out, sector.data(), 512);
    EXPECT_EQ(outcome.status, kCheckCondition);
    EXPECT_EQ(outcome.sense[2], 0x03);
    EXPECT_EQ(outcome.sense[12], 0x0C);
}

TEST(EmulatedScsiDiskTest, ADroppedWriteAnswersGoodAndStoresNothing) {
    auto disk = EmulatedScsiDisk::InMemory(16);
    disk->InjectFault({.kind = FaultKind::DropWrite, .opcode = kWrite10, .atCommand = 0});
    std::vector<std::uint8_t> sector(512, 0x77), back(512, 0xFF);
    EXPECT_EQ(Send(*disk, ReadWriteCdb(kWrite10, 3, 1), DataDirection::Out, sector.data(), 512).status, 0);
    Send(*disk, ReadWriteCdb(kRead10, 3, 1), DataDirection::In, back.data(), 512);
    EXPECT_EQ(back, std::vector<std::uint8_t>(512, 0));
    EXPECT_TRUE(disk->Trace()[0].dropped);
    // Only that one write.
    Send(*disk, ReadWriteCdb(kWrite10, 3, 1), DataDirection::Out, sector.data(), 512);
    Send(*disk, ReadWriteCdb(kRead10, 3, 1), DataDirection::In, back.data(), 512);
    EXPECT_EQ(back, sector);
}

TEST(FileBlockStoreTest, AnImageFileIsTheMediumAndItsSizeTheCapacity) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "vorn_file_store_test.img";
    std::filesystem::remove(path);
    EXPECT_EQ(OpenFileBlockStore(path.string()), nullptr);
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, 64 * 512);

    EmulatedScsiDisk disk(OpenFileBlockStore(path.string()));
    EXPECT_EQ(disk.BlockCount(), 64u);
    std::vector<std::uint8_t> sectors(2 * 512);
    for (std::size_t i = 0; i < sectors.size(); ++i) sectors[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(Send(disk, ReadWriteCdb(kWrite10, 62, 2), DataDirection::Out, sectors.data(), 1024).status, 0);

    std::ifstream image(path, std::ios::binary);
    image.seekg(62 * 512);
    std::vector<std::uint8_t> onFile(1024);
    image.read(reinterpret_cast<char*>(onFile.data()), 1024);
    EXPECT_EQ(onFile, sectors);
    EXPECT_EQ(std::filesystem::file_size(path), 64u * 512);
    std::filesystem::remove(path);
}

// A fresh image must stay sparse when the build writes its empty FATs, and
// a used one must still lose its old bytes to the zeros written over them.
TEST(FileBlockStoreTest, ZerosLeaveHolesAloneAndStillOverwriteOldData) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "vorn_file_store_zeros.img";
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    constexpr std::uint64_t kImageBytes = 64u << 20;
    std::filesystem::resize_file(path, kImageBytes);
    std::unique_ptr<BlockStore> store = OpenFileBlockStore(path.string());
    ASSERT_NE(store, nullptr);

    const std::vector<std::uint8_t> zeros(1u << 20, 0);
    const std::vector<std::uint8_t> pattern(4096, 0xA5);
    std::vector<std::uint8_t> back(1u << 20);

    // Old data, then zeros over it, over it and a hole, and over holes only.
    ASSERT_TRUE(store->Write(0, pattern.data(), pattern.size()));
    ASSERT_TRUE(store->Write(8u << 20, pattern.data(), pattern.size()));
    ASSERT_TRUE(store->Write(0, zeros.data(), 512));
    ASSERT_TRUE(store->Write((8u << 20) - 65536, zeros.data(), 65536 + 1024));
    for (std::uint64_t offset = 16u << 20; offset < kImageBytes; offset += zeros.size()) {
        ASSERT_TRUE(store->Write(offset, zeros.data(), zeros.size()));
    }

    ASSERT_TRUE(store->Read(0, back.data(), 4096));
    EXPECT_TRUE(std::all_of(back.begin(), back.begin() + 512, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(back.begin() + 512, back.begin() + 4096, [](auto b) { return b == 0xA5; }));
    ASSERT_TRUE(store->Read(8u << 20, back.data(), 4096));
    EXPECT_TRUE(std::all_of(back.begin(), back.begin() + 1024, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(back.begin() + 1024, back.begin() + 4096, [](auto b) { return b == 0xA5; }));

    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_LT(std::uint64_t(info.st_blocks) * 512, 1u << 20) << "the zeros filled the holes";
    store.reset();
    std::filesystem::remove(path);
}

}  // namespace
