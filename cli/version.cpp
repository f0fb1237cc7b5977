#include "cli/version.h"

#ifndef VORN_VERSION
#error "VORN_VERSION: the program's version"
#endif

namespace cli {
std::string_view ProgramVersion() { return VORN_VERSION; }
}  // namespace cli
