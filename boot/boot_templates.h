// The boot-record templates, assembled from boot/*.asm at build time.
#pragma once

#include <cstdint>

inline constexpr unsigned kMbrTemplateSize = 512;
inline constexpr unsigned kFat16BootTemplateSize = 512;
inline constexpr unsigned kFat32BootTemplateSize = 1536;

extern const std::uint8_t kMbrTemplate[kMbrTemplateSize];
extern const std::uint8_t kFat16BootTemplate[kFat16BootTemplateSize];
extern const std::uint8_t kFat32BootTemplate[kFat32BootTemplateSize];
