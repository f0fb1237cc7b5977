#include "host/mtools_volume.h"

#include <vector>

#include "host/run_program.h"

namespace platform::host {

namespace {
// mtools otherwise refuses volumes whose geometry it finds unusual.
const std::vector<std::string> kMtoolsEnvironment = {"MTOOLS_SKIP_CHECK=1"};
const char* const kTools[] = {"mcopy", "mattrib"};

struct AttributeFlag {
    std::uint32_t bit;
    char letter;
};
constexpr AttributeFlag kAttributeFlags[] = {{0x01, 'r'}, {0x02, 'h'}, {0x04, 's'}, {0x20, 'a'}};
}  // namespace

MtoolsVolume::MtoolsVolume(int imageDescriptor, std::uint64_t byteOffset)
    : imageDescriptor_(imageDescriptor), byteOffset_(byteOffset) {}

std::string MtoolsVolume::MissingTools() {
    std::string missing;
    for (const char* tool : kTools) {
        if (FindInPath(tool).empty()) missing += (missing.empty() ? "" : ", ") + std::string(tool);
    }
    return missing;
}

std::string MtoolsVolume::Run(const std::string& tool, const std::string& what,
                              std::initializer_list<std::string> tail) const {
    const std::string image = "/dev/fd/" + std::to_string(kPassedDescriptor) + "@@" + std::to_string(byteOffset_);
    std::vector<std::string> argv = {tool, "-i", image};
    argv.insert(argv.end(), tail.begin(), tail.end());
    ProgramOptions options;
    options.extraEnvironment = kMtoolsEnvironment;
    options.passedDescriptor = imageDescriptor_;
    options.timeLimit = kToolTimeLimit;
    const ProgramRun run = RunProgram(argv, options);
    if (!run.started) return tool + " could not be run (is mtools installed?): " + run.errors;
    if (run.exitCode != 0) return tool + " failed to " + what + ": " + run.errors;
    return {};
}

std::string MtoolsVolume::Copy(const std::string& hostPath, const std::string& name) const {
    // -o: replace an existing file of the name without asking.
    return Run("mcopy", "copy " + name, {"-o", hostPath, "::" + name});
}

std::string MtoolsVolume::SetAttributes(const std::string& name, std::uint32_t attributes) const {
    std::vector<std::string> flags;
    for (const AttributeFlag& flag : kAttributeFlags) {
        flags.push_back(std::string((attributes & flag.bit) != 0 ? "+" : "-") + flag.letter);
    }
    return Run("mattrib", "set the attributes of " + name,
               {flags[0], flags[1], flags[2], flags[3], "::" + name});
}

}  // namespace platform::host
