#include "tests/wine_guest/program/guest_test_mode.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "framework/thread.h"
#include "payload/payload_table.h"
#include "tests/wine/driver/make_driver.h"
#include "tests/wine/driver/report_win32.h"
#include "tests/wine_guest/program/channel_probe.h"
#include "tests/wine_guest/program/wine_stand_ins.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitNoDesktop = 4;
constexpr DWORD kDesktopLimitMilliseconds = 300000;
constexpr DWORD kDesktopPollMilliseconds = 500;
// A whole make under emulation: the program's start, the build of an 8 GB
// stick's FATs, the rig's restart and the files.
constexpr std::uint32_t kMakeLimitMilliseconds = 600000;
constexpr auto kWorkerEndLimit = std::chrono::seconds(30);
constexpr std::size_t kDrivePrefixLength = 4;  // the "%c:\\" before a payload file's name

wine_guest::WineStandIns services;

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

int WaitForDesktop() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kDesktopLimitMilliseconds) {
        HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (window != nullptr) {
            DestroyWindow(window);
            wine_test::Report("DESKTOP", "ready after " + std::to_string(GetTickCount() - start) + " ms");
            return 0;
        }
        Sleep(kDesktopPollMilliseconds);
    }
    wine_test::Report("DESKTOP", "none");
    return kExitNoDesktop;
}

// The payload file's name in the root ("%c:\\NAME" without the drive).
std::string FileName(const PayloadFile& payload) { return payload.pathFormat + kDrivePrefixLength; }

// The bytes of a payload resource of this program.
std::string ResourceBytes(const PayloadFile& payload) {
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(payload.id), payload.typeName);
    HGLOBAL data = info != nullptr ? LoadResource(nullptr, info) : nullptr;
    const void* bytes = data != nullptr ? LockResource(data) : nullptr;
    return bytes != nullptr ? std::string(static_cast<const char*>(bytes), SizeofResource(nullptr, info)) : "";
}

std::string FileBytes(const std::string& path, bool* readable) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    *readable = file != INVALID_HANDLE_VALUE;
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (*readable && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    if (*readable) CloseHandle(file);
    return bytes;
}

// "FILE name attributes intact|differs|unreadable|unexpected" for each file
// in E:\ as Windows lists them, "FILE-COUNT n", and the volume information.
std::vector<std::string> DriveReport() {
    std::vector<std::string> lines;
    WIN32_FIND_DATAA entry{};
    HANDLE search = FindFirstFileA("E:\\*", &entry);
    int count = 0;
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &entry) != FALSE) {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::string name = entry.cFileName;
        std::string verdict = "unexpected";
        for (const PayloadFile& payload : kPayloadFiles) {
            if (name != FileName(payload)) continue;
            bool readable = false;
            const std::string bytes = FileBytes("E:\\" + name, &readable);
            verdict = !readable ? "unreadable" : bytes == ResourceBytes(payload) ? "intact" : "differs";
        }
        lines.push_back("FILE " + name + " " + Hex(entry.dwFileAttributes) + " " + verdict);
        ++count;
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    lines.push_back("FILE-COUNT " + std::to_string(count));
    lines.push_back(VolumeInformationLine());
    return lines;
}

int RunMake(const std::string& name, int (*runDialog)()) {
    MakePlan plan;
    plan.name = name;
    plan.runLimitMilliseconds = kMakeLimitMilliseconds;
    StartMakeDriver(plan, {[] {}, &DriveReport});
    runDialog();
    // The worker's last act (enabling the controls) may still be running.
    framework::WaitForWorkerThreads(kWorkerEndLimit);
    return MakeDriverExitCode();
}

}  // namespace

int RunWineGuestTestMode(const char* commandLine, int (*runDialog)()) {
    platform::InstallSystemServices(&services);
    std::istringstream words(commandLine != nullptr ? commandLine : "");
    std::string mode;
    std::string name;
    words >> mode >> name;
    if (mode == "desktop") return WaitForDesktop();
    if (mode == "probe") return RunChannelProbe();
    if (mode == "make" && !name.empty()) return RunMake(name, runDialog);
    std::printf("USAGE MakeVORNDisk.exe desktop | probe | make NAME; got '%s'\n", commandLine);
    std::fflush(stdout);
    return kExitUsage;
}
