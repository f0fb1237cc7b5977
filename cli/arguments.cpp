#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

#include "fatdisk/on_disk_format.h"

namespace cli {

namespace {

constexpr std::string_view kUsage =
    "Usage: makevorndisk [--image FILE [--sectors N | --size SIZE] [--force]] [--yes]\n"
    "       makevorndisk --device /dev/sdX [--yes]\n"
    "       makevorndisk --list\n"
    "       makevorndisk --print-layout --sectors N [--mode 0|1|2]\n"
    "       makevorndisk -h | --help | -V | --version\n"
    "\n"
    "Makes a bootable DOS disk with the VORN tool: builds the FAT file system,\n"
    "reads it back, restarts the disk and copies the eight DOS files onto it.\n"
    "Every log line and message box of the make is printed on standard output;\n"
    "the question and the progress line go to the terminal (standard error).\n"
    "\n"
    "  --image FILE    make the disk in an image file (default: vorn.img in the\n"
    "                  current folder); a missing file is created sparse; an\n"
    "                  existing file must be empty or hold a disk image\n"
    "  --sectors N     the size of a new image in 512-byte sectors\n"
    "                  (default 3915776, a common 2 GB stick)\n"
    "  --size SIZE     the size of a new image: a bare number is bytes; K, M, G,\n"
    "                  T (or KiB, MiB, GiB, TiB) are powers of 1024, KB, MB, GB,\n"
    "                  TB powers of 1000, s is sectors; in either case: 2G,\n"
    "                  1900M, 4GB, 3915776s. A disk has 8401 sectors (4.1 MiB)\n"
    "                  at least and 4294967295 (2 TiB) at most\n"
    "  --force         overwrite an existing file that holds no disk image\n"
    "  --device PATH   make the disk on a real removable USB disk\n"
    "  --list          list the removable disks that may be written, and those\n"
    "                  left out with the reason\n"
    "  --yes           answer the confirmation Yes; without it the question is\n"
    "                  asked on the terminal, and without a terminal it is No\n"
    "  --print-layout  print the disk geometry and FAT layout that a device of N\n"
    "                  sectors gets, one 'name: value' line each; writes nothing\n"
    "  --mode M        layout mode for --print-layout: 0 partition after the\n"
    "                  first track (what a make uses), 1 volume from sector 0,\n"
    "                  2 partition aligned to 8192 sectors\n"
    "  -h, --help      print this text\n"
    "  -V, --version   print the version\n"
    "\n"
    "An interrupt (Ctrl-C, SIGTERM, SIGHUP, a closed output pipe) stops the make\n"
    "at its next safe point and cleans up: no mount, scratch folder or helper\n"
    "program is left, and a new image that was not finished is removed; at the\n"
    "question it is a No. A second interrupt stops at once.\n"
    "\n"
    "Exit codes:\n"
    "   0  the make completed and all eight files were written\n"
    "   1  the program itself failed (the dialog did not run to its end)\n"
    "   2  bad arguments\n"
    "   3  the target cannot be used (image not created or opened, disk not\n"
    "      usable, disk list not readable, mtools or a scratch folder missing)\n"
    "   4  the confirmation was answered No: nothing was written\n"
    "   5  reading the capacity failed, or the capacity cannot be used\n"
    "   6  building the file system failed\n"
    "   7  reading the file system back failed\n"
    "   8  the disk's device identity was not found\n"
    "   9  the disk did not come back after its restart\n"
    "  10  not all eight payload files were written\n"
    "  11  the drive came back without the new file system: no file was written\n"
    " 128+N  interrupted by signal N (129 SIGHUP, 130 SIGINT, 141 SIGPIPE,\n"
    "      143 SIGTERM)\n";

enum class Option { kHelp, kVersion, kList, kPrintLayout, kImage, kDevice, kSectors, kSize, kMode, kYes, kForce };

struct KnownOption {
    std::string_view name;
    Option option;
    bool takesValue;
};

constexpr KnownOption kOptions[] = {
    {"--help", Option::kHelp, false},       {"--version", Option::kVersion, false},
    {"-h", Option::kHelp, false},           {"-V", Option::kVersion, false},
    {"--force", Option::kForce, false},
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
    std::string_view text;  // lower case; matched in either case
    std::uint64_t bytes;    // 0: the number counts sectors
};
constexpr std::uint64_t kKi = 1024;
constexpr SizeSuffix kSizeSuffixes[] = {
    {"kib", kKi}, {"mib", kKi * kKi}, {"gib", kKi * kKi * kKi}, {"tib", kKi * kKi * kKi * kKi},
    {"kb", 1000}, {"mb", 1000000},    {"gb", 1000000000},       {"tb", 1000000000000},
    {"k", kKi},   {"m", kKi * kKi},   {"g", kKi * kKi * kKi},   {"t", kKi * kKi * kKi * kKi},
    {"s", 0},     {"", 1},
};

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string TooLarge() {
    return "is more than " + std::to_string(kLargestDiskSectors) + " sectors (2 TiB), the most a disk can have";
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void SetAction(ParseResult& result, Action action, std::string_view name, bool& actionGiven) {
    if (actionGiven && result.commandLine.action != action) {
        result.error = "makevorndisk: " + std::string(name) + " cannot be combined with another action";
        return;
    }
    actionGiven = true;
    result.commandLine.action = action;
}

}  // namespace

SizeValue ReadSize(std::string_view text) {
    const std::string lower = Lower(text);
    for (const SizeSuffix& suffix : kSizeSuffixes) {
        if (lower.size() <= suffix.text.size() || !lower.ends_with(suffix.text)) continue;
        const std::string_view digits = text.substr(0, text.size() - suffix.text.size());
        const std::optional<std::uint64_t> number = ParseNumber(digits);
        if (!number) {
            return {std::nullopt, AllDigits(digits) ? TooLarge() : "is no size"};
        }
        std::uint64_t sectors = *number;
        if (suffix.bytes != 0) {
            if (*number > std::numeric_limits<std::uint64_t>::max() / suffix.bytes) return {std::nullopt, TooLarge()};
            const std::uint64_t bytes = *number * suffix.bytes;
            if (bytes % fatdisk::kSectorSize != 0) {
                return {std::nullopt, "is " + std::to_string(bytes) + " bytes, not a whole number of 512-byte sectors" +
                                          (suffix.text.empty() ? " (a bare number counts bytes)" : "")};
            }
            sectors = bytes / fatdisk::kSectorSize;
        }
        if (sectors > kLargestDiskSectors) return {std::nullopt, TooLarge()};
        return {static_cast<std::uint32_t>(sectors), {}};
    }
    return {std::nullopt, "is no size"};
}

ParseResult ParseArguments(std::span<const std::string_view> arguments) {
    ParseResult result;
    bool actionGiven = false;
    bool sizeGiven = false;
    bool modeGiven = false;
    const auto once = [&result](bool given, std::string_view name) {
        if (given) result.error = "makevorndisk: " + std::string(name) + " is given twice; name one target";
        return result.error.empty();
    };
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
            if (!once(line.image.has_value(), name)) break;
            if (value->empty()) result.error = "makevorndisk: --image needs a file name";
            line.image = std::string(*value);
            break;
        case Option::kDevice:
            if (!once(line.device.has_value(), name)) break;
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
            if (known->option == Option::kSectors) {
                line.sectors = ParseCount(*value);
                if (!line.sectors) {
                    result.error = "makevorndisk: --sectors needs a whole number of sectors up to " +
                                   std::to_string(kLargestDiskSectors) + ": '" + std::string(*value) + "' " +
                                   (AllDigits(*value) ? TooLarge() : "is no number");
                }
            } else {
                const SizeValue size = ReadSize(*value);
                line.sectors = size.sectors;
                if (!line.sectors) {
                    result.error = "makevorndisk: --size needs a size such as 2G, 1900M or 3915776s: '" +
                                   std::string(*value) + "' " + size.problem;
                }
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
        case Option::kForce:
            line.force = true;
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
    } else if (line.force && !make) {
        result.error = "makevorndisk: --force belongs to a make on an image file";
    } else if (line.force && line.device) {
        result.error = "makevorndisk: --force belongs to --image; a device is checked, never forced";
    } else if (line.sectors && line.device) {
        result.error = "makevorndisk: --sectors and --size set the size of an image; a device has its own";
    } else if (modeGiven && line.action != Action::kPrintLayout) {
        result.error = "makevorndisk: --mode belongs to --print-layout; a make always uses mode 0";
    }
    return result;
}

std::string_view UsageText() { return kUsage; }

}  // namespace cli
