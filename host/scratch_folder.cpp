#include "host/scratch_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform::host {

namespace {
constexpr const char* kFallbackFolder = "/tmp";
constexpr const char* kProbePrefix = "makevorndisk-check";
}  // namespace

std::string TemporaryFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? kFallbackFolder : folder.string();
}

std::string MakeScratchFolder(const std::string& prefix, std::string* error) {
    const std::string base = TemporaryFolder();
    std::string pattern = (std::filesystem::path(base) / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        *error = "no scratch folder can be made in " + base + ": " + std::strerror(errno) +
                 " (TMPDIR names the folder to use)";
        return {};
    }
    error->clear();
    return pattern;
}

std::string ScratchFolderProblem() {
    std::string error;
    const std::string folder = MakeScratchFolder(kProbePrefix, &error);
    if (folder.empty()) return error;
    ::rmdir(folder.c_str());
    return {};
}

}  // namespace platform::host
