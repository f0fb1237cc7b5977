#include "winmodel/root_path.h"

#include <cctype>
#include <string_view>

#include "winmodel/model_errors.h"

namespace platform {

namespace {
constexpr unsigned char kFirstPrintable = 0x20;
// Characters no Windows file name may hold (the separators are checked first).
constexpr std::string_view kForbidden = "<>:\"|?*";
}  // namespace

std::uint32_t SplitRootPath(const char* path, RootPath* split) {
    if (path == nullptr) return kErrorPathNotFound;
    const std::string_view text(path);
    if (text.size() < 3 || !std::isalpha(static_cast<unsigned char>(text[0])) || text[1] != ':' ||
        text[2] != '\\') {
        return kErrorPathNotFound;
    }
    const std::string_view name = text.substr(3);
    if (name.empty() || name.find_first_of("\\/") != std::string_view::npos) return kErrorPathNotFound;
    if (name == "." || name == "..") return kErrorInvalidName;
    for (char character : name) {
        if (static_cast<unsigned char>(character) < kFirstPrintable ||
            kForbidden.find(character) != std::string_view::npos) {
            return kErrorInvalidName;
        }
    }
    split->letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    split->name = std::string(name);
    return 0;
}

}  // namespace platform
