#include "tests/qemu/qemu_machine.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#ifndef VORN_QEMU
#define VORN_QEMU "qemu-system-i386"
#endif
// The files of the other BIOS setups; a test program that boots only
// SeaBIOS with its own INT 13h needs none of them (QEMU then says which
// file it misses).
#ifndef VORN_NO_EXTENSIONS_ROM
#define VORN_NO_EXTENSIONS_ROM "no_extensions_rom.bin"
#endif
#ifndef VORN_BOCHS_BIOS
#define VORN_BOCHS_BIOS "/usr/share/bochs/BIOS-bochs-legacy"
#endif
#ifndef VORN_VGA_BIOS
#define VORN_VGA_BIOS "/usr/share/vgabios/vgabios-stdvga.bin"
#endif

namespace qemu_test {
namespace {

constexpr int kScreenColumns = 80;
constexpr int kScreenRows = 25;
constexpr int kScreenBytes = kScreenColumns * kScreenRows * 2;  // character, attribute
constexpr char kScreenCommand[] = "xp /4000bx 0xb8000\n";
constexpr char kPrompt[] = "(qemu)";
constexpr auto kMonitorReplyTimeout = std::chrono::seconds(5);
constexpr auto kScreenPollInterval = std::chrono::milliseconds(200);
constexpr auto kConnectTimeout = std::chrono::seconds(10);

// The Bochs BIOS takes no option ROMs from QEMU's firmware configuration:
// the VGA BIOS and our ROM go straight into the ROM area, where it looks
// for them at 2 KiB boundaries (the VGA BIOS ends at 0xC9600).
constexpr char kVgaBiosAddress[] = "0xc0000";
constexpr char kIsaOptionRomAddress[] = "0xca000";

std::string Join(const std::vector<std::string>& parts) {
    std::string joined;
    for (const std::string& part : parts) joined += (joined.empty() ? "" : ",") + part;
    return joined;
}

std::vector<std::string> GeometryProperties(const Geometry& geometry, const char* prefix) {
    if (geometry.cylinders == 0) return {};
    return {std::string(prefix) + "cyls=" + std::to_string(geometry.cylinders),
            std::string(prefix) + "heads=" + std::to_string(geometry.heads),
            std::string(prefix) + "secs=" + std::to_string(geometry.sectors)};
}

// The arguments that attach the disk.
std::vector<std::string> DiskArguments(const MachineOptions& options, const std::string& file) {
    const std::string drive = "if=none,id=disk,file=" + file + ",format=raw";
    if (options.bus == Bus::UsbStick) {
        if (options.physical.cylinders == 0) {
            return {"-device", "qemu-xhci", "-drive", drive, "-device", "usb-storage,drive=disk,bootindex=0"};
        }
        std::vector<std::string> scsi = {"scsi-hd", "bus=bot.0", "drive=disk", "bootindex=0"};
        for (const std::string& p : GeometryProperties(options.physical, "")) scsi.push_back(p);
        return {"-device", "qemu-xhci", "-drive", drive, "-device", "usb-bot,id=bot", "-device", Join(scsi)};
    }
    if (options.logical.cylinders == 0 && options.physical.cylinders == 0) {
        return {"-drive", "file=" + file + ",format=raw,if=ide"};
    }
    std::vector<std::string> ide = {"ide-hd", "drive=disk"};
    for (const std::string& p : GeometryProperties(options.logical, "l")) ide.push_back(p);
    for (const std::string& p : GeometryProperties(options.physical, "")) ide.push_back(p);
    if (!options.translation.empty()) ide.push_back("bios-chs-trans=" + options.translation);
    return {"-drive", drive, "-device", Join(ide)};
}

// The arguments that choose the BIOS, and the option ROM.
std::vector<std::string> FirmwareArguments(const MachineOptions& options) {
    std::vector<std::string> argv;
    if (options.firmware == Firmware::BochsBios) {
        // Virtual time runs as fast as the emulation: the Bochs BIOS waits
        // several seconds of timer ticks during its start otherwise.
        argv = {"-M", "isapc", "-bios", VORN_BOCHS_BIOS, "-vga", "std",
                "-device", std::string("loader,file=") + VORN_VGA_BIOS + ",addr=" + kVgaBiosAddress + ",force-raw=on",
                "-icount", "shift=auto,sleep=off"};
        if (options.noExtensions) {
            argv.insert(argv.end(), {"-device", std::string("loader,file=") + VORN_NO_EXTENSIONS_ROM +
                                                    ",addr=" + kIsaOptionRomAddress + ",force-raw=on"});
        }
    } else if (options.noExtensions) {
        argv = {"-option-rom", VORN_NO_EXTENSIONS_ROM};
    }
    return argv;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The bytes of the dump lines ("00000000000b8000: 0x49 0x07 ...") in text.
std::vector<unsigned> DumpedBytes(const std::string& text) {
    static const std::regex line(R"(([0-9a-f]{8,}):((?: 0x[0-9a-f]{2})+))");
    static const std::regex byte(R"(0x([0-9a-f]{2}))");
    std::vector<unsigned> bytes;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator(); ++it) {
        const std::string values = (*it)[2].str();
        for (auto b = std::sregex_iterator(values.begin(), values.end(), byte); b != std::sregex_iterator(); ++b) {
            bytes.push_back(static_cast<unsigned>(std::stoul((*b)[1].str(), nullptr, 16)));
        }
    }
    return bytes;
}

}  // namespace

const char* BusName(Bus bus) { return bus == Bus::Ide ? "ide" : "usb"; }

QemuMachine::QemuMachine(const MachineOptions& options, const std::string& workDir) {
    std::filesystem::create_directories(workDir);
    m_debugconPath = workDir + "/debugcon.txt";
    m_logPath = workDir + "/qemu.log";
    std::filesystem::remove(m_debugconPath);
    char socketDir[] = "/tmp/vorn-qemu-XXXXXX";
    if (mkdtemp(socketDir) != nullptr) m_socketDir = socketDir;
    m_socketPath = m_socketDir + "/monitor";

    const std::string file = options.blkdebugConfig.empty()
                                 ? options.image
                                 : "blkdebug:" + options.blkdebugConfig + ":" + options.image;
    std::vector<std::string> argv = {VORN_QEMU, "-accel", "tcg", "-display", "none", "-no-reboot",
                                     "-nic", "none", "-m", "32",
                                     "-debugcon", "file:" + m_debugconPath,
                                     "-device", "isa-debug-exit,iobase=0xf4,iosize=4",
                                     "-monitor", "unix:" + m_socketPath + ",server,nowait"};
    for (const std::string& arg : FirmwareArguments(options)) argv.push_back(arg);
    for (const std::string& arg : DiskArguments(options, file)) argv.push_back(arg);
    m_process = std::make_unique<ChildProcess>(argv, m_logPath);
}

QemuMachine::~QemuMachine() {
    if (m_monitor >= 0) close(m_monitor);
    m_process.reset();
    if (!m_socketDir.empty()) std::filesystem::remove_all(m_socketDir);
}

std::optional<int> QemuMachine::WaitForExit(std::chrono::seconds timeout) {
    return m_process->WaitForExit(std::chrono::duration_cast<std::chrono::milliseconds>(timeout));
}

bool QemuMachine::ConnectMonitor() {
    if (m_monitor >= 0) return true;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.size() >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, m_socketPath.c_str());
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    while (std::chrono::steady_clock::now() < deadline && m_process->Running()) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) return false;
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            m_monitor = fd;
            return true;
        }
        close(fd);
        std::this_thread::sleep_for(kScreenPollInterval);
    }
    return false;
}

