// Which phase of a make failed, from what the dialog recorded of it and
// what the backend saw: the payload files it made whole.
#pragma once

#include <cstddef>
#include <string>

#include "ui/make_result.h"

namespace cli {

struct MakeRecord {
    bool ended = false;                // the dialog closed after the make
    bool confirmationAsked = false;
    bool confirmed = false;            // answered Yes
    MakePhase failedPhase = MakePhase::kNone;  // the dialog's record: the first phase that failed
    bool completed = false;            // the worker posted its completion line
    std::size_t filesWritten = 0;      // distinct payload files made whole
    std::size_t attributeFailures = 0;
};

struct MakeOutcome {
    int exitCode;
    std::string summary;  // one line for the operator
};

MakeOutcome JudgeMake(const MakeRecord& record);

}  // namespace cli
