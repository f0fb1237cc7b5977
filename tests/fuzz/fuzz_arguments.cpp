// The command line: the input cut at NUL bytes into arguments, parsed as
// makevorndisk parses its own; each piece also as a size.
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> arguments;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        arguments.emplace_back(text.data() + start, end - start);
        start = end + 1;
    }
    cli::ParseResult result = cli::ParseArguments(arguments);
    // A refusal always says why.
    FUZZ_CHECK(result.error.empty() || result.error.find_first_not_of(' ') != std::string::npos);
    for (std::string_view argument : arguments) cli::ParseSize(argument);
    return 0;
}
