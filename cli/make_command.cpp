#include "cli/make_command.h"

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "app/make_disk_app.h"
#include "cli/console.h"
#include "cli/console_operator.h"
#include "cli/exit_codes.h"
#include "cli/image_target.h"
#include "cli/make_outcome.h"
#include "device/scsi_constants.h"
#include "framework/headless/headless_ui.h"
#include "host/host_system.h"
#include "host/image_drive.h"
#include "host/removable_disks.h"
#include "host/terminal.h"
#include "res/resource_ids.h"
#include "ui/make_disk_dlg.h"

namespace cli {

namespace {

constexpr char kDriveLetter = 'E';
constexpr auto kDialogWait = std::chrono::seconds(10);
// The operator may take as long as they like over the confirmation, and a
// real disk's restart takes what it takes; this only bounds a hang.
constexpr auto kMakeWait = std::chrono::hours(12);

std::string Megabytes(std::uint64_t bytes) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(1) << static_cast<double>(bytes) / (1024.0 * 1024.0) << " MiB";
    return text.str();
}

// What the progress line says while the backend works.
class ProgressReport {
public:
    explicit ProgressReport(Console& console) : console_(console) {}

    void Take(const platform::HostSystem::Activity& activity) {
        using Kind = platform::HostSystem::Activity::Kind;
        std::string text;
        {
            std::lock_guard lock(mutex_);
            switch (activity.kind) {
            case Kind::Command:
                if (activity.opcode == scsi::kOpWrite10) {
                    written_ += std::uint64_t{activity.blocks} * scsi::kSectorSize;
                    text = "writing the file system: " + Megabytes(written_);
                } else if (activity.opcode == scsi::kOpRead10) {
                    read_ += std::uint64_t{activity.blocks} * scsi::kSectorSize;
                    text = "reading it back: " + Megabytes(read_);
                }
                break;
            case Kind::Restart:
                text = std::string("restarting the disk, waiting for ") + kDriveLetter + ": to come back";
                break;
            case Kind::FileWritten:
                files_.insert(activity.fileName);
                text = "payload files written: " + std::to_string(files_.size()) + " of 8";
                break;
            case Kind::AttributesFailed:
                ++attributeFailures_;
                break;
            }
        }
        if (!text.empty()) console_.SetProgress(text);
    }

    std::size_t FilesWritten() const {
        std::lock_guard lock(mutex_);
        return files_.size();
    }
    std::size_t AttributeFailures() const {
        std::lock_guard lock(mutex_);
        return attributeFailures_;
    }

private:
    Console& console_;
    mutable std::mutex mutex_;
    std::uint64_t written_ = 0;
    std::uint64_t read_ = 0;
    std::set<std::string> files_;
    std::size_t attributeFailures_ = 0;
};

struct Target {
    std::shared_ptr<platform::ModelDrive> drive;
    std::string description;
    ImageTarget image;  // when the target is an image file
};

// The drive for the target named on the command line, or an exit code.
int OpenTarget(const CommandLine& line, Target& target, std::ostream& err) {
    if (line.device) {
        std::string error;
        std::shared_ptr<platform::ModelDrive> drive = platform::host::OpenRemovableDisk(*line.device, &error);
        if (drive == nullptr) {
            err << "makevorndisk: cannot use " << *line.device << ": " << error << "\n";
            return kExitTargetUnusable;
        }
        target.drive = std::move(drive);
        target.description = *line.device;
        return kExitMade;
    }
    target.image = PrepareImage(line.image.value_or(kDefaultImage), line.sectors);
    if (!target.image.error.empty()) {
        err << target.image.error << "\n";
        return target.image.badSize ? kExitBadArguments : kExitTargetUnusable;
    }
    target.drive = platform::host::ImageDrive::Open(target.image.path);
    if (target.drive == nullptr) {
        err << "makevorndisk: cannot open the image '" << target.image.path << "' for reading and writing\n";
        RemoveCreatedImage(target.image);
        return kExitTargetUnusable;
    }
    target.description = "image " + target.image.path + " (" + std::to_string(target.image.sectors) + " sectors" +
                         (target.image.created ? ", created" : "") + ")";
    return kExitMade;
}

ConsoleOperator::Confirmation ConfirmationOf(const CommandLine& line) {
    if (line.yes) return ConsoleOperator::Confirmation::kAnswerYes;
    if (platform::host::StdinIsTerminal()) return ConsoleOperator::Confirmation::kAskTerminal;
    return ConsoleOperator::Confirmation::kAnswerNo;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : " | ") + item;
    return text.empty() ? "(none)" : text;
}

