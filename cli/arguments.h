// The command line of makevorndisk: what to do and with which values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

enum class Action {
    kNone,         // no action option given
    kHelp,         // --help
    kPrintLayout,  // --print-layout: the layout of a device of --sectors sectors
};

struct CommandLine {
    Action action = Action::kNone;
    std::optional<std::uint32_t> sectors;  // --sectors N
    std::int32_t layoutMode = 0;           // --mode M, the mode the tool itself uses by default
};

struct ParseResult {
    CommandLine commandLine;
    std::string error;  // empty when the arguments are valid
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after '=' (--sectors 20000, --sectors=20000).
ParseResult ParseArguments(std::span<const std::string_view> arguments);

// The usage text, ending in a newline.
std::string_view UsageText();

}  // namespace cli
