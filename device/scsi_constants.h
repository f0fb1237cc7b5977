// The SCSI wire as the channel sends it and the emulated disk and the Linux
// backend read it: operation codes, CDB fields, status bytes, fixed-format
// sense data, the INQUIRY and READ CAPACITY(10) parameter data, and the
// 512-byte logical block everything is counted in. Multi-byte fields on the
// wire are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scsi {

// The logical block length the program works in: READ(10) and WRITE(10)
// move count * 512 bytes, the builder's sectors are these blocks, and a disk
// that reports another block length is refused.
inline constexpr std::uint32_t kSectorSize = 512;

// Operation codes (CDB byte 0).
inline constexpr std::uint8_t kOpTestUnitReady = 0x00;
inline constexpr std::uint8_t kOpRequestSense = 0x03;
inline constexpr std::uint8_t kOpInquiry = 0x12;
inline constexpr std::uint8_t kOpModeSense6 = 0x1A;
inline constexpr std::uint8_t kOpReadCapacity10 = 0x25;
inline constexpr std::uint8_t kOpRead10 = 0x28;
inline constexpr std::uint8_t kOpWrite10 = 0x2A;
inline constexpr std::uint8_t kOpModeSense10 = 0x5A;
inline constexpr std::uint8_t kOpRead16 = 0x88;
inline constexpr std::uint8_t kOpServiceActionIn16 = 0x9E;  // READ CAPACITY(16) is one of its actions
inline constexpr std::uint8_t kOpRead12 = 0xA8;

// CDB byte positions.
inline constexpr std::size_t kCdbOpcode = 0;
// INQUIRY: 16-bit allocation length in bytes 3-4 (SPC-3 on); SCSI-2 kept
// byte 3 reserved and the length in byte 4 alone, so a length below 256
// reads the same under both.
inline constexpr std::size_t kCdbInquiryAllocationLength = 3;
inline constexpr std::size_t kCdbRw10Lba = 2;             // READ(10)/WRITE(10): 32-bit
inline constexpr std::size_t kCdbRw10TransferLength = 7;  // READ(10)/WRITE(10): 16-bit, in blocks

// Status bytes.
inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kStatusBusy = 0x08;

// Sense keys.
inline constexpr std::uint8_t kSenseMediumError = 0x03;
inline constexpr std::uint8_t kSenseIllegalRequest = 0x05;

// Additional sense codes.
inline constexpr std::uint8_t kAscWriteError = 0x0C;
inline constexpr std::uint8_t kAscUnrecoveredReadError = 0x11;
inline constexpr std::uint8_t kAscInvalidOpcode = 0x20;
inline constexpr std::uint8_t kAscLbaOutOfRange = 0x21;
inline constexpr std::uint8_t kAscInvalidFieldInCdb = 0x24;

// Fixed-format sense data.
inline constexpr std::size_t kSenseDataLength = 18;
inline constexpr std::uint8_t kSenseResponseCurrentFixed = 0x70;  // byte 0
inline constexpr std::size_t kSenseResponseCode = 0;
inline constexpr std::size_t kSenseKey = 2;                   // low nibble
inline constexpr std::size_t kSenseAdditionalLength = 7;      // bytes after byte 7
inline constexpr std::size_t kSenseAsc = 12;
inline constexpr std::size_t kSenseAscq = 13;

// Standard INQUIRY data.
inline constexpr std::size_t kInquiryStandardLength = 36;
inline constexpr std::size_t kInquiryPeripheral = 0;          // 0x00: direct-access block device
inline constexpr std::size_t kInquiryRemovable = 1;           // bit 7: removable medium
inline constexpr std::uint8_t kInquiryRemovableBit = 0x80;
inline constexpr std::size_t kInquiryVersion = 2;
inline constexpr std::size_t kInquiryResponseFormat = 3;
inline constexpr std::size_t kInquiryAdditionalLength = 4;    // bytes after byte 4
inline constexpr std::size_t kInquiryVendor = 8;              // 8 bytes, space padded
inline constexpr std::size_t kInquiryProduct = 16;            // 16 bytes, space padded
inline constexpr std::size_t kInquiryRevision = 32;           // 4 bytes, space padded
inline constexpr std::size_t kInquiryVendorLength = 8;
inline constexpr std::size_t kInquiryProductLength = 16;
inline constexpr std::size_t kInquiryRevisionLength = 4;

// READ CAPACITY(10) parameter data: last LBA, then block length, 32-bit each.
inline constexpr std::size_t kReadCapacityDataLength = 8;
inline constexpr std::size_t kReadCapacityLastLba = 0;
inline constexpr std::size_t kReadCapacityBlockLength = 4;

}  // namespace scsi
