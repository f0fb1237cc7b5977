// Failures while the worker installs the payload files: each is reported as
// it should be, the file is skipped, and every other file is still written.
#include <functional>
#include <set>

#include "payload/payload_table.h"
#include "tests/make/make_fixture.h"

namespace {

using Sim = platform::SimSystem;

struct PayloadFailureCase {
    const char* name;
    std::function<void(Sim&)> inject;
    std::vector<std::string> logLines;  // between the read-back line and the done line
    std::vector<std::string> boxes;     // after the confirmation
    std::set<std::string> missing;      // files not on the volume
    std::map<std::string, std::uint32_t> attributes;  // files whose attributes differ
};

class PayloadFailureTest : public MakeFixture, public ::testing::WithParamInterface<PayloadFailureCase> {};

TEST_P(PayloadFailureTest, SkipsTheFileAndGoesOn) {
    const PayloadFailureCase& failure = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartWithStick(kSmallStickSectors));
    failure.inject(System());
    ASSERT_NO_FATAL_FAILURE(Make());

    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 4u + failure.logLines.size());
    EXPECT_EQ(log[2], "Compare FAT = 0.0 seconds \r\n");
    EXPECT_EQ(std::vector<std::string>(log.begin() + 3, log.end() - 1), failure.logLines);
    EXPECT_EQ(log.back(), "Done. Total time spent = 5.5 seconds \r\n");
    const std::vector<std::string> boxes = op_.BoxTexts();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(std::vector<std::string>(boxes.begin() + 1, boxes.end()), failure.boxes);
    // A file that failed is the payload's failure; attributes that could
    // not be set are not.
    EXPECT_EQ(Dialog().m_lastMake.FailedPhase(), failure.logLines.empty() ? MakePhase::kNone : MakePhase::kPayload);
    EXPECT_TRUE(Dialog().m_lastMake.Completed());

    for (const ExpectedFile& expected : kExpectedFiles) {
        SCOPED_TRACE(expected.name);
        std::optional<Sim::SimFile> file = System().File('E', expected.name);
        if (failure.missing.count(expected.name) != 0) {
            EXPECT_TRUE(!file || file->data != PayloadBytes(expected.name));
            continue;
        }
        ASSERT_TRUE(file.has_value());
        EXPECT_EQ(file->data, PayloadBytes(expected.name));
        auto changed = failure.attributes.find(expected.name);
        EXPECT_EQ(file->attributes, changed != failure.attributes.end() ? changed->second : expected.attributes);
    }
    EXPECT_FALSE(Dialog().m_busy);
    EXPECT_TRUE(headless::IsWindowEnabled(Item(IDC_MAKE_BUTTON)));
    EXPECT_EQ(System().OpenFileCount(), 0u);
}

std::vector<std::string> Repeated(const std::string& text, std::size_t count) {
    return std::vector<std::string>(count, text);
}

const std::set<std::string> kEveryFile = [] {
    std::set<std::string> names;
    for (const PayloadFile& file : kPayloadFiles) names.insert(file.name);
    return names;
}();

INSTANTIATE_TEST_SUITE_P(
    Failures, PayloadFailureTest,
    ::testing::Values(
        PayloadFailureCase{"NoModuleHandle",
                           [](Sim& sim) { sim.FailResourceCall(Sim::ResourceCall::GetModuleHandle); },
                           Repeated("Get File-GetModuleHandle Failed!!!\n", 8),
                           Repeated("Get File-GetModuleHandle Failed!!!", 8), kEveryFile, {}},
        PayloadFailureCase{"ResourceNotFound",
                           [](Sim& sim) { sim.FailResourceCall(Sim::ResourceCall::FindResource, 131); },
                           {"Get File-FindResource Failed!!!\n"}, {"Get File-FindResource Failed!!!"}, {"MSDOS.SYS"},
                           {}},
        PayloadFailureCase{"ResourceNotLoaded",
                           [](Sim& sim) { sim.FailResourceCall(Sim::ResourceCall::LoadResource, 137); },
                           {"Get File-LoadResource Failed!!!\n"}, {"Get File-LoadResource Failed!!!"}, {"CWSDPMI.EXE"},
                           {}},
        PayloadFailureCase{"ResourceNotLocked",
                           [](Sim& sim) { sim.FailResourceCall(Sim::ResourceCall::LockResource, 129); },
                           {"Get File-LockResource Failed!!!\n"}, {"Get File-LockResource Failed!!!"}, {"VORN.exe"}, {}},
        PayloadFailureCase{"FileNotCreated",
                           [](Sim& sim) { sim.FailFileCall(Sim::FileCall::Create, "ISP.BAT", ERROR_ACCESS_DENIED); },
                           {"open save File Failed!!!\n"}, {}, {"ISP.BAT"}, {}},
        // A failed write or close leaves a file that is not what it should
        // be: reported, and it gets no attributes.
        PayloadFailureCase{"WriteFails",
                           [](Sim& sim) { sim.FailFileCall(Sim::FileCall::Write, "IO.SYS", ERROR_WRITE_FAULT); },
                           {"write save File Failed!!!\n"}, {}, {"IO.SYS"}, {}},
        PayloadFailureCase{"CloseFails",
                           [](Sim& sim) { sim.FailFileCall(Sim::FileCall::Close, "MSDOS.SYS", ERROR_WRITE_FAULT); },
                           {"write save File Failed!!!\n"}, {}, {"MSDOS.SYS"}, {}},
        PayloadFailureCase{"AttributesNotSet",
                           [](Sim& sim) {
                               sim.FailFileCall(Sim::FileCall::SetAttributes, "COMMAND.COM", ERROR_ACCESS_DENIED);
                           },
                           {"Compare File Fail-COMMAND.COM\n"}, {"Compare File Fail-COMMAND.COM"}, {},
                           {{"COMMAND.COM", 0x20}}}),
    [](const ::testing::TestParamInfo<PayloadFailureCase>& info) { return std::string(info.param.name); });

}  // namespace
