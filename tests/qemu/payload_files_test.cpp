// The payload list that the program, its resources and the other tests
// are made from, written out once here; and the built payload files: the
// kinds a DOS boot needs (MZ executables, IO.SYS's loader marks,
// MSDOS.SYS's comment text, ISP.BAT's exact line), and for our stand-ins
// that each says what it is.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "payload/payload_table.h"
#include "tests/payload_expectations.h"

#ifndef VORN_PAYLOAD_DIR
#error "VORN_PAYLOAD_DIR: the folder of the built payload files"
#endif
#ifndef VORN_PAYLOAD_STANDINS
#error "VORN_PAYLOAD_STANDINS: 1 for our own stand-ins"
#endif

namespace {

// MZ header fields.
constexpr std::size_t kMzBytesInLastPage = 2;
constexpr std::size_t kMzPages = 4;
constexpr std::size_t kMzHeaderParagraphs = 8;
constexpr std::size_t kMzEntryIp = 20;
constexpr std::size_t kMzEntryCs = 22;
constexpr std::size_t kMzPageSize = 512;
constexpr std::size_t kParagraph = 16;

// IO.SYS as the boot code loads it: four sectors, "BJ" at 512.
constexpr std::size_t kLoaderMarkOffset = 512;
constexpr std::size_t kLoadedBytes = 4 * 512;

constexpr std::size_t kMsdosSysMinimum = 1024;
constexpr int kMsdosSysLines = 16;

std::string ReadPayload(const std::string& name) {
    std::ifstream file(std::string(VORN_PAYLOAD_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

unsigned Le16(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

struct PayloadRow {
    std::string name, type, typeName;
    unsigned id;
    std::array<std::uint32_t, 2> steps;
    std::uint32_t attributes;
    bool operator==(const PayloadRow&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PayloadRow& row) {
    return out << row.name << " " << row.type << "/" << row.typeName << " " << row.id << " steps " << row.steps[0]
               << "," << row.steps[1] << " ends 0x" << std::hex << row.attributes << std::dec;
}

// Install order, resource type and id, the type name the worker passes, and
// the attributes each file ends with (read-only 1, hidden 2, system 4,
// archive 0x20 for a file left as created); the DOS system files take
// hidden and system first, then read-only too.
TEST(PayloadList, IsTheEightFilesInInstallOrderWithTheirResourcesAndAttributes) {
    const std::vector<PayloadRow> expected = {
        {"COMMAND.COM", "BOOT", "Boot", 132, {6, 0}, 0x06}, {"IO.SYS", "BOOT", "Boot", 130, {6, 7}, 0x07},
        {"MSDOS.SYS", "BOOT", "Boot", 131, {6, 7}, 0x07},   {"VORN.exe", "AP", "AP", 129, {0, 0}, 0x20},
        {"CWSDPMI.EXE", "DPMI", "DPMI", 137, {3, 0}, 0x03}, {"CWSDPR0.EXE", "DPMI", "DPMI", 138, {3, 0}, 0x03},
        {"CWSPARAM.EXE", "DPMI", "DPMI", 136, {3, 0}, 0x03}, {"ISP.BAT", "AP", "AP", 139, {0, 0}, 0x20},
    };
    std::vector<PayloadRow> listed;
    for (const PayloadFile& file : kPayloadFiles) {
        listed.push_back({file.name, file.type, file.typeName, file.id, file.attributeSteps,
                          payload_expectations::FinalAttributes(file)});
        EXPECT_EQ(std::string(file.pathFormat), std::string("%c:\\") + file.name);
    }
    EXPECT_EQ(listed, expected);
}

TEST(PayloadList, EveryFileWasBuilt) {
    for (const PayloadFile& file : kPayloadFiles) {
        std::ifstream built(std::string(VORN_PAYLOAD_DIR) + "/" + file.name, std::ios::binary);
        EXPECT_TRUE(built.good()) << file.name;
    }
}

class MzExecutable : public testing::TestWithParam<const char*> {};

TEST_P(MzExecutable, HeaderDescribesTheFile) {
    const std::string file = ReadPayload(GetParam());
    ASSERT_GE(file.size(), 32u) << GetParam() << " is missing or too short";
    EXPECT_EQ(file.substr(0, 2), "MZ");
    const std::size_t pages = Le16(file, kMzPages);
    const std::size_t lastPage = Le16(file, kMzBytesInLastPage);
    const std::size_t described = (lastPage == 0 ? pages : pages - 1) * kMzPageSize + lastPage;
    EXPECT_EQ(described, file.size()) << "the header's pages do not add up to the file";
    const std::size_t header = Le16(file, kMzHeaderParagraphs) * kParagraph;
    EXPECT_LT(header, file.size());
    EXPECT_LT(header + Le16(file, kMzEntryCs) * kParagraph + Le16(file, kMzEntryIp), file.size())
        << "the entry point lies outside the load module";
}

TEST_P(MzExecutable, StandInSaysWhatItIs) {
    if (!VORN_PAYLOAD_STANDINS) GTEST_SKIP() << "the operator's own files";
    const std::string file = ReadPayload(GetParam());
    EXPECT_NE(file.find(std::string(GetParam()) + ": a stand-in"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Payload, MzExecutable,
                         testing::Values("COMMAND.COM", "IO.SYS", "VORN.exe", "CWSDPMI.EXE", "CWSDPR0.EXE",
                                         "CWSPARAM.EXE"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             for (char& c : name) {
                                 if (c == '.') c = '_';
                             }
                             return name;
                         });

TEST(IoSys, CarriesTheLoaderMarksInTheSectorsTheBootCodeLoads) {
    const std::string file = ReadPayload("IO.SYS");
    ASSERT_GT(file.size(), kLoaderMarkOffset + 2);
    EXPECT_EQ(file.substr(kLoaderMarkOffset, 2), "BJ");
    if (VORN_PAYLOAD_STANDINS) {
        // The stand-in's checks must all lie in what the boot code loads.
        EXPECT_EQ(file.size(), kLoadedBytes);
    }
}

TEST(MsdosSys, IsSixteenCommentLinesOverTheMinimumSize) {
    const std::string file = ReadPayload("MSDOS.SYS");
    EXPECT_GT(file.size(), kMsdosSysMinimum);
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < file.size()) {
        const std::size_t end = file.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "a line without CR LF at byte " << start;
        lines.push_back(file.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kMsdosSysLines));
    EXPECT_EQ(lines[0], ";");
    for (const std::string& line : lines) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line[0], ';') << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << "a bare line feed";
    }
}

TEST(IspBat, IsExactlyTheToolsCommandLineWithoutLineEnd) { EXPECT_EQ(ReadPayload("ISP.BAT"), "VORN -f"); }

}  // namespace
