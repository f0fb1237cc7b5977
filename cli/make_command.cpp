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
#include "cli/guarded_drive.h"
#include "cli/image_target.h"
#include "cli/interrupts.h"
#include "cli/make_outcome.h"
#include "device/scsi_constants.h"
#include "framework/headless/headless_ui.h"
#include "host/host_system.h"
#include "host/image_drive.h"
#include "host/leftovers.h"
#include "host/mtools_volume.h"
#include "host/removable_disks.h"
#include "host/scratch_folder.h"
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
    std::string description;  // for the record's target line
    std::string note;         // for the question: what the drive is
    ImageTarget image;        // when the target is an image file
};

// What the whole make needs, found out before anything is created or
// written: mtools for an image's files, and a scratch folder (an image's
// files are staged there, a disk's volume is mounted there). Empty when
// all is there, else why not.
std::string PreflightProblem(const CommandLine& line) {
    if (!line.device) {
        if (const std::string missing = platform::host::MtoolsVolume::MissingTools(); !missing.empty()) {
            return "mtools writes the files into an image, and " + missing +
                   " cannot be found in PATH (install the mtools package)";
        }
    }
    return platform::host::ScratchFolderProblem();
}

// The drive for the target named on the command line, or an exit code.
// Every step of the drive passes the interrupt gate (guarded_drive.h).
int OpenTarget(const CommandLine& line, const DriveHook& hook, Target& target, std::ostream& err) {
    const StepGate gate = [](DriveStep, std::uint8_t) { return InterruptSignal() == 0; };
    if (line.device) {
        std::string error;
        std::shared_ptr<platform::ModelDrive> drive = platform::host::OpenRemovableDisk(*line.device, &error);
        if (drive == nullptr) {
            err << "makevorndisk: cannot use " << *line.device << ": " << error << "\n";
            return kExitTargetUnusable;
        }
        target.drive = GuardDrive(hook ? hook(std::move(drive)) : std::move(drive), gate);
        target.description = *line.device;
        target.note = "the disk " + *line.device;
        return kExitMade;
    }
    target.image = PrepareImage(line.image.value_or(kDefaultImage), line.sectors, line.force);
    if (!target.image.error.empty()) {
        err << target.image.error << "\n";
        return target.image.badSize ? kExitBadArguments : kExitTargetUnusable;
    }
    // The drive works on the file held open and locked, never on the path.
    std::string error;
    target.drive = platform::host::ImageDrive::Adopt(target.image.descriptor, target.image.path, &error);
    if (target.drive == nullptr) {
        err << "makevorndisk: cannot use the image '" << target.image.path << "': " << error << "\n";
        target.image.Undo();
        return kExitTargetUnusable;
    }
    if (hook) target.drive = hook(std::move(target.drive));
    target.drive = GuardDrive(std::move(target.drive), gate);
    const ImageTarget& image = target.image;
    target.description = "image " + image.path + " (" + std::to_string(image.sectors) + " sectors" +
                         (image.created    ? ", created"
                          : image.wasEmpty ? ", an empty file given its size"
                                           : ", " + std::to_string(image.existingBytes) + " bytes, existing") +
                         ")";
    target.note = image.Description();
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

int RunMake(const CommandLine& line, std::ostream& out, std::ostream& err, const DriveHook& hook) {
    WatchInterrupts();
    if (const std::string problem = PreflightProblem(line); !problem.empty()) {
        err << "makevorndisk: nothing was written: " << problem << "\n";
        return kExitTargetUnusable;
    }
    Target target;
    if (const int failed = OpenTarget(line, hook, target, err); failed != kExitMade) return failed;

    Console console(out, err, platform::host::StderrIsTerminal(), InterruptDescriptor());
    console.Line("target: " + target.description + " as drive " + kDriveLetter + ":");
    ProgressReport progress(console);
    platform::HostSystem host;
    host.AttachDrive(kDriveLetter, target.drive);
    host.SetSleepWakeDescriptor(InterruptDescriptor());
    host.SetActivityListener([&progress](const platform::HostSystem::Activity& activity) { progress.Take(activity); });
    ConsoleOperator op(console, ConfirmationOf(line),
                       std::string("Drive ") + kDriveLetter + ":\\ is " + target.note + "; everything on it is lost.",
                       !platform::host::StdoutIsTerminal());
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

    const MakeOutcome outcome = JudgeMake(record);
    const bool nothingWritten = !driveListed || !record.confirmationAsked || !record.confirmed;
    const int signal = InterruptSignal();
    // A new image that was declined, or that an interrupt left unfinished,
    // is not left behind; an existing one is reported.
    std::string undone;
    if (nothingWritten || (signal != 0 && outcome.exitCode != kExitMade)) undone = target.image.Undo();
    target.image.Finished();
    target.drive.reset();
    // Whatever the make left on the system (a mount that would not go, a
    // helper program) goes now.
    if (const int left = platform::host::RemoveLeftoversNow(); left > 0) {
        err << "makevorndisk: took away " << left << " thing(s) the make left on the system\n";
    }

    if (signal != 0) {
        std::string summary = "interrupted by " + SignalName(signal);
        if (nothingWritten) {
            summary += ": nothing was written";
        } else if (outcome.exitCode == kExitMade) {
            summary += " after the make had completed on " + target.description;
        } else {
            summary += ": the make stopped before its end";
            if (line.device) summary += "; " + *line.device + " is not finished, make it again";
            if (!line.device && undone.empty()) summary += "; " + target.image.path + " is not finished, make it again";
        }
        if (!undone.empty()) summary += "; " + undone;
        err << "makevorndisk: " << summary << " (exit code " << InterruptedExitCode(signal) << ")\n";
        return InterruptedExitCode(signal);
    }
    if (!driveListed) return kExitTargetUnusable;
    if (outcome.exitCode == kExitMade) {
        console.Line("makevorndisk: " + outcome.summary + " on " + target.description);
    } else {
        err << "makevorndisk: " << outcome.summary << (undone.empty() ? "" : "; " + undone) << " (exit code "
            << outcome.exitCode << ")\n";
    }
    return outcome.exitCode;
}

int ListDisks(std::ostream& out, std::ostream& err) {
    const platform::host::RemovableDiskList list = platform::host::ListRemovableDisks();
    if (!list.error.empty()) {
        err << "makevorndisk: the removable disks cannot be listed: " << list.error << "\n";
        return kExitTargetUnusable;
    }
    const auto describe = [](const platform::host::RemovableDisk& disk) {
        std::ostringstream text;
        text << disk.devicePath << "  " << disk.sizeBytes / scsi::kSectorSize << " sectors (" << std::fixed
             << std::setprecision(1) << static_cast<double>(disk.sizeBytes) / 1e9 << " GB)  " << disk.vendor << "  "
             << disk.model;
        return text.str();
    };
    if (list.disks.empty()) out << "no removable disk that may be written was found\n";
    for (const platform::host::RemovableDisk& disk : list.disks) out << describe(disk) << "\n";
    if (!list.leftOut.empty()) {
        out << "left out:\n";
        for (const platform::host::RemovableDisk& disk : list.leftOut) {
            out << "  " << describe(disk) << ": it " << disk.refusal << "\n";
        }
    }
    return kExitMade;
}

}  // namespace cli
