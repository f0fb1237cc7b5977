// What comes back from a drive: the pass-through block of INQUIRY and READ
// CAPACITY(10) as a driver might fill it (data of any length up to the
// buffer, any SCSI status, a failed call), taken by the channel and decoded
// as the dialog does it; the capacity then goes through the builder's
// layout and its images, as the make would use them.
#include <vector>

#include "device/pass_through_record.h"
#include "device/scsi_channel.h"
#include "fatdisk/fat_disk_builder.h"
#include "tests/sim/sim_system.h"
#include "tests/fuzz/fuzz_input.h"
#include "ui/device_answers.h"

namespace {

constexpr std::size_t kInquiryLength = 50;
constexpr std::uint32_t kImageSectorsChecked = 128;  // images fit one command

// A PC whose raw volumes answer every pass-through from the fuzzer's input.
class AnsweringSystem : public platform::SimSystem {
public:
    FuzzInput* input = nullptr;

    platform::Handle CreateFileA(const char*, std::uint32_t, std::uint32_t, std::uint32_t,
                                 std::uint32_t) override {
        return reinterpret_cast<platform::Handle>(std::uintptr_t{0x1000});
    }
    bool CloseHandle(platform::Handle) override { return true; }
    bool DeviceIoControl(platform::Handle, std::uint32_t code, void* in, std::uint32_t inSize,
                         void*, std::uint32_t, std::uint32_t* returned) override {
        if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT || inSize < sizeof(PassThroughRecord)) return false;
        auto* record = static_cast<PassThroughRecord*>(in);
        std::uint8_t failure = input->Take<std::uint8_t>();
        if (failure & 0x80) {
            lastError_ = input->Take<std::uint32_t>();
            return false;
        }
        // The driver writes at most the buffer's length.
        std::uint32_t length = record->sptd.DataTransferLength;
        std::vector<std::uint8_t> answer = input->TakeBytes(input->Take<std::uint8_t>());
        if (answer.size() > length) answer.resize(length);
        if (!answer.empty()) std::memcpy(record->sptd.DataBuffer, answer.data(), answer.size());
        record->sptd.DataTransferLength = static_cast<std::uint32_t>(answer.size());
        record->sptd.ScsiStatus = input->Take<std::uint8_t>();
        if (returned != nullptr) *returned = sizeof(PassThroughRecord);
        lastError_ = 0;
        return true;
    }
    std::uint32_t GetLastError() override { return lastError_; }

private:
    std::uint32_t lastError_ = 0;
};

void CheckImages(CFatDiskBuilder& builder) {
    // Each image into a buffer as the build gives it: the area, or one
    // command of a longer one.
    std::vector<std::uint8_t> buffer(std::size_t{kImageSectorsChecked} * scsi::kSectorSize);
    if (builder.m_partitionStart > 0) builder.MakeMbr(buffer.data());
    std::fill(buffer.begin(), buffer.end(), 0);
    if (builder.m_isFat16) {
        builder.MakeFat16BootSector(buffer.data());
    } else if (builder.m_reservedSectors >= 8) {
        builder.MakeFat32BootArea(buffer.data());
    }
    std::fill(buffer.begin(), buffer.end(), 0);
    if (builder.m_sectorsPerFat > 0) builder.MakeFatHead(buffer.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static AnsweringSystem* system = [] {
        auto* created = new AnsweringSystem;
        platform::InstallSystemServices(created);
        return created;
    }();
    FuzzInput input(data, size);
    system->input = &input;
    CScsiChannel channel;

    std::uint8_t inquiry[kInquiryLength];
    if (!channel.Inquiry('E', inquiry)) {
        std::string text = IdentificationText(inquiry);
        FUZZ_CHECK(text.size() <= kIdentificationLength);
    }

    std::uint8_t capacityData[scsi::kReadCapacityDataLength];
    if (!channel.ReadCapacity('E', capacityData)) {
        Capacity capacity = DecodeCapacity(capacityData);
        if (capacity.totalSectors != 0 && capacity.blockLength == scsi::kSectorSize) {
            CFatDiskBuilder builder('E');
            builder.m_layoutMode = input.Take<std::uint8_t>() % 3;
            if (builder.Setup(capacity.totalSectors, "USBHDDBOOT", false)) {
                // A layout never reaches past the device.
                FUZZ_CHECK(std::uint64_t{builder.m_partitionStart} + builder.PartitionSectors() <=
                           capacity.totalSectors);
                CheckImages(builder);
            }
        }
    }
    system->input = nullptr;
    return 0;
}
