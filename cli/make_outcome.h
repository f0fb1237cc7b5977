// Which phase of a make failed, from what the make showed: its log lines,
// its message boxes and the payload files the backend made whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

struct MakeRecord {
    bool ended = false;                // the dialog closed after the make
    bool confirmationAsked = false;
    bool confirmed = false;            // answered Yes
    std::vector<std::string> log;      // as the log list holds them
    std::vector<std::string> boxes;    // every message box text
    std::size_t filesWritten = 0;      // distinct payload files made whole
    std::size_t attributeFailures = 0;
};

struct MakeOutcome {
    int exitCode;
    std::string summary;  // one line for the operator
};

MakeOutcome JudgeMake(const MakeRecord& record);

}  // namespace cli
