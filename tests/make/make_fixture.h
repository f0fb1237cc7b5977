// A make on the simulated PC: one removable stick E with its disk device in
// the device tree and its instance ID in the registry, the program running
// with the operator answering Yes, and helpers that wait for the worker.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/ui/dialog_fixture.h"

inline constexpr std::uint32_t kSmallStickSectors = 3915776;  // FAT16
inline constexpr std::uint32_t kLargeStickSectors = 7831552;  // FAT32
inline constexpr std::uint32_t kStickDeviceNumber = 1;
inline constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
// The configuration manager's ID of the stick, and what the registry holds.
inline constexpr const char* kStickInstanceId = "USBSTOR\\DISK&VEN_KORVANE&PROD_STICK&REV_1.0\\0001";
inline constexpr const char* kStickRegistryValue = "  usbstor\\disk&ven_korvane&prod_stick&rev_1.0\\0001 \t";

struct ExpectedFile {
    const char* name;
    std::uint32_t attributes;
};
// The eight files in install order with the attributes they end with
// (0x20, archive, is what a new file has).
extern const std::vector<ExpectedFile> kExpectedFiles;

// The bytes of a built payload file.
std::vector<std::uint8_t> PayloadBytes(const std::string& name);

class MakeFixture : public DialogFixture {
protected:
    void SetUp() override;

    // Plugs E with a disk of that many sectors, the fixed drive C and the
    // device tree and registry entries; then starts the program.
    void StartWithStick(std::uint32_t sectors, std::uint32_t blockLength = 512);
    // Clicks Make, answering the confirmation with answer, and waits until
    // the make has ended (worker included) and the dialog is idle.
    void Make(int answer = IDYES);

    std::shared_ptr<EmulatedScsiDisk> disk_;
};
