// Writing one payload file from the program's resources onto the mounted
// volume, then giving it its DOS attributes.
#include "payload/payload_table.h"
#include "platform/system_services.h"
#include "ui/make_disk_dlg.h"
#include "ui/operator_texts.h"

using namespace texts;

bool CMakeDiskDlg::InstallPayloadFile(CString typeName, unsigned id) {
    platform::SystemServices& system = platform::Sys();
    // The resource failed: logged, then boxed.
    auto report = [this](const char* text) {
        m_lastMake.Fail(MakePhase::kPayload);
        AppendLog(m_logList, text);
        AfxMessageBox(text, MB_OK, 0);
    };
    // The file on the disk failed: logged only.
    auto logOnly = [this](const char* text) {
        m_lastMake.Fail(MakePhase::kPayload);
        AppendLog(m_logList, text);
    };

    platform::Module module = system.GetModuleHandleA(nullptr);
    if (module == nullptr) {
        report(kModuleFailedText);
        return false;
    }
    platform::ResourceInfo info = system.FindResourceA(module, id, typeName);
    if (info == nullptr) {
        report(kFindFailedText);
        return false;
    }
    platform::ResourceData loaded = system.LoadResource(module, info);
    if (loaded == nullptr) {
        report(kLoadFailedText);
        return false;
    }
    const std::uint32_t size = system.SizeofResource(module, info);
    const void* data = system.LockResource(loaded);
    if (data == nullptr) {
        report(kLockFailedText);
        return false;
    }

    const char* pathFormat = PayloadPathFormat(id);
    if (pathFormat == nullptr) return false;  // not a payload file: nothing to write
    CString path;
    path.Format(pathFormat, static_cast<char>(m_driveLetter));

    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite)) {
        logOnly(kOpenFailedText);
        return false;
    }
    // A file cut short by a failed write or close is not on the volume as
    // it should be: it counts as not written and gets no attributes.
    const bool written = file.Write(data, size);
    const bool closed = file.Close();
    if (!written || !closed) {
        logOnly(kWriteFailedText);
        return false;
    }

    for (std::uint32_t attributes : PayloadAttributeSteps(typeName, id)) {
        if (attributes != 0) system.SetFileAttributesA(path, attributes);
    }
    return true;
}
