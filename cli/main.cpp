// makevorndisk, the Linux command line.
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/print_layout.h"

namespace {
constexpr int kExitBadArguments = 2;
}

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const cli::ParseResult parsed = cli::ParseArguments(arguments);
    if (!parsed.error.empty()) {
        std::cerr << parsed.error << "\n\n" << cli::UsageText();
        return kExitBadArguments;
    }

    const cli::CommandLine& line = parsed.commandLine;
    switch (line.action) {
    case cli::Action::kHelp:
        std::cout << cli::UsageText();
        return 0;
    case cli::Action::kPrintLayout:
        return cli::PrintLayout(*line.sectors, line.layoutMode, std::cout, std::cerr);
    case cli::Action::kNone:
        break;
    }
    std::cerr << cli::UsageText();
    return kExitBadArguments;
}
