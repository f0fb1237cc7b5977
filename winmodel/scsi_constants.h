// SCSI values the emulated disk understands: opcodes, CDB field positions,
// status bytes and the fixed-format sense data it returns.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scsi {

// Operation codes (CDB byte 0).
inline constexpr std::uint8_t kOpInquiry = 0x12;
inline constexpr std::uint8_t kOpReadCapacity10 = 0x25;
inline constexpr std::uint8_t kOpRead10 = 0x28;
inline constexpr std::uint8_t kOpWrite10 = 0x2A;

// CDB byte positions.
inline constexpr std::size_t kCdbOpcode = 0;
inline constexpr std::size_t kCdbInquiryAllocationLength = 3;  // 16-bit, big-endian
inline constexpr std::size_t kCdbRw10Lba = 2;                  // 32-bit, big-endian
inline constexpr std::size_t kCdbRw10TransferLength = 7;       // 16-bit, big-endian

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

// READ CAPACITY(10) parameter data: last LBA, then block length, big-endian.
inline constexpr std::size_t kReadCapacityDataLength = 8;
inline constexpr std::size_t kReadCapacityLastLba = 0;
inline constexpr std::size_t kReadCapacityBlockLength = 4;

}  // namespace scsi
