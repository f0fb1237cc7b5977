// The emulated disk's side of SCSI pass-through: any request block (header
// fields, CDB, transfer length and direction) against a small disk. The
// data buffer is real and as long as the block says.
#include <vector>

#include "winmodel/emulated_scsi_disk.h"
#include "winmodel/pass_through_target.h"
#include "device/pass_through_record.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr std::uint64_t kDiskBlocks = 4096;       // 2 MiB
constexpr std::uint32_t kLargestTransfer = 192 * 1024;  // past the 64 KiB of one command
constexpr std::uint32_t kBlockSize = 80;          // the record the channel sends

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::shared_ptr<EmulatedScsiDisk> disk = EmulatedScsiDisk::InMemory(kDiskBlocks);
    FuzzInput input(data, size);

    std::vector<std::uint8_t> in(kBlockSize, 0);
    std::vector<std::uint8_t> header = input.TakeBytes(sizeof(platform::SCSI_PASS_THROUGH_DIRECT));
    std::copy(header.begin(), header.end(), in.begin());
    platform::SCSI_PASS_THROUGH_DIRECT request;
    std::memcpy(&request, in.data(), sizeof request);

    // The buffer the block points at: as long as it claims, up to a limit.
    request.DataTransferLength %= kLargestTransfer + 1;
    std::vector<std::uint8_t> buffer = input.TakeBytes(request.DataTransferLength);
    buffer.resize(request.DataTransferLength);
    bool nullBuffer = input.Take<std::uint8_t>() & 1;
    request.DataBuffer = nullBuffer ? nullptr : buffer.data();
    std::memcpy(in.data(), &request, sizeof request);

    std::uint32_t inSize = input.Take<std::uint8_t>() & 1 ? kBlockSize : sizeof request;
    std::vector<std::uint8_t> out(kBlockSize, 0);
    std::uint32_t returned = 0;
    std::uint32_t error = RunPassThrough(*disk, in.data(), inSize, out.data(), kBlockSize, &returned);
    FUZZ_CHECK(returned <= kBlockSize);
    if (error == 0) {
        platform::SCSI_PASS_THROUGH_DIRECT answer;
        std::memcpy(&answer, out.data(), sizeof answer);
        FUZZ_CHECK(answer.DataTransferLength <= request.DataTransferLength);
    }

    // The same CDB straight to the disk, with a direction of its own.
    ScsiRequest direct;
    direct.cdb = request.Cdb;
    direct.cdbLength = request.CdbLength % 17;
    direct.direction = static_cast<DataDirection>(input.Take<std::uint8_t>() % 3);
    direct.data = nullBuffer ? nullptr : buffer.data();
    direct.length = request.DataTransferLength;
    ScsiOutcome outcome = disk->Execute(direct);
    FUZZ_CHECK(outcome.transferred <= direct.length);
    FUZZ_CHECK(outcome.senseLength <= outcome.sense.size());
    disk->ClearTrace();
    return 0;
}
