#include "device/scsi_channel.h"

#include <climits>
#include <cstring>

#include "device/scsi_constants.h"
#include "platform/byte_order.h"
#include "platform/system_services.h"

namespace {

// Every CDB goes out 12 bytes long, zero-padded past the command's own bytes.
constexpr unsigned kCdbLength = 12;
constexpr std::uint32_t kCommandTimeOutSeconds = 4;
// The INQUIRY data the channel asks for: the standard data and more.
constexpr std::uint32_t kInquiryDataLength = 50;
constexpr unsigned kMaxCdbLength = sizeof(platform::SCSI_PASS_THROUGH_DIRECT::Cdb);
constexpr std::uint8_t kTargetId = 1;

bool IsOpen(platform::Handle handle) { return handle != nullptr && handle != kInvalidHandle; }

void PutReadWriteFields(std::uint8_t* cdb, std::uint8_t opcode, std::uint32_t lba,
                        unsigned count) {
    cdb[scsi::kCdbOpcode] = opcode;
    platform::StoreBe32(cdb + scsi::kCdbRw10Lba, lba);
    platform::StoreBe16(cdb + scsi::kCdbRw10TransferLength, count);
}

}  // namespace

int FillPassThrough(PassThroughRecord* record, unsigned cdbLength, const std::uint8_t* cdb,
                    std::uint8_t direction, std::uint32_t transferLength, std::uint32_t timeOut) {
    if (cdbLength > kMaxCdbLength) return -1;
    std::memset(record, 0, sizeof *record);
    platform::SCSI_PASS_THROUGH_DIRECT& sptd = record->sptd;
    sptd.Length = kPassThroughStructSize;
    sptd.PathId = 0;
    sptd.TargetId = kTargetId;
    sptd.Lun = 0;
    sptd.CdbLength = static_cast<std::uint8_t>(cdbLength);
    sptd.SenseInfoLength = kSenseInfoLength;
    sptd.DataIn = direction;
    sptd.DataTransferLength = transferLength;
    sptd.TimeOutValue = timeOut;
    sptd.SenseInfoOffset = kSenseInfoOffset;
    std::memcpy(sptd.Cdb, cdb, cdbLength);
    return 0;
}

platform::Handle OpenRawVolume(char driveLetter) {
    const char path[] = {'\\', '\\', '.', '\\', driveLetter, ':', '\0'};
    return platform::Sys().CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL);
}

int CScsiChannel::OpenVolume(char driveLetter) {
    m_hVolume = OpenRawVolume(driveLetter);
    return m_hVolume == kInvalidHandle ? kOpenFailedStatus : 0;
}

bool CScsiChannel::CloseVolume() {
    // Only a handle that was opened is closed; a failed open leaves nothing to close.
    if (IsOpen(m_hVolume)) platform::Sys().CloseHandle(m_hVolume);
    m_hVolume = nullptr;
    return true;
}

bool CScsiChannel::LockVolume(char) {
    std::uint32_t bytesReturned = 0;
    return !platform::Sys().DeviceIoControl(m_hVolume, FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0,
                                            &bytesReturned);
}

bool CScsiChannel::UnlockVolume(char) {
    // The lock belongs to the handle that took it; no other handle can release it.
    std::uint32_t bytesReturned = 0;
    return !platform::Sys().DeviceIoControl(m_hVolume, FSCTL_UNLOCK_VOLUME, nullptr, 0, nullptr, 0,
                                            &bytesReturned);
}

bool CScsiChannel::DismountVolume(char) {
    std::uint32_t bytesReturned = 0;
    return !platform::Sys().DeviceIoControl(m_hVolume, FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0,
                                            &bytesReturned);
}

namespace {

// One command through a handle into the record; the status of the send.
int Send(PassThroughRecord& record, platform::Handle handle, const std::uint8_t* cdb, bool dataIn,
         void* buffer, std::uint32_t length) {
    std::uint8_t direction = length == 0 ? SCSI_IOCTL_DATA_UNSPECIFIED
                             : dataIn    ? SCSI_IOCTL_DATA_IN
                                         : SCSI_IOCTL_DATA_OUT;
    FillPassThrough(&record, kCdbLength, cdb, direction, length, kCommandTimeOutSeconds);
    record.sptd.DataBuffer = length != 0 ? buffer : nullptr;

    std::uint32_t bytesReturned = 0;
    bool ok = platform::Sys().DeviceIoControl(handle, IOCTL_SCSI_PASS_THROUGH_DIRECT, &record,
                                              sizeof record, &record, sizeof record,
                                              &bytesReturned);
    std::uint32_t lastError = platform::Sys().GetLastError();
    // A call that succeeded leaves the last error as an earlier call set it,
    // so the code counts only when the call failed.
    if (!ok) {
        if (lastError == 0 || lastError > INT_MAX) lastError = ERROR_IO_DEVICE;
        return static_cast<int>(lastError);
    }
    return -static_cast<int>(record.sptd.ScsiStatus);
}

}  // namespace

int CScsiChannel::SendCommand(char, const std::uint8_t* cdb, bool dataIn, void* buffer,
                              std::uint32_t length) {
    return Send(m_record, m_hVolume, cdb, dataIn, buffer, length);
}

int CScsiChannel::SendCommandOwnHandle(char driveLetter, const std::uint8_t* cdb, bool dataIn,
                                       void* buffer, std::uint32_t length) {
    platform::Handle handle = OpenRawVolume(driveLetter);
    if (handle == kInvalidHandle) return kOpenFailedStatus;
    int status = Send(m_record, handle, cdb, dataIn, buffer, length);
    platform::Sys().CloseHandle(handle);
    return status;
}

bool CScsiChannel::ReadCapacity(char driveLetter, std::uint8_t* response) {
    std::memset(response, 0, scsi::kReadCapacityDataLength);
    std::uint8_t cdb[kCdbLength] = {};
    cdb[scsi::kCdbOpcode] = scsi::kOpReadCapacity10;
    return SendCommandOwnHandle(driveLetter, cdb, true, response, scsi::kReadCapacityDataLength) != 0;
}

bool CScsiChannel::Inquiry(char driveLetter, std::uint8_t* response) {
    std::memset(response, 0, kInquiryDataLength);
    std::uint8_t cdb[kCdbLength] = {};
    cdb[scsi::kCdbOpcode] = scsi::kOpInquiry;
    platform::StoreBe16(cdb + scsi::kCdbInquiryAllocationLength, kInquiryDataLength);
    return SendCommandOwnHandle(driveLetter, cdb, true, response, kInquiryDataLength) != 0;
}

bool CScsiChannel::ReadBlocks(char driveLetter, std::uint32_t lba, unsigned count, void* buffer) {
    if (count > kMaxBlocksPerCommand) return true;
    std::uint8_t cdb[kCdbLength] = {};
    PutReadWriteFields(cdb, scsi::kOpRead10, lba, count);
    return SendCommand(driveLetter, cdb, true, buffer, count * scsi::kSectorSize) != 0;
}

bool CScsiChannel::WriteBlocks(char driveLetter, std::uint32_t lba, unsigned count,
                               const void* buffer) {
    if (count > kMaxBlocksPerCommand) return true;
    std::uint8_t cdb[kCdbLength] = {};
    PutReadWriteFields(cdb, scsi::kOpWrite10, lba, count);
    // Data out: the driver only reads the buffer.
    return SendCommand(driveLetter, cdb, false, const_cast<void*>(buffer),
                       count * scsi::kSectorSize) != 0;
}
