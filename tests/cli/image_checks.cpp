#include "tests/cli/image_checks.h"

#include <cstdlib>
#include <fstream>

#include "payload/payload_table.h"
#include "tests/qemu/child_process.h"

namespace cli_test {

namespace fs = std::filesystem;

namespace {
constexpr std::streamoff kFirstPartitionStart = 0x1C6;  // the MBR's first entry: its start LBA, little-endian
constexpr std::uint64_t kSectorBytes = 512;
}  // namespace

std::uint64_t VolumeOffset(const fs::path& image) {
    std::ifstream file(image, std::ios::binary);
    unsigned char start[4] = {};
    file.seekg(kFirstPartitionStart);
    file.read(reinterpret_cast<char*>(start), sizeof start);
    return (std::uint64_t{start[0]} | std::uint64_t{start[1]} << 8 | std::uint64_t{start[2]} << 16 |
            std::uint64_t{start[3]} << 24) *
           kSectorBytes;
}

std::string RootListing(const fs::path& image) {
    setenv("MTOOLS_SKIP_CHECK", "1", 1);
    // A link without the image's own name, which mtools could split at "@@".
    const fs::path link = image.parent_path() / "listed.img";
    fs::remove(link);
    fs::create_hard_link(image, link);
    const std::string volume = link.string() + "@@" + std::to_string(VolumeOffset(image));
    const qemu_test::ProgramResult listing = qemu_test::RunProgram({"mdir", "-b", "-a", "-i", volume, "::"});
    fs::remove(link);
    return listing.output;
}

std::string EightFilesListing() {
    std::string expected;
    // "%c:\\COMMAND.COM": the name follows the drive's root.
    for (const PayloadFile& file : kPayloadFiles) expected += std::string("::/") + (file.pathFormat + 4) + "\n";
    return expected;
}

}  // namespace cli_test