// The main dialog as the operator first sees it.
void PrintDialog(HWND dialog, Console& console) {
    console.Line("window: " + headless::WindowText(dialog));
    console.Line("drives: " + Joined(headless::ListItems(headless::DialogItem(dialog, IDC_DRIVE_COMBO))));
    console.Line("identification: " + headless::WindowText(headless::DialogItem(dialog, IDC_INFO_EDIT)));
    console.Line("firmware: " + headless::WindowText(headless::DialogItem(dialog, IDC_FIRMWARE_TEXT)));
}

}  // namespace

int RunMake(const CommandLine& line, std::ostream& out, std::ostream& err) {
    Target target;
    if (const int failed = OpenTarget(line, target, err); failed != kExitMade) return failed;

    Console console(out, platform::host::StdoutIsTerminal());
    console.Line("target: " + target.description + " as drive " + kDriveLetter + ":");
    ProgressReport progress(console);
    platform::HostSystem host;
    host.AttachDrive(kDriveLetter, target.drive);
    host.SetActivityListener([&progress](const platform::HostSystem::Activity& activity) { progress.Take(activity); });
    ConsoleOperator op(console, ConfirmationOf(line));
    platform::InstallSystemServices(&host);

    std::thread program([] { theApp.InitInstance(); });
    HWND dialog = headless::WaitForDialog(IDD_MAKEVORNDISK_DIALOG, kDialogWait);
    if (dialog == nullptr || !headless::WaitUntilIdle(dialog, kDialogWait)) {
        err << "makevorndisk: the main dialog did not open\n";
        out.flush();
        std::_Exit(kExitProgramFailed);  // the dialog's thread cannot be ended from here
    }
    PrintDialog(dialog, console);
    op.PrintLinesOf(headless::DialogItem(dialog, IDC_LOG_LIST));

    MakeRecord record;
    bool driveListed = true;
    if (headless::ListItems(headless::DialogItem(dialog, IDC_DRIVE_COMBO)).empty()) {
        driveListed = false;
        err << "makevorndisk: drive " << kDriveLetter << ": is not in the drive list\n";
    } else if (!headless::ClickButton(dialog, IDC_MAKE_BUTTON)) {
        err << "makevorndisk: the Make button cannot be pressed\n";
    } else {
        const bool ended = headless::WaitUntilIdle(dialog, kMakeWait) && framework::WaitForWorkerThreads(kMakeWait) &&
                           headless::WaitUntilIdle(dialog, kDialogWait);
        record.ended = ended;
    }
    console.SetProgress("");
    for (const ConsoleOperator::Box& box : op.Boxes()) {
        if ((box.type & MB_TYPEMASK) == MB_YESNO && !record.confirmationAsked) {
            record.confirmationAsked = true;
            record.confirmed = box.answer == IDYES;
        }
    }
    // The make is over (or hung): what the dialog recorded of it.
    const MakeResult& made = static_cast<CMakeDiskDlg*>(theApp.m_pMainWnd)->m_lastMake;
    record.failedPhase = made.FailedPhase();
    record.completed = made.Completed();
    record.filesWritten = progress.FilesWritten();
    record.attributeFailures = progress.AttributeFailures();

    if (!headless::CloseDialog(dialog)) {
        err << "makevorndisk: the main dialog cannot be closed\n";
        out.flush();
        std::_Exit(kExitProgramFailed);
    }
    program.join();
    platform::InstallSystemServices(nullptr);
    host.SetActivityListener(nullptr);
    host.DetachDrive(kDriveLetter);

    // A new image that the operator declined to write is not left behind.
    if (record.confirmationAsked && !record.confirmed) RemoveCreatedImage(target.image);

    if (!driveListed) return kExitTargetUnusable;
    const MakeOutcome outcome = JudgeMake(record);
    if (outcome.exitCode == kExitMade) {
        console.Line("makevorndisk: " + outcome.summary + " on " + target.description);
    } else {
        err << "makevorndisk: " << outcome.summary << " (exit code " << outcome.exitCode << ")\n";
    }
    return outcome.exitCode;
}

int ListDisks(std::ostream& out, std::ostream& err) {
    const platform::host::RemovableDiskList list = platform::host::ListRemovableDisks();
    if (!list.error.empty()) {
        err << "makevorndisk: the removable disks cannot be listed: " << list.error << "\n";
        return kExitTargetUnusable;
    }
    if (list.disks.empty()) {
        out << "no removable disk that may be written was found\n";
        return kExitMade;
    }
    for (const platform::host::RemovableDisk& disk : list.disks) {
        out << disk.devicePath << "  " << disk.sizeBytes / scsi::kSectorSize << " sectors ("
            << std::fixed << std::setprecision(1) << static_cast<double>(disk.sizeBytes) / 1e9 << " GB)  "
            << disk.vendor << "  " << disk.model << "\n";
    }
    return kExitMade;
}

}  // namespace cli
