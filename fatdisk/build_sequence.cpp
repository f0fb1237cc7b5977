// TEMPORARY stubs so that the program links until the build and read-back
// sequence arrives; its author replaces this file.
#include "fatdisk/fat_disk_builder.h"

namespace {
constexpr char kNotBuiltYet[] = "not built yet";
}

bool CFatDiskBuilder::BuildDisk() {
    m_errorText = kNotBuiltYet;
    return false;
}

bool CFatDiskBuilder::VerifyDisk() {
    m_errorText = kNotBuiltYet;
    return false;
}

bool CFatDiskBuilder::WriteSectors(const std::uint8_t*, std::uint32_t, std::uint32_t) {
    m_errorText = kNotBuiltYet;
    return false;
}

bool CFatDiskBuilder::ReadSectors(std::uint8_t*, std::uint32_t, std::uint32_t) {
    m_errorText = kNotBuiltYet;
    return false;
}
