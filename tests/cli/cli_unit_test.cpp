// The command line's own decisions: sizes, the arguments of a make, and
// the exit code a make ends with, from the phase the dialog recorded.
#include <gtest/gtest.h>

#include <ostream>

#include "cli/arguments.h"
#include "cli/exit_codes.h"
#include "cli/make_outcome.h"

namespace {

struct SizeCase {
    const char* text;
    std::optional<std::uint32_t> sectors;
};

class Sizes : public testing::TestWithParam<SizeCase> {};

TEST_P(Sizes, AreReadAsSectors) { EXPECT_EQ(cli::ParseSize(GetParam().text), GetParam().sectors); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Sizes,
    testing::Values(SizeCase{"2G", 4194304u}, SizeCase{"2GiB", 4194304u}, SizeCase{"1900M", 3891200u},
                    SizeCase{"4GB", 7812500u}, SizeCase{"3915776s", 3915776u}, SizeCase{"2004877312", 3915776u},
                    SizeCase{"512K", 1024u}, SizeCase{"2T", std::nullopt},
                    SizeCase{"1000", std::nullopt}, SizeCase{"1KB", std::nullopt}, SizeCase{"G", std::nullopt},
                    SizeCase{"-2G", std::nullopt}, SizeCase{"2g", std::nullopt}, SizeCase{"", std::nullopt},
                    SizeCase{"4294967295s", 4294967295u}, SizeCase{"4294967296s", std::nullopt},
                    SizeCase{"99999999999999999999G", std::nullopt}));

TEST(MakeArguments, DefaultToTheImageMakeAndTakeTheirValues) {
    std::vector<std::string_view> none;
    cli::ParseResult result = cli::ParseArguments(none);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.commandLine.action, cli::Action::kMake);
    EXPECT_FALSE(result.commandLine.image || result.commandLine.device || result.commandLine.sectors);
    EXPECT_FALSE(result.commandLine.yes);

    std::vector<std::string_view> image = {"--image=disk.img", "--size", "2G", "--yes"};
    result = cli::ParseArguments(image);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.commandLine.image, "disk.img");
    EXPECT_EQ(result.commandLine.sectors, 4194304u);
    EXPECT_TRUE(result.commandLine.yes);

    std::vector<std::string_view> device = {"--device", "/dev/sdb"};
    EXPECT_EQ(cli::ParseArguments(device).commandLine.device, "/dev/sdb");
    std::vector<std::string_view> list = {"--list"};
    EXPECT_EQ(cli::ParseArguments(list).commandLine.action, cli::Action::kList);
}

// A make that went well, as the judge sees it; each case spoils one part.
cli::MakeRecord GoodMake() {
    cli::MakeRecord record;
    record.ended = true;
    record.confirmationAsked = true;
    record.confirmed = true;
    record.completed = true;
    record.filesWritten = 8;
    return record;
}

struct JudgeCase {
    const char* name;
    void (*spoil)(cli::MakeRecord&);
    int exitCode;
};

std::ostream& operator<<(std::ostream& out, const JudgeCase& c) { return out << c.name; }

class Judge : public testing::TestWithParam<JudgeCase> {};

TEST_P(Judge, GivesThePhaseItsExitCode) {
    cli::MakeRecord record = GoodMake();
    GetParam().spoil(record);
    EXPECT_EQ(cli::JudgeMake(record).exitCode, GetParam().exitCode) << cli::JudgeMake(record).summary;
}

// A failed phase: the first half ends without the worker, the second half
// still posts its completion line after a payload file failed.
template <MakePhase phase, bool completed>
void FailedIn(cli::MakeRecord& record) {
    record.failedPhase = phase;
    record.completed = completed;
}

INSTANTIATE_TEST_SUITE_P(
    Phases, Judge,
    testing::Values(
        JudgeCase{"Completed", [](cli::MakeRecord&) {}, cli::kExitMade},
        JudgeCase{"DialogHung", [](cli::MakeRecord& r) { r.ended = false; }, cli::kExitProgramFailed},
        JudgeCase{"NeverAsked", [](cli::MakeRecord& r) { r.confirmationAsked = false; }, cli::kExitProgramFailed},
        JudgeCase{"AnsweredNo", [](cli::MakeRecord& r) { r.confirmed = false; }, cli::kExitDeclined},
        JudgeCase{"Capacity", FailedIn<MakePhase::kCapacity, false>, cli::kExitCapacity},
        JudgeCase{"Build", FailedIn<MakePhase::kBuild, false>, cli::kExitBuild},
        JudgeCase{"ReadBack", FailedIn<MakePhase::kReadBack, false>, cli::kExitReadBack},
        JudgeCase{"Identity", FailedIn<MakePhase::kDeviceIdentity, false>, cli::kExitDeviceIdentity},
        JudgeCase{"DriveLost", FailedIn<MakePhase::kDriveBack, false>, cli::kExitDriveLost},
        JudgeCase{"NotRemounted", FailedIn<MakePhase::kRemount, false>, cli::kExitNotRemounted},
        JudgeCase{"PayloadFile", FailedIn<MakePhase::kPayload, true>, cli::kExitPayload},
        JudgeCase{"SevenFiles", [](cli::MakeRecord& r) { r.filesWritten = 7; }, cli::kExitPayload},
        JudgeCase{"AttributesNotSet", [](cli::MakeRecord& r) { r.attributeFailures = 1; }, cli::kExitPayload},
        JudgeCase{"NoCompletionLine", [](cli::MakeRecord& r) { r.completed = false; }, cli::kExitProgramFailed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
