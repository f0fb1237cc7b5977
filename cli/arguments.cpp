#include "cli/arguments.h"

#include <charconv>
#include <limits>

#include "fatdisk/on_disk_format.h"

namespace cli {

namespace {

constexpr std::string_view kUsage =
    "Usage: makevorndisk [--image FILE [--sectors N | --size SIZE]] [--yes]\n"
    "       makevorndisk --device /dev/sdX [--yes]\n"
    "       makevorndisk --list\n"
    "       makevorndisk --print-layout --sectors N [--mode 0|1|2]\n"
    "       makevorndisk --help | --version\n"
    "\n"
    "Makes a bootable DOS disk with the VORN tool: builds the FAT file system,\n"
    "reads it back, restarts the disk and copies the eight DOS files onto it.\n"
    "Every log line and message box of the make is printed.\n"
    "\n"
    "  --image FILE    make the disk in an image file (default: vorn.img in the\n"
    "                  current folder); a missing file is created sparse\n"
    "  --sectors N     the size of a new image in 512-byte sectors\n"
    "                  (default 3915776, a common 2 GB stick)\n"
    "  --size SIZE     the size of a new image: 2G, 1900M, 4GB, 3915776s, ...\n"
    "  --device PATH   make the disk on a real removable USB disk\n"
    "  --list          list the removable disks that may be written\n"
    "  --yes           answer the confirmation Yes; without it the question is\n"
    "                  asked on the terminal, and without a terminal it is No\n"
    "  --print-layout  print the disk geometry and FAT layout that a device of N\n"
    "                  sectors gets, one 'name: value' line each; writes nothing\n"
    "  --mode M        layout mode for --print-layout: 0 partition after the\n"
    "                  first track (what a make uses), 1 volume from sector 0,\n"
    "                  2 partition aligned to 8192 sectors\n"
    "  --help          print this text\n"
    "  --version       print the version\n"
    "\n"
    "Exit codes:\n"
    "   0  the make completed and all eight files were written\n"
    "   1  the program itself failed (the dialog did not run to its end)\n"
    "   2  bad arguments\n"
    "   3  the target cannot be used (image not created or opened, disk not\n"
    "      usable, disk list not readable)\n"
    "   4  the confirmation was answered No: nothing was written\n"
    "   5  reading the capacity failed, or the capacity cannot be used\n"
    "   6  building the file system failed\n"
    "   7  reading the file system back failed\n"
    "   8  the disk's device identity was not found\n"
    "   9  the disk did not come back after its restart\n"
    "  10  not all eight payload files were written\n"
    "  11  the drive came back without the new file system: no file was written\n";

enum class Option { kHelp, kVersion, kList, kPrintLayout, kImage, kDevice, kSectors, kSize, kMode, kYes };

struct KnownOption {
    std::string_view name;
    Option option;
    bool takesValue;
};

constexpr KnownOption kOptions[] = {
    {"--help", Option::kHelp, false},       {"--version", Option::kVersion, false},
    {"--list", Option::kList, false},       {"--print-layout", Option::kPrintLayout, false},
    {"--image", Option::kImage, true},      {"--device", Option::kDevice, true},
    {"--sectors", Option::kSectors, true},  {"--size", Option::kSize, true},
    {"--mode", Option::kMode, true},        {"--yes", Option::kYes, false},
};

const KnownOption* FindOption(std::string_view name) {
    for (const KnownOption& known : kOptions) {
        if (known.name == name) return &known;
    }
    return nullptr;
}

// A whole decimal number, digits only.
std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<std::uint32_t> ParseCount(std::string_view text) {
    const std::optional<std::uint64_t> value = ParseNumber(text);
    if (!value || *value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

struct SizeSuffix {
    std::string_view text;
    std::uint64_t bytes;  // 0: the number counts sectors
};
constexpr std::uint64_t kKi = 1024;
constexpr SizeSuffix kSizeSuffixes[] = {
    {"KiB", kKi}, {"MiB", kKi * kKi}, {"GiB", kKi * kKi * kKi}, {"TiB", kKi * kKi * kKi * kKi},
    {"KB", 1000}, {"MB", 1000000},    {"GB", 1000000000},       {"TB", 1000000000000},
    {"K", kKi},   {"M", kKi * kKi},   {"G", kKi * kKi * kKi},   {"T", kKi * kKi * kKi * kKi},
    {"s", 0},     {"", 1},
};

void SetAction(ParseResult& result, Action action, std::string_view name, bool& actionGiven) {
    if (actionGiven && result.commandLine.action != action) {
        result.error = "makevorndisk: " + std::string(name) + " cannot be combined with another action";
        return;
    }
    actionGiven = true;
    result.commandLine.action = action;
}

}  // namespace

std::optional<std::uint32_t> ParseSize(std::string_view text) {
    for (const SizeSuffix& suffix : kSizeSuffixes) {
        if (text.size() <= suffix.text.size() || !text.ends_with(suffix.text)) continue;
        const std::optional<std::uint64_t> number = ParseNumber(text.substr(0, text.size() - suffix.text.size()));
        if (!number) return std::nullopt;
        std::uint64_t sectors = *number;
        if (suffix.bytes != 0) {
            if (*number > std::numeric_limits<std::uint64_t>::max() / suffix.bytes) return std::nullopt;
            const std::uint64_t bytes = *number * suffix.bytes;
            if (bytes % fatdisk::kSectorSize != 0) return std::nullopt;
            sectors = bytes / fatdisk::kSectorSize;
        }
        if (sectors > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
        return static_cast<std::uint32_t>(sectors);
    }
    return std::nullopt;
}

ParseResult ParseArguments(std::span<const std::string_view> arguments) {
    ParseResult result;
    bool actionGiven = false;
    bool sizeGiven = false;
    bool modeGiven = false;
    for (std::size_t i = 0; i < arguments.size() && result.error.empty(); ++i) {
        std::string_view name = arguments[i];
        std::optional<std::string_view> value;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const KnownOption* known = FindOption(name);
        if (known == nullptr) {
            result.error = "makevorndisk: unknown argument '" + std::string(arguments[i]) + "'";
            break;
        }
        if (known->takesValue && !value) {
            if (i + 1 == arguments.size()) {
                result.error = "makevorndisk: " + std::string(name) + " needs a value";
                break;
            }
            value = arguments[++i];
        } else if (!known->takesValue && value) {
            result.error = "makevorndisk: " + std::string(name) + " takes no value";
            break;
        }

        CommandLine& line = result.commandLine;
        switch (known->option) {
        case Option::kHelp:
            SetAction(result, Action::kHelp, name, actionGiven);
            break;
        case Option::kVersion:
            SetAction(result, Action::kVersion, name, actionGiven);
            break;
        case Option::kList:
            SetAction(result, Action::kList, name, actionGiven);
            break;
        case Option::kPrintLayout:
            SetAction(result, Action::kPrintLayout, name, actionGiven);
            break;
        case Option::kImage:
            if (value->empty()) result.error = "makevorndisk: --image needs a file name";
            line.image = std::string(*value);
            break;
        case Option::kDevice:
            if (value->empty()) result.error = "makevorndisk: --device needs a device path such as /dev/sdb";
            line.device = std::string(*value);
            break;
        case Option::kSectors:
        case Option::kSize:
            if (sizeGiven) {
                result.error = "makevorndisk: give the size once, with --sectors or --size";
                break;
            }
            sizeGiven = true;
            line.sectors = known->option == Option::kSectors ? ParseCount(*value) : ParseSize(*value);
            if (!line.sectors) {
                result.error = known->option == Option::kSectors
                                   ? "makevorndisk: --sectors needs a whole number from 0 to 4294967295, not '" +
                                         std::string(*value) + "'"
                                   : "makevorndisk: --size needs a size such as 2G, 1900M or 3915776s that is a "
                                     "whole number of 512-byte sectors (at most 4294967295 of them), not '" +
                                         std::string(*value) + "'";
            }
            break;
        case Option::kMode:
            modeGiven = true;
            if (*value == "0" || *value == "1" || *value == "2") {
                line.layoutMode = (*value)[0] - '0';
            } else {
                result.error = "makevorndisk: --mode must be 0, 1 or 2, not '" + std::string(*value) + "'";
            }
            break;
        case Option::kYes:
            line.yes = true;
            break;
        }
    }
    if (!result.error.empty()) return result;

    const CommandLine& line = result.commandLine;
    const bool make = line.action == Action::kMake;
    if (line.action == Action::kPrintLayout && !line.sectors) {
        result.error = "makevorndisk: --print-layout needs --sectors N";
    } else if (line.image && line.device) {
        result.error = "makevorndisk: --image and --device name two targets; give one";
    } else if ((line.image || line.device || line.yes) && !make) {
        result.error = "makevorndisk: --image, --device and --yes belong to a make, not to another action";
    } else if (line.sectors && !make && line.action != Action::kPrintLayout) {
        result.error = "makevorndisk: --sectors and --size belong to a make or --print-layout";
    } else if (line.sectors && line.device) {
        result.error = "makevorndisk: --sectors and --size set the size of an image; a device has its own";
    } else if (modeGiven && line.action != Action::kPrintLayout) {
        result.error = "makevorndisk: --mode belongs to --print-layout; a make always uses mode 0";
    }
    return result;
}

std::string_view UsageText() { return kUsage; }

}  // namespace cli
