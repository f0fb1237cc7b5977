// The device restart and the partition-table re-read, which Wine lacks,
// handed to the rig outside the program (wine_stand_ins.h).
#include "tests/wine_guest/program/wine_stand_ins.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <string>

#include "tests/wine/driver/report_win32.h"

namespace wine_guest {

namespace {

// The rig deletes and rescans the disk and mounts its partition in a few
// seconds; under emulation it may take much longer.
constexpr DWORD kRestartLimitMilliseconds = 120000;
constexpr DWORD kPollMilliseconds = 100;
constexpr std::uint32_t kDeviceIdLength = 520;
// SP_PROPCHANGE_PARAMS.Scope: a property change may be global or for the
// current hardware profile.
constexpr std::uint32_t kScopeGlobal = 1;

std::wstring SyncFolder() {
    wchar_t folder[MAX_PATH] = {};
    return GetEnvironmentVariableW(L"VORN_WINE_SYNC_DIR", folder, MAX_PATH) > 0 ? folder : L"";
}

// Waits for the rig's file <step>-<number>.done; false at the limit.
bool WaitForRig(const wchar_t* step, int number) {
    const std::wstring done = SyncFolder() + L"\\" + step + L"-" + std::to_wstring(number) + L".done";
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > kRestartLimitMilliseconds) return false;
        ::Sleep(kPollMilliseconds);
    }
    return true;
}

}  // namespace

bool WineStandIns::SetupDiSetClassInstallParamsA(platform::DevInfoSet, platform::SP_DEVINFO_DATA* data,
                                                   platform::SP_CLASSINSTALL_HEADER* params,
                                                   std::uint32_t paramsSize) {
    // As Windows checks them: the header's size, and the whole size of the
    // parameters of the function named.
    if (data == nullptr || params == nullptr || params->cbSize != sizeof(platform::SP_CLASSINSTALL_HEADER) ||
        params->InstallFunction != DIF_PROPERTYCHANGE || paramsSize != sizeof(platform::SP_PROPCHANGE_PARAMS)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const auto* change = reinterpret_cast<const platform::SP_PROPCHANGE_PARAMS*>(params);
    if (change->Scope != kScopeGlobal && change->Scope != DICS_FLAG_CONFIGSPECIFIC) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // The rig plays a property change (a restart) only.
    if (change->StateChange != DICS_PROPCHANGE) {
        wine_test::Report("RESTART-NOT-PLAYED", "state change " + std::to_string(change->StateChange));
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.insert(data->DevInst);
    return true;
}

bool WineStandIns::SetupDiCallClassInstaller(std::uint32_t installFunction, platform::DevInfoSet set,
                                               platform::SP_DEVINFO_DATA* data) {
    int number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (installFunction != DIF_PROPERTYCHANGE || data == nullptr || pending_.erase(data->DevInst) == 0) {
            return Win32System::SetupDiCallClassInstaller(installFunction, set, data);
        }
        number = ++restarts_;
    }
    char id[kDeviceIdLength] = {};
    CM_Get_Device_IDA(data->DevInst, id, kDeviceIdLength, 0);
    wine_test::Report("RESTART", std::to_string(number) + " " + id);
    if (!WaitForRig(L"restart", number)) {
        wine_test::Report("RESTART-MISSED", std::to_string(number));
        ::SetLastError(ERROR_TIMEOUT);
        return false;
    }
    return true;
}

bool WineStandIns::DeviceIoControl(platform::Handle handle, std::uint32_t code, void* in, std::uint32_t inSize,
                                   void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    const bool answered = Win32System::DeviceIoControl(handle, code, in, inSize, out, outSize, bytesReturned);
    if (code != IOCTL_DISK_UPDATE_PROPERTIES) return answered;
    // What Wine made of the request, then the rig's part.
    const std::string wine = answered ? "wine-ok" : "wine-error " + std::to_string(::GetLastError());
    int number = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        number = ++rereads_;
    }
    wine_test::Report("REREAD", std::to_string(number) + " " + wine);
    if (!WaitForRig(L"reread", number)) {
        wine_test::Report("REREAD-MISSED", std::to_string(number));
        ::SetLastError(ERROR_TIMEOUT);
        return false;
    }
    return true;
}

}  // namespace wine_guest
