// The command line of makevorndisk: what to do and with which values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

enum class Action {
    kMake,         // the default: make a VORN disk on the target
    kHelp,         // --help
    kVersion,      // --version
    kList,         // --list: the removable disks that may be written
    kPrintLayout,  // --print-layout: the layout of a device of --sectors sectors
};

// The image a make writes when no target is named: a common 2 GB stick.
inline constexpr const char* kDefaultImage = "vorn.img";
inline constexpr std::uint32_t kDefaultImageSectors = 3915776;

struct CommandLine {
    Action action = Action::kMake;
    std::optional<std::string> image;      // --image FILE
    std::optional<std::string> device;     // --device /dev/sdX
    std::optional<std::uint32_t> sectors;  // --sectors N, or --size SIZE in sectors
    std::int32_t layoutMode = 0;           // --mode M (--print-layout only)
    bool yes = false;                      // --yes: answer the confirmation Yes
    bool force = false;                    // --force: overwrite a file that holds no disk image
};

struct ParseResult {
    CommandLine commandLine;
    std::string error;  // empty when the arguments are valid
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after '=' (--sectors 20000, --sectors=20000).
ParseResult ParseArguments(std::span<const std::string_view> arguments);

// The most sectors a disk may have (32-bit sector numbers), and the fewest a
// make can lay out (the layout engine refuses one sector less).
inline constexpr std::uint32_t kLargestDiskSectors = 4294967295u;
inline constexpr std::uint32_t kSmallestDiskSectors = 8401;

struct SizeValue {
    std::optional<std::uint32_t> sectors;
    std::string problem;  // why there is none: "is not a whole number of 512-byte sectors", ...
};

// "2G", "1900M", "3915776s", "2004877312" (bytes) and the like, in 512-byte
// sectors, when the text is a whole number of sectors that fits in 32
// bits. Suffixes, in either case: K, M, G, T are powers of 1024, with an
// optional "iB"; KB, MB, GB, TB are powers of 1000; s is sectors; none is
// bytes.
SizeValue ReadSize(std::string_view text);
inline std::optional<std::uint32_t> ParseSize(std::string_view text) { return ReadSize(text).sectors; }

// The usage text, ending in a newline.
std::string_view UsageText();

}  // namespace cli
