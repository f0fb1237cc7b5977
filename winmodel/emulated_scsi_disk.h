// A direct-access SCSI disk over a block store: INQUIRY, READ CAPACITY(10),
// READ(10) and WRITE(10). Anything else, an LBA range past the end, or a
// data transfer that disagrees with the CDB ends in CHECK CONDITION with
// fixed-format sense data (ILLEGAL REQUEST).
//
// Faults can be injected at chosen commands, and every command is traced in
// the order it arrived. Thread-safe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/scsi_constants.h"
#include "winmodel/block_store.h"
#include "winmodel/scsi_target.h"

struct TracedCommand {
    std::uint8_t opcode = 0;
    std::uint32_t lba = 0;    // READ(10)/WRITE(10) only
    std::uint32_t count = 0;  // READ(10)/WRITE(10) only: blocks
    DataDirection direction = DataDirection::None;
    std::uint32_t length = 0;
    // What became of it.
    std::uint32_t osError = 0;
    std::uint8_t status = 0;
    bool dropped = false;  // a WRITE(10) reported GOOD but not stored

    bool operator==(const TracedCommand&) const = default;
};

enum class FaultKind {
    OsError,         // the control call fails with osError
    CheckCondition,  // status CHECK CONDITION with senseKey/asc
    Busy,            // status BUSY, no sense data
    DropWrite,       // a WRITE(10) answers GOOD and stores nothing (other commands run as usual)
};

struct DiskFault {
    FaultKind kind = FaultKind::CheckCondition;
    // Which commands: those with this opcode (any when empty); of them, the
    // one at this 0-based position counted from the injection (every one
    // when empty).
    std::optional<std::uint8_t> opcode{};
    std::optional<std::size_t> atCommand{};
    std::uint32_t osError = 1117;  // ERROR_IO_DEVICE
    std::uint8_t senseKey = scsi::kSenseMediumError;
    std::uint8_t asc = scsi::kAscUnrecoveredReadError;
};

struct DiskIdentity {
    std::string vendor = "VORNTEST";
    std::string product = "Emulated Stick";
    std::string revision = "0.9";
    bool removable = true;
};

class EmulatedScsiDisk : public ScsiTarget {
public:
    explicit EmulatedScsiDisk(std::unique_ptr<BlockStore> store, std::uint32_t blockLength = scsi::kSectorSize);

    static std::shared_ptr<EmulatedScsiDisk> InMemory(std::uint64_t blocks,
                                                      std::uint32_t blockLength = scsi::kSectorSize);

    ScsiOutcome Execute(const ScsiRequest& request) override;

    std::uint64_t BlockCount() const;
    void SetIdentity(const DiskIdentity& identity);

    void InjectFault(const DiskFault& fault);
    void ClearFaults();

    std::vector<TracedCommand> Trace() const;
    void ClearTrace();

    // Direct access to the medium for tests, bypassing faults and trace.
    bool ReadBytes(std::uint64_t offset, void* data, std::size_t size);
    bool WriteBytes(std::uint64_t offset, const void* data, std::size_t size);

private:
    struct ArmedFault {
        DiskFault fault;
        std::size_t seen = 0;  // matching commands since injection
        bool spent = false;
    };

    std::optional<FaultKind> TakeFault(std::uint8_t opcode, DiskFault* matched);
    ScsiOutcome Run(const ScsiRequest& request, const std::uint8_t* cdb, bool dropWrite,
                    TracedCommand& traced);
    ScsiOutcome Inquiry(const ScsiRequest& request, const std::uint8_t* cdb);
    ScsiOutcome ReadCapacity(const ScsiRequest& request);
    ScsiOutcome ReadWrite(const ScsiRequest& request, bool write, bool dropWrite,
                          TracedCommand& traced);

    mutable std::mutex mutex_;
    std::unique_ptr<BlockStore> store_;
    std::uint32_t blockLength_;
    DiskIdentity identity_;
    std::vector<ArmedFault> faults_;
    std::vector<TracedCommand> trace_;
};
