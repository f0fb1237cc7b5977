// The SCSI commands the channel sends: opcodes, CDB byte positions and
// parameter lengths. Every CDB is sent with a length of 12 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr unsigned kCdbLength = 12;
inline constexpr std::uint32_t kCommandTimeOutSeconds = 4;
inline constexpr std::uint32_t kSectorBytes = 512;
inline constexpr unsigned kSectorShift = 9;  // count << 9 = count * 512

// Operation codes (CDB byte 0).
inline constexpr std::uint8_t kOpInquiry = 0x12;
inline constexpr std::uint8_t kOpReadCapacity10 = 0x25;
inline constexpr std::uint8_t kOpRead10 = 0x28;
inline constexpr std::uint8_t kOpWrite10 = 0x2A;

// CDB byte positions.
inline constexpr std::size_t kCdbOpcode = 0;
inline constexpr std::size_t kCdbInquiryAllocationLength = 4;  // low byte of the allocation length
inline constexpr std::size_t kCdbLbaMsb = 2;     // READ(10)/WRITE(10): LBA in bytes 2-5, MSB first
inline constexpr std::size_t kCdbCountMsb = 7;   // READ(10)/WRITE(10): count in bytes 7-8, MSB first

// Parameter data lengths.
inline constexpr std::uint32_t kReadCapacityDataLength = 8;  // last LBA, block length
inline constexpr std::uint32_t kInquiryDataLength = 50;
