#include "tests/wine_guest/program/channel_probe.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "device/scsi_channel.h"
#include "device/scsi_constants.h"
#include "platform/byte_order.h"
#include "platform/system_services.h"
#include "tests/wine/driver/report_win32.h"

namespace {

constexpr char kDrive = 'E';
constexpr std::size_t kCdbBytes = 12;             // the channel sends 12-byte CDBs
constexpr std::uint8_t kOpUnsupported = 0xC6;     // vendor-specific: a disk that does not know it refuses it
constexpr std::uint8_t kSenseKeyMask = 0x0F;
constexpr std::size_t kInquiryIdentityEnd = scsi::kInquiryRevision + scsi::kInquiryRevisionLength;

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

// "status S" and, unless GOOD, the sense that came back in the record.
std::string Outcome(const CScsiChannel& channel, int status) {
    std::string text = "status " + std::to_string(status);
    if (status != 0) {
        const std::uint8_t* sense = channel.m_record.sense;
        text += " sense-key " + Hex(sense[scsi::kSenseKey] & kSenseKeyMask, 2) + " asc " +
                Hex(sense[scsi::kSenseAsc], 2) + " ascq " + Hex(sense[scsi::kSenseAscq], 2);
    }
    return text;
}

int Send(CScsiChannel& channel, const std::uint8_t* cdb, void* buffer, std::uint32_t length) {
    return channel.SendCommandOwnHandle(kDrive, cdb, true, buffer, length);
}

}  // namespace

int RunChannelProbe() {
    CScsiChannel channel;

    std::uint8_t inquiry[scsi::kInquiryStandardLength] = {};
    std::uint8_t cdb[kCdbBytes] = {};
    cdb[scsi::kCdbOpcode] = scsi::kOpInquiry;
    platform::StoreBe16(cdb + scsi::kCdbInquiryAllocationLength, sizeof inquiry);
    int status = Send(channel, cdb, inquiry, sizeof inquiry);
    const std::string identity(reinterpret_cast<const char*>(inquiry + scsi::kInquiryVendor),
                               kInquiryIdentityEnd - scsi::kInquiryVendor);
    wine_test::Report("PROBE", "inquiry " + Outcome(channel, status) + " [" + identity + "]");

    std::uint8_t capacity[scsi::kReadCapacityDataLength] = {};
    std::uint8_t capacityCdb[kCdbBytes] = {};
    capacityCdb[scsi::kCdbOpcode] = scsi::kOpReadCapacity10;
    status = Send(channel, capacityCdb, capacity, sizeof capacity);
    const std::uint32_t lastLba = platform::LoadBe32(capacity + scsi::kReadCapacityLastLba);
    wine_test::Report("PROBE", "read-capacity " + Outcome(channel, status) + " last-lba " +
                                   std::to_string(lastLba) + " block " +
                                   std::to_string(platform::LoadBe32(capacity + scsi::kReadCapacityBlockLength)));

    // One block at the first LBA beyond the end, then at the last LBA.
    std::uint8_t block[scsi::kSectorSize] = {};
    for (const std::uint32_t lba : {lastLba + 1, lastLba}) {
        std::uint8_t readCdb[kCdbBytes] = {};
        readCdb[scsi::kCdbOpcode] = scsi::kOpRead10;
        platform::StoreBe32(readCdb + scsi::kCdbRw10Lba, lba);
        platform::StoreBe16(readCdb + scsi::kCdbRw10TransferLength, 1);
        status = Send(channel, readCdb, block, sizeof block);
        wine_test::Report("PROBE", std::string(lba > lastLba ? "read-beyond-end " : "read-last ") +
                                       Outcome(channel, status));
    }

    std::uint8_t unsupported[kCdbBytes] = {};
    unsupported[scsi::kCdbOpcode] = kOpUnsupported;
    status = channel.SendCommandOwnHandle(kDrive, unsupported, false, nullptr, 0);
    wine_test::Report("PROBE", "unsupported-opcode " + Outcome(channel, status));

    std::printf("%s\n", VolumeInformationLine().c_str());
    std::fflush(stdout);
    return 0;
}

std::string VolumeInformationLine() {
    char label[64] = {};
    char fileSystem[64] = {};
    std::uint32_t serial = 0;
    if (!platform::Sys().GetVolumeInformationA("E:\\", label, sizeof label, &serial, nullptr, nullptr, fileSystem,
                                               sizeof fileSystem)) {
        return "VOLUME error " + std::to_string(platform::Sys().GetLastError());
    }
    return std::string("VOLUME label=[") + label + "] serial=" + Hex(serial, 8) + " fs=[" + fileSystem + "]";
}
