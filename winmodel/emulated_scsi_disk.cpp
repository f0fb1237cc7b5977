#include "winmodel/emulated_scsi_disk.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_constants.h"
#include "platform/byte_order.h"

namespace {

using platform::LoadBe16;
using platform::LoadBe32;
using platform::StoreBe32;

void PutPadded(std::uint8_t* field, std::size_t width, const std::string& text) {
    std::memset(field, ' ', width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

ScsiOutcome CheckCondition(std::uint8_t senseKey, std::uint8_t asc) {
    ScsiOutcome outcome;
    outcome.status = scsi::kStatusCheckCondition;
    outcome.sense[scsi::kSenseResponseCode] = scsi::kSenseResponseCurrentFixed;
    outcome.sense[scsi::kSenseKey] = senseKey & 0x0F;
    outcome.sense[scsi::kSenseAdditionalLength] =
        static_cast<std::uint8_t>(scsi::kSenseDataLength - 8);
    outcome.sense[scsi::kSenseAsc] = asc;
    outcome.sense[scsi::kSenseAscq] = 0;
    outcome.senseLength = scsi::kSenseDataLength;
    return outcome;
}

ScsiOutcome IllegalRequest(std::uint8_t asc) {
    return CheckCondition(scsi::kSenseIllegalRequest, asc);
}

// A data phase that matches the CDB: the expected byte count, and a
// direction that agrees with it (none when nothing moves).
bool TransferAgrees(const ScsiRequest& request, std::uint64_t expected, DataDirection direction) {
    if (request.length != expected) return false;
    if (expected == 0) return true;
    return request.direction == direction && request.data != nullptr;
}

}  // namespace

EmulatedScsiDisk::EmulatedScsiDisk(std::unique_ptr<BlockStore> store, std::uint32_t blockLength)
    : store_(std::move(store)), blockLength_(blockLength == 0 ? scsi::kSectorSize : blockLength) {}

std::shared_ptr<EmulatedScsiDisk> EmulatedScsiDisk::InMemory(std::uint64_t blocks,
                                                             std::uint32_t blockLength) {
    return std::make_shared<EmulatedScsiDisk>(MakeMemoryBlockStore(blocks * blockLength),
                                              blockLength);
}

std::uint64_t EmulatedScsiDisk::BlockCount() const { return store_->SizeBytes() / blockLength_; }

void EmulatedScsiDisk::SetIdentity(const DiskIdentity& identity) {
    std::lock_guard lock(mutex_);
    identity_ = identity;
}

void EmulatedScsiDisk::InjectFault(const DiskFault& fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back({fault});
}

void EmulatedScsiDisk::ClearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::vector<TracedCommand> EmulatedScsiDisk::Trace() const {
    std::lock_guard lock(mutex_);
    return trace_;
}

void EmulatedScsiDisk::ClearTrace() {
    std::lock_guard lock(mutex_);
    trace_.clear();
}

bool EmulatedScsiDisk::ReadBytes(std::uint64_t offset, void* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (offset + size > store_->SizeBytes()) return false;
    return store_->Read(offset, data, size);
}

bool EmulatedScsiDisk::WriteBytes(std::uint64_t offset, const void* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (offset + size > store_->SizeBytes()) return false;
    return store_->Write(offset, data, size);
}

std::optional<FaultKind> EmulatedScsiDisk::TakeFault(std::uint8_t opcode, DiskFault* matched) {
    std::optional<FaultKind> hit;
    for (auto& armed : faults_) {
        if (armed.spent) continue;
        if (armed.fault.opcode && *armed.fault.opcode != opcode) continue;
        std::size_t position = armed.seen++;
        if (hit) continue;  // the first matching fault wins; the others still count
        if (armed.fault.atCommand) {
            if (*armed.fault.atCommand != position) continue;
            armed.spent = true;
        }
        hit = armed.fault.kind;
        *matched = armed.fault;
    }
    return hit;
}

ScsiOutcome EmulatedScsiDisk::Execute(const ScsiRequest& request) {
    std::lock_guard lock(mutex_);
    // Commands shorter than a READ(10) are read as if zero-padded.
    std::uint8_t cdb[16] = {};
    std::memcpy(cdb, request.cdb, std::min<unsigned>(request.cdbLength, sizeof cdb));

    TracedCommand traced;
    traced.opcode = cdb[scsi::kCdbOpcode];
    traced.direction = request.direction;
    traced.length = request.length;
    if (traced.opcode == scsi::kOpRead10 || traced.opcode == scsi::kOpWrite10) {
        traced.lba = LoadBe32(cdb + scsi::kCdbRw10Lba);
        traced.count = LoadBe16(cdb + scsi::kCdbRw10TransferLength);
    }

    ScsiOutcome outcome;
    DiskFault fault;
    std::optional<FaultKind> kind = TakeFault(traced.opcode, &fault);
    if (kind == FaultKind::OsError) {
        outcome.osError = fault.osError;
    } else if (kind == FaultKind::Busy) {
        outcome.status = scsi::kStatusBusy;
    } else if (kind == FaultKind::CheckCondition) {
        outcome = CheckCondition(fault.senseKey, fault.asc);
    } else {
        outcome = Run(request, cdb, kind == FaultKind::DropWrite, traced);
    }
    traced.osError = outcome.osError;
    traced.status = outcome.status;
    trace_.push_back(traced);
    return outcome;
}

ScsiOutcome EmulatedScsiDisk::Run(const ScsiRequest& request, const std::uint8_t* cdb,
                                  bool dropWrite, TracedCommand& traced) {
    switch (cdb[scsi::kCdbOpcode]) {
    case scsi::kOpInquiry:
        return Inquiry(request, cdb);
    case scsi::kOpReadCapacity10:
        return ReadCapacity(request);
    case scsi::kOpRead10:
        return ReadWrite(request, false, false, traced);
    case scsi::kOpWrite10:
        return ReadWrite(request, true, dropWrite, traced);
    default:
        return IllegalRequest(scsi::kAscInvalidOpcode);
    }
}

ScsiOutcome EmulatedScsiDisk::Inquiry(const ScsiRequest& request, const std::uint8_t* cdb) {
    std::uint32_t allocation = LoadBe16(cdb + scsi::kCdbInquiryAllocationLength);
    if (!TransferAgrees(request, allocation, DataDirection::In)) {
        return IllegalRequest(scsi::kAscInvalidFieldInCdb);
    }
    std::uint8_t data[scsi::kInquiryStandardLength] = {};
    data[scsi::kInquiryPeripheral] = 0x00;
    data[scsi::kInquiryRemovable] = identity_.removable ? scsi::kInquiryRemovableBit : 0;
    data[scsi::kInquiryVersion] = 0x05;         // SPC-3
    data[scsi::kInquiryResponseFormat] = 0x02;  // the standard format
    data[scsi::kInquiryAdditionalLength] =
        static_cast<std::uint8_t>(scsi::kInquiryStandardLength - 5);
    PutPadded(data + scsi::kInquiryVendor, scsi::kInquiryVendorLength, identity_.vendor);
    PutPadded(data + scsi::kInquiryProduct, scsi::kInquiryProductLength, identity_.product);
    PutPadded(data + scsi::kInquiryRevision, scsi::kInquiryRevisionLength, identity_.revision);

    ScsiOutcome outcome;
    outcome.transferred = std::min<std::uint32_t>(request.length, sizeof data);
    if (outcome.transferred > 0) std::memcpy(request.data, data, outcome.transferred);
    return outcome;
}

ScsiOutcome EmulatedScsiDisk::ReadCapacity(const ScsiRequest& request) {
    if (!TransferAgrees(request, scsi::kReadCapacityDataLength, DataDirection::In)) {
        return IllegalRequest(scsi::kAscInvalidFieldInCdb);
    }
    std::uint64_t blocks = BlockCount();
    // A disk too large for the 32-bit field reports all ones.
    std::uint32_t lastLba = blocks == 0 ? 0
                            : blocks - 1 > 0xFFFFFFFFu ? 0xFFFFFFFFu
                                                       : static_cast<std::uint32_t>(blocks - 1);
    auto* data = static_cast<std::uint8_t*>(request.data);
    StoreBe32(data + scsi::kReadCapacityLastLba, lastLba);
    StoreBe32(data + scsi::kReadCapacityBlockLength, blockLength_);
    ScsiOutcome outcome;
    outcome.transferred = scsi::kReadCapacityDataLength;
    return outcome;
}

ScsiOutcome EmulatedScsiDisk::ReadWrite(const ScsiRequest& request, bool write, bool dropWrite,
                                        TracedCommand& traced) {
    std::uint64_t lba = traced.lba;
    std::uint64_t count = traced.count;
    std::uint64_t bytes = count * blockLength_;
    if (!TransferAgrees(request, bytes, write ? DataDirection::Out : DataDirection::In)) {
        return IllegalRequest(scsi::kAscInvalidFieldInCdb);
    }
    if (lba >= BlockCount() || lba + count > BlockCount()) {
        return IllegalRequest(scsi::kAscLbaOutOfRange);
    }
    ScsiOutcome outcome;
    if (bytes == 0) return outcome;
    std::uint64_t offset = lba * blockLength_;
    if (write) {
        if (dropWrite) {
            traced.dropped = true;
        } else if (!store_->Write(offset, request.data, bytes)) {
            return CheckCondition(scsi::kSenseMediumError, scsi::kAscWriteError);
        }
    } else if (!store_->Read(offset, request.data, bytes)) {
        return CheckCondition(scsi::kSenseMediumError, scsi::kAscUnrecoveredReadError);
    }
    outcome.transferred = static_cast<std::uint32_t>(bytes);
    return outcome;
}
