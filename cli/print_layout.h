// The dry run of the layout engine: the geometry and FAT layout of a device,
// one "name: value" line each, without touching any device.
#pragma once

#include <cstdint>
#include <ostream>

class CFatDiskBuilder;

namespace cli {

// Writes the lines of a builder whose Setup succeeded.
void WriteLayout(std::ostream& out, const CFatDiskBuilder& builder);

// Lays out a device of the given capacity in the given mode and writes its
// lines to out. A capacity the builder refuses writes its message to err.
// Returns the exit status: 0, or 2 for a refused capacity.
int PrintLayout(std::uint32_t sectors, std::int32_t layoutMode, std::ostream& out, std::ostream& err);

}  // namespace cli
