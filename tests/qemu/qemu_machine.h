// A PC in QEMU (TCG) booting one disk image, with the debug console (port
// 0xE9) in a file, isa-debug-exit at port 0xF4 and the HMP monitor on a
// unix socket for reading the VGA text screen. The BIOS is SeaBIOS (the
// "pc" machine) or the Bochs BIOS (the ISA machine), either with a chosen
// disk geometry and, if asked, without the INT 13h extensions.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "tests/qemu/child_process.h"

namespace qemu_test {

enum class Bus { Ide, UsbStick };
const char* BusName(Bus bus);

enum class Firmware { SeaBios, BochsBios };

// A disk geometry handed to QEMU's disk device; 0 cylinders: none.
struct Geometry {
    unsigned cylinders = 0;
    unsigned heads = 0;
    unsigned sectors = 0;
};

struct MachineOptions {
    std::string image;
    Bus bus = Bus::Ide;
    std::string blkdebugConfig;  // when set, the disk goes through QEMU's blkdebug driver
    Firmware firmware = Firmware::SeaBios;
    // IDE: the logical geometry the BIOS is told (lcyls, lheads, lsecs).
    Geometry logical{};
    // IDE: the drive's own geometry, which the BIOS translates as
    // `translation` says (bios-chs-trans: none, lba, large, rechs, auto);
    // USB stick: the SCSI disk's geometry (usb-bot with scsi-hd).
    Geometry physical{};
    std::string translation{};
    // An option ROM hooks INT 13h and answers the extension functions
    // (AH=41h-49h, 4Eh) as an older BIOS does: carry set, AH=01h.
    bool noExtensions = false;
};

class QemuMachine {
public:
    // Starts QEMU; files go into workDir, the monitor socket into a short
    // temporary folder (unix socket paths are limited to 108 bytes).
    QemuMachine(const MachineOptions& options, const std::string& workDir);
    ~QemuMachine();
    QemuMachine(const QemuMachine&) = delete;
    QemuMachine& operator=(const QemuMachine&) = delete;

    bool Started() const { return m_process && m_process->Started(); }
    // QEMU's exit code: isa-debug-exit gives (value << 1) | 1.
    std::optional<int> WaitForExit(std::chrono::seconds timeout);
    // The 80x25 text screen, one line per row, or empty when the monitor
    // does not answer.
    std::string Screen();
    // Polls the screen until it shows text; returns whether it did. The last
    // screen read is left in lastScreen.
    bool WaitForScreenText(const std::string& text, std::chrono::seconds timeout, std::string& lastScreen);
    std::string DebugConsole() const;
    std::string QemuLog() const;

private:
    bool ConnectMonitor();

    std::string m_debugconPath;
    std::string m_logPath;
    std::string m_socketDir;
    std::string m_socketPath;
    int m_monitor = -1;
    std::unique_ptr<ChildProcess> m_process;
};

}  // namespace qemu_test