std::string QemuMachine::Screen() {
    if (!ConnectMonitor()) return {};
    if (send(m_monitor, kScreenCommand, sizeof kScreenCommand - 1, MSG_NOSIGNAL) < 0) return {};
    // The reply: the dump lines, then the next prompt.
    std::string reply;
    const auto deadline = std::chrono::steady_clock::now() + kMonitorReplyTimeout;
    std::vector<unsigned> bytes;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{m_monitor, POLLIN, 0};
        if (poll(&ready, 1, 100) > 0) {
            char buffer[8192];
            const ssize_t got = recv(m_monitor, buffer, sizeof buffer, 0);
            if (got <= 0) return {};
            reply.append(buffer, static_cast<std::size_t>(got));
        }
        const std::size_t commandAt = reply.find("xp /4000bx");
        if (commandAt == std::string::npos) continue;
        const std::string afterCommand = reply.substr(commandAt);
        bytes = DumpedBytes(afterCommand);
        if (bytes.size() >= static_cast<std::size_t>(kScreenBytes) &&
            afterCommand.rfind(kPrompt) != std::string::npos && afterCommand.rfind(kPrompt) > 0) {
            break;
        }
    }
    if (bytes.size() < static_cast<std::size_t>(kScreenBytes)) return {};
    std::string screen;
    for (int row = 0; row < kScreenRows; ++row) {
        std::string line;
        for (int column = 0; column < kScreenColumns; ++column) {
            const unsigned character = bytes[static_cast<std::size_t>((row * kScreenColumns + column) * 2)];
            line += (character >= 0x20 && character < 0x7F) ? static_cast<char>(character) : ' ';
        }
        line.erase(line.find_last_not_of(' ') + 1);
        screen += line + "\n";
    }
    return screen;
}

bool QemuMachine::WaitForScreenText(const std::string& text, std::chrono::seconds timeout, std::string& lastScreen) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline && m_process->Running()) {
        lastScreen = Screen();
        if (lastScreen.find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(kScreenPollInterval);
    }
    return false;
}

std::string QemuMachine::DebugConsole() const { return ReadWholeFile(m_debugconPath); }
std::string QemuMachine::QemuLog() const { return ReadWholeFile(m_logPath); }

}  // namespace qemu_test
