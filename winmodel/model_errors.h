// Windows error codes the model of Windows answers with that win_types.h
// does not list (the program itself never tests for them).
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kErrorPathNotFound = 3;                 // ERROR_PATH_NOT_FOUND
inline constexpr std::uint32_t kErrorInvalidName = 123;                // ERROR_INVALID_NAME
inline constexpr std::uint32_t kErrorNotLocked = 158;                  // ERROR_NOT_LOCKED
inline constexpr std::uint32_t kErrorUnrecognizedVolume = 1005;        // ERROR_UNRECOGNIZED_VOLUME
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;        // ERROR_DEVICE_NOT_CONNECTED
inline constexpr std::uint32_t kErrorResourceTypeNotFound = 1813;      // ERROR_RESOURCE_TYPE_NOT_FOUND
inline constexpr std::uint32_t kErrorNoSuchDevinst = 0xE000020B;       // ERROR_NO_SUCH_DEVINST
