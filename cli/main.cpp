// makevorndisk, the Linux command line.
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/make_command.h"
#include "cli/print_layout.h"
#include "cli/version.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const cli::ParseResult parsed = cli::ParseArguments(arguments);
    if (!parsed.error.empty()) {
        std::cerr << parsed.error << "\n(makevorndisk --help shows the usage)\n";
        return cli::kExitBadArguments;
    }

    const cli::CommandLine& line = parsed.commandLine;
    switch (line.action) {
    case cli::Action::kHelp:
        std::cout << cli::UsageText();
        return cli::kExitMade;
    case cli::Action::kVersion:
        std::cout << "makevorndisk " << cli::ProgramVersion() << "\n";
        return cli::kExitMade;
    case cli::Action::kPrintLayout:
        return cli::PrintLayout(*line.sectors, line.layoutMode, std::cout, std::cerr);
    case cli::Action::kList:
        return cli::ListDisks(std::cout, std::cerr);
    case cli::Action::kMake:
        break;
    }
    return cli::RunMake(line, std::cout, std::cerr);
}
