// The whole make through the Linux backend: a sparse image file attached as
// removable drive E:, the program run headless with the operator answering
// Yes, and the result read back with the independent FAT tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host_test {

struct MadeImage {
    std::vector<std::string> log;    // the log lines at the end
    std::vector<std::string> boxes;  // every message box, the confirmation first
    std::uint32_t partitionStart = 0;
    std::uint32_t partitionSectors = 0;
    std::uint32_t headSectors = 0;  // reserved area, both FATs and the root area
    std::size_t openHandlesAtEnd = 0;
};

// Creates a sparse image of that many sectors at path and makes it.
// Check testing::Test::HasFatalFailure() afterwards.
MadeImage MakeImage(const std::string& path, std::uint32_t sectors);

struct ToolRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};
ToolRun RunTool(const std::vector<std::string>& argv);

}  // namespace host_test
