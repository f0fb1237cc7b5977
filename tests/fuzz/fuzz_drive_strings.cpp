// The logical drive strings as the drive list reads them: any bytes in the
// buffer and any length the call claims.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/sim/sim_system.h"
#include "tests/fuzz/fuzz_input.h"
#include "ui/drive_roots.h"

namespace {

class ScriptedDriveStrings : public platform::SimSystem {
public:
    std::uint32_t GetLogicalDriveStringsA(std::uint32_t bufferLength, char* buffer) override {
        std::memset(buffer, garbage, bufferLength);
        if (!strings.empty()) {
            std::memcpy(buffer, strings.data(), std::min<std::size_t>(strings.size(), bufferLength));
        }
        return result;
    }
    std::vector<std::uint8_t> strings;
    std::uint32_t result = 0;
    char garbage = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScriptedDriveStrings* system = [] {
        auto* created = new ScriptedDriveStrings;
        platform::InstallSystemServices(created);
        return created;
    }();
    FuzzInput input(data, size);
    std::uint8_t claimed = input.Take<std::uint8_t>();
    system->result = claimed == 0xFF ? input.Take<std::uint32_t>() : claimed;
    system->garbage = static_cast<char>(input.Take<std::uint8_t>());
    system->strings = input.Rest();

    std::vector<std::string> roots = ReadDriveRoots();
    std::size_t characters = 0;
    for (const std::string& root : roots) {
        FUZZ_CHECK(!root.empty());
        characters += root.size() + 1;
        IsSelectableDrive(root);
    }
    FUZZ_CHECK(characters <= kDriveStringsBufferLength);
    return 0;
}
