// The SCSI pass-through record through the port driver's checks into an SG_IO
// request and back, with a fake sender in place of the kernel.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <vector>

#include "device/pass_through_record.h"
#include "device/scsi_constants.h"
#include "host/sg_io_pass_through.h"
#include "platform/win_types.h"
#include "winmodel/model_errors.h"
#include "winmodel/pass_through_target.h"

namespace real_disk_test {
namespace {

using platform::host::SgIoSender;

constexpr std::uint8_t kRead10 = scsi::kOpRead10;
constexpr std::uint8_t kWrite10 = scsi::kOpWrite10;
constexpr std::uint8_t kTestUnitReady = scsi::kOpTestUnitReady;
constexpr std::uint8_t kCheckCondition = scsi::kStatusCheckCondition;
constexpr unsigned char kDriverSense = 0x08;

// A record as the channel fills it: 12-byte CDB, 4 s, 24 bytes of sense.
PassThroughRecord Record(std::uint8_t opcode, std::uint8_t direction, void* buffer, std::uint32_t length) {
    PassThroughRecord record;
    std::memset(&record, 0, sizeof record);
    record.sptd.Length = kPassThroughStructSize;
    record.sptd.TargetId = 1;
    record.sptd.CdbLength = 12;
    record.sptd.SenseInfoLength = kSenseInfoLength;
    record.sptd.DataIn = direction;
    record.sptd.DataTransferLength = length;
    record.sptd.TimeOutValue = 4;
    record.sptd.DataBuffer = buffer;
    record.sptd.SenseInfoOffset = kSenseInfoOffset;
    record.sptd.Cdb[0] = opcode;
    record.sptd.Cdb[5] = 0x3F;  // LBA low byte
    record.sptd.Cdb[8] = 2;     // two blocks
    return record;
}

struct Sent {
    int calls = 0;
    sg_io_hdr_t request{};
    std::vector<std::uint8_t> cdb;
};

// Records the request and answers as told.
SgIoSender Answer(Sent& sent, int error = 0, unsigned char status = 0, unsigned short host = 0,
                  unsigned short driver = 0, int resid = 0, std::vector<std::uint8_t> sense = {}) {
    return [&sent, error, status, host, driver, resid, sense](sg_io_hdr_t& request) {
        ++sent.calls;
        sent.request = request;
        sent.cdb.assign(request.cmdp, request.cmdp + request.cmd_len);
        request.status = status;
        request.host_status = host;
        request.driver_status = driver;
        request.resid = resid;
        const std::size_t n = std::min<std::size_t>(sense.size(), request.mx_sb_len);
        if (n > 0) std::memcpy(request.sbp, sense.data(), n);
        request.sb_len_wr = static_cast<unsigned char>(n);
        return error;
    };
}

std::uint32_t Pass(const SgIoSender& send, PassThroughRecord& record, std::uint32_t* returned = nullptr) {
    std::uint32_t ignored = 0;
    platform::host::SgIoTarget target(send);
    return RunPassThrough(target, &record, sizeof record, &record, sizeof record,
                          returned != nullptr ? returned : &ignored);
}

TEST(SgIoPassThrough, TranslatesDirectionCdbBufferTimeOutAndSenseRoom) {
    struct Case {
        std::uint8_t opcode;
        std::uint8_t direction;
        std::uint32_t length;
        int sgDirection;
    };
    std::vector<std::uint8_t> buffer(1024);
    for (const Case& c : {Case{kRead10, SCSI_IOCTL_DATA_IN, 1024, SG_DXFER_FROM_DEV},
                          Case{kWrite10, SCSI_IOCTL_DATA_OUT, 1024, SG_DXFER_TO_DEV},
                          Case{kTestUnitReady, SCSI_IOCTL_DATA_UNSPECIFIED, 0, SG_DXFER_NONE}}) {
        SCOPED_TRACE(static_cast<int>(c.opcode));
        PassThroughRecord record = Record(c.opcode, c.direction, c.length ? buffer.data() : nullptr, c.length);
        Sent sent;
        std::uint32_t returned = 0;
        ASSERT_EQ(Pass(Answer(sent), record, &returned), 0u);
        ASSERT_EQ(sent.calls, 1);
        EXPECT_EQ(sent.request.interface_id, 'S');
        EXPECT_EQ(sent.request.dxfer_direction, c.sgDirection);
        EXPECT_EQ(sent.request.dxfer_len, c.length);
        EXPECT_EQ(sent.request.dxferp, c.length ? buffer.data() : nullptr);
        EXPECT_EQ(sent.request.timeout, 4000u);
        EXPECT_EQ(sent.request.mx_sb_len, kSenseInfoLength);
        EXPECT_EQ(sent.cdb, std::vector<std::uint8_t>(record.sptd.Cdb, record.sptd.Cdb + 12));
        EXPECT_EQ(record.sptd.ScsiStatus, 0);
        EXPECT_EQ(record.sptd.DataTransferLength, c.length);
        EXPECT_EQ(record.sptd.SenseInfoLength, 0);
        EXPECT_EQ(returned, kPassThroughStructSize);
    }
}

TEST(SgIoPassThrough, CheckConditionReturnsStatusAndSenseInTheRecord) {
    std::vector<std::uint8_t> buffer(1024);
    PassThroughRecord record = Record(kRead10, SCSI_IOCTL_DATA_IN, buffer.data(), 1024);
    std::vector<std::uint8_t> sense(18, 0);
    sense[0] = 0x70;
    sense[2] = 0x03;   // medium error
    sense[12] = 0x11;  // unrecovered read error
    Sent sent;
    std::uint32_t returned = 0;
    ASSERT_EQ(Pass(Answer(sent, 0, kCheckCondition, 0, kDriverSense, 512, sense), record, &returned), 0u);
    EXPECT_EQ(record.sptd.ScsiStatus, kCheckCondition);
    EXPECT_EQ(record.sptd.SenseInfoLength, 18);
    EXPECT_EQ(std::vector<std::uint8_t>(record.sense, record.sense + 18), sense);
    EXPECT_EQ(record.sptd.DataTransferLength, 512u) << "the residue is taken off";
    EXPECT_EQ(returned, kSenseInfoOffset + 18);
}

TEST(SgIoPassThrough, AZeroTimeOutGetsADefaultNotAnEndlessWait) {
    PassThroughRecord record = Record(kTestUnitReady, SCSI_IOCTL_DATA_UNSPECIFIED, nullptr, 0);
    record.sptd.TimeOutValue = 0;
    Sent sent;
    ASSERT_EQ(Pass(Answer(sent), record), 0u);
    EXPECT_GT(sent.request.timeout, 0u);
}

struct FailureCase {
    const char* name;
    int error;
    unsigned short host;
    unsigned short driver;
    std::uint32_t expected;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.name; }

class TransportFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(TransportFailure, FailsTheCallWithAWindowsError) {
    std::vector<std::uint8_t> buffer(512);
    PassThroughRecord record = Record(kRead10, SCSI_IOCTL_DATA_IN, buffer.data(), 512);
    Sent sent;
    EXPECT_EQ(Pass(Answer(sent, GetParam().error, 0, GetParam().host, GetParam().driver), record),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    SgIo, TransportFailure,
    testing::Values(FailureCase{"NoDevice", ENODEV, 0, 0, kErrorDeviceNotConnected},
                    FailureCase{"NoPermission", EACCES, 0, 0, ERROR_ACCESS_DENIED},
                    FailureCase{"RefusedRequest", EINVAL, 0, 0, ERROR_INVALID_PARAMETER},
                    FailureCase{"NotAScsiNode", ENOTTY, 0, 0, ERROR_NOT_SUPPORTED},
                    FailureCase{"HostNoConnect", 0, 0x01, 0, kErrorDeviceNotConnected},
                    FailureCase{"HostTimeOut", 0, 0x03, 0, ERROR_SEM_TIMEOUT},
                    FailureCase{"HostError", 0, 0x07, 0, ERROR_IO_DEVICE},
                    FailureCase{"HostReset", 0, 0x08, 0, ERROR_IO_DEVICE},
                    FailureCase{"DriverTimeOut", 0, 0, 0x06, ERROR_SEM_TIMEOUT},
                    FailureCase{"DriverError", 0, 0, 0x04, ERROR_IO_DEVICE}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

struct BadRecordCase {
    const char* name;
    void (*spoil)(PassThroughRecord& record);
};

std::ostream& operator<<(std::ostream& out, const BadRecordCase& c) { return out << c.name; }

class BadRecord : public testing::TestWithParam<BadRecordCase> {};

TEST_P(BadRecord, IsRefusedBeforeAnythingIsSent) {
    std::vector<std::uint8_t> buffer(512);
    PassThroughRecord record = Record(kRead10, SCSI_IOCTL_DATA_IN, buffer.data(), 512);
    GetParam().spoil(record);
    Sent sent;
    EXPECT_EQ(Pass(Answer(sent), record), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(sent.calls, 0);
}

INSTANTIATE_TEST_SUITE_P(
    SgIo, BadRecord,
    testing::Values(BadRecordCase{"WrongLength", [](PassThroughRecord& r) { r.sptd.Length = 44 + 56; }},
                    BadRecordCase{"NoCdb", [](PassThroughRecord& r) { r.sptd.CdbLength = 0; }},
                    BadRecordCase{"CdbTooLong", [](PassThroughRecord& r) { r.sptd.CdbLength = 17; }},
                    BadRecordCase{"NoBuffer", [](PassThroughRecord& r) { r.sptd.DataBuffer = nullptr; }},
                    BadRecordCase{"UnknownDirection", [](PassThroughRecord& r) { r.sptd.DataIn = 3; }},
                    BadRecordCase{"DataOfUnspecifiedDirection",
                                  [](PassThroughRecord& r) { r.sptd.DataIn = SCSI_IOCTL_DATA_UNSPECIFIED; }},
                    BadRecordCase{"SenseInsideTheHeader", [](PassThroughRecord& r) { r.sptd.SenseInfoOffset = 8; }},
                    BadRecordCase{"SensePastTheBlock",
                                  [](PassThroughRecord& r) { r.sptd.SenseInfoOffset = sizeof(PassThroughRecord) - 8; }}),
    [](const testing::TestParamInfo<BadRecordCase>& info) { return info.param.name; });

TEST(SgIoPassThrough, BlocksSmallerThanTheHeaderAreRefused) {
    PassThroughRecord record = Record(kRead10, SCSI_IOCTL_DATA_IN, nullptr, 0);
    Sent sent;
    std::uint32_t returned = 7;
    platform::host::SgIoTarget target(Answer(sent));
    EXPECT_EQ(RunPassThrough(target, &record, 20, &record, sizeof record, &returned),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(sent.calls, 0);
}

}  // namespace
}  // namespace real_disk_test
