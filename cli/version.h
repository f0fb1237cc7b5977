// The program's version, as the build names it.
#pragma once

#include <string_view>

namespace cli {
std::string_view ProgramVersion();
}
