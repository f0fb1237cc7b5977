#include "cli/arguments.h"

#include <charconv>

namespace cli {

namespace {

constexpr std::string_view kUsage =
    "Usage: makevorndisk --print-layout --sectors N [--mode 0|1|2]\n"
    "       makevorndisk --help\n"
    "\n"
    "  --print-layout  print the disk geometry and FAT layout that a device of N\n"
    "                  sectors gets, one 'name: value' line each; writes nothing\n"
    "  --sectors N     the device's capacity in 512-byte sectors\n"
    "  --mode M        layout mode: 0 partition after the first track (default),\n"
    "                  1 volume from sector 0, 2 partition aligned to 8192 sectors\n"
    "  --help          print this text\n";

enum class Option { kHelp, kPrintLayout, kSectors, kMode };

struct KnownOption {
    std::string_view name;
    Option option;
    bool takesValue;
};

constexpr KnownOption kOptions[] = {
    {"--help", Option::kHelp, false},
    {"--print-layout", Option::kPrintLayout, false},
    {"--sectors", Option::kSectors, true},
    {"--mode", Option::kMode, true},
};

const KnownOption* FindOption(std::string_view name) {
    for (const KnownOption& known : kOptions) {
        if (known.name == name) return &known;
    }
    return nullptr;
}

// A whole decimal number that fits in 32 bits, digits only.
std::optional<std::uint32_t> ParseCount(std::string_view text) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

void SetAction(ParseResult& result, Action action, std::string_view name) {
    if (result.commandLine.action != Action::kNone && result.commandLine.action != action) {
        result.error = "makevorndisk: " + std::string(name) + " cannot be combined with another action";
        return;
    }
    result.commandLine.action = action;
}

}  // namespace

ParseResult ParseArguments(std::span<const std::string_view> arguments) {
    ParseResult result;
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

        switch (known->option) {
        case Option::kHelp:
            SetAction(result, Action::kHelp, name);
            break;
        case Option::kPrintLayout:
            SetAction(result, Action::kPrintLayout, name);
            break;
        case Option::kSectors:
            result.commandLine.sectors = ParseCount(*value);
            if (!result.commandLine.sectors) {
                result.error = "makevorndisk: --sectors needs a whole number from 0 to 4294967295, not '" +
                               std::string(*value) + "'";
            }
            break;
        case Option::kMode:
            if (*value == "0" || *value == "1" || *value == "2") {
                result.commandLine.layoutMode = (*value)[0] - '0';
            } else {
                result.error = "makevorndisk: --mode must be 0, 1 or 2, not '" + std::string(*value) + "'";
            }
            break;
        }
    }
    if (!result.error.empty()) return result;

    const CommandLine& line = result.commandLine;
    if (line.action == Action::kNone) {
        result.error = "makevorndisk: nothing to do (give --print-layout or --help)";
    } else if (line.action == Action::kPrintLayout && !line.sectors) {
        result.error = "makevorndisk: --print-layout needs --sectors N";
    }
    return result;
}

std::string_view UsageText() { return kUsage; }

}  // namespace cli
