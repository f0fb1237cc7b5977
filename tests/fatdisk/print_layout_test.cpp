// The command line's layout dry run: its argument checks and its lines.
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/print_layout.h"

namespace {

cli::ParseResult Parse(std::vector<std::string_view> arguments) { return cli::ParseArguments(arguments); }

TEST(PrintLayout, PrintsOneLinePerValue) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::PrintLayout(3915776, 0, out, err), 0);
    EXPECT_EQ(out.str(),
              "type: FAT16\n"
              "heads: 16\n"
              "sectors_per_track: 63\n"
              "cylinders: 3884\n"
              "sectors_per_cluster: 64\n"
              "sectors_per_fat: 239\n"
              "reserved_sectors: 6\n"
              "root_dir_sectors: 32\n"
              "partition_start: 63\n"
              "partition_sectors: 3915713\n"
              "data_start: 516\n"
              "first_data_sector: 579\n"
              "clusters: 61174\n"
              "partition_type: 0x04\n");
    EXPECT_EQ(err.str(), "");
}

TEST(PrintLayout, UsesTheGivenMode) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::PrintLayout(7831552, 2, out, err), 0);
    EXPECT_NE(out.str().find("type: FAT32\n"), std::string::npos);
    EXPECT_NE(out.str().find("partition_start: 8184\n"), std::string::npos);
    EXPECT_NE(out.str().find("partition_type: 0x0C\n"), std::string::npos);
}

TEST(PrintLayout, ReportsARefusedCapacityOnTheErrorStream) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::PrintLayout(8400, 0, out, err), 2);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "makevorndisk: Capacity Too Small\n");
}

TEST(Arguments, AcceptTheDryRunInBothValueForms) {
    for (const auto& arguments :
         {std::vector<std::string_view>{"--print-layout", "--sectors", "4194305", "--mode", "1"},
          std::vector<std::string_view>{"--mode=1", "--sectors=4194305", "--print-layout"}}) {
        const cli::ParseResult result = Parse(arguments);
        EXPECT_EQ(result.error, "");
        EXPECT_EQ(result.commandLine.action, cli::Action::kPrintLayout);
        EXPECT_EQ(result.commandLine.sectors, 4194305u);
        EXPECT_EQ(result.commandLine.layoutMode, 1);
    }
    EXPECT_EQ(Parse({"--print-layout", "--sectors", "4294967295"}).commandLine.sectors, 4294967295u);
    EXPECT_EQ(Parse({"--print-layout", "--sectors", "100000"}).commandLine.layoutMode, 0);
    EXPECT_EQ(Parse({"--help"}).commandLine.action, cli::Action::kHelp);
}

struct BadArguments {
    std::vector<std::string_view> arguments;
    std::string error;
};

std::ostream& operator<<(std::ostream& out, const BadArguments& c) {
    for (std::string_view argument : c.arguments) out << argument << ' ';
    return out;
}

class RejectedArguments : public testing::TestWithParam<BadArguments> {};

TEST_P(RejectedArguments, NameTheProblem) { EXPECT_EQ(Parse(GetParam().arguments).error, GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RejectedArguments,
    testing::Values(
        BadArguments{{"--print-layout"}, "makevorndisk: --print-layout needs --sectors N"},
        BadArguments{{"--print-layout", "--sectors"}, "makevorndisk: --sectors needs a value"},
        BadArguments{{"--print-layout", "--sectors", "12ab"},
                     "makevorndisk: --sectors needs a whole number of sectors up to 4294967295: '12ab' is no number"},
        BadArguments{{"--print-layout", "--sectors", "-5"},
                     "makevorndisk: --sectors needs a whole number of sectors up to 4294967295: '-5' is no number"},
        BadArguments{{"--print-layout", "--sectors", "4294967296"},
                     "makevorndisk: --sectors needs a whole number of sectors up to 4294967295: '4294967296' is more "
                     "than 4294967295 sectors (2 TiB), the most a disk can have"},
        BadArguments{{"--print-layout", "--sectors", "9000", "--mode", "3"},
                     "makevorndisk: --mode must be 0, 1 or 2, not '3'"},
        BadArguments{{"--print-layout", "--sectors", "9000", "--mode", "01"},
                     "makevorndisk: --mode must be 0, 1 or 2, not '01'"},
        BadArguments{{"--print-layout=yes"}, "makevorndisk: --print-layout takes no value"},
        BadArguments{{"--print-layout", "--sectors", "9000", "extra"}, "makevorndisk: unknown argument 'extra'"},
        BadArguments{{"--help", "--print-layout", "--sectors", "9000"},
                     "makevorndisk: --print-layout cannot be combined with another action"}));

}  // namespace
