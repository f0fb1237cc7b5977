#include "host/leftovers.h"

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

namespace platform::host {

namespace {

struct Entry {
    Leftover::Kind kind;
    std::string path;
    pid_t group;
    // A file's identity when it was registered: the path may name another
    // file by the time it is removed, which is then left alone.
    dev_t device = 0;
    ino_t inode = 0;
};

bool SameFile(const Entry& entry) {
    struct stat now {};
    return ::lstat(entry.path.c_str(), &now) == 0 && now.st_dev == entry.device && now.st_ino == entry.inode;
}

std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::uint64_t, Entry>& Entries() {
    static std::map<std::uint64_t, Entry> entries;
    return entries;
}

std::uint64_t nextId = 1;

void Remove(const Entry& entry) {
    std::error_code ignored;
    switch (entry.kind) {
    case Leftover::Kind::kChildGroup:
        if (entry.group > 0) ::kill(-entry.group, SIGKILL);
        break;
    case Leftover::Kind::kMountFolder:
        // Detached at once; the file system goes when its last file closes.
        ::umount2(entry.path.c_str(), MNT_DETACH);
        ::rmdir(entry.path.c_str());
        break;
    case Leftover::Kind::kFolder:
        std::filesystem::remove_all(entry.path, ignored);
        break;
    case Leftover::Kind::kFile:
        if (SameFile(entry)) std::filesystem::remove(entry.path, ignored);
        break;
    }
}

}  // namespace

Leftover::Leftover(Kind kind, std::string path, pid_t group) {
    Entry entry{kind, std::move(path), group};
    if (kind == Kind::kFile) {
        struct stat info {};
        if (::lstat(entry.path.c_str(), &info) == 0) {
            entry.device = info.st_dev;
            entry.inode = info.st_ino;
        }
    }
    std::lock_guard lock(Mutex());
    id_ = nextId++;
    Entries().emplace(id_, std::move(entry));
}

Leftover::Leftover(Leftover&& other) noexcept : id_(std::exchange(other.id_, 0)) {}

Leftover& Leftover::operator=(Leftover&& other) noexcept {
    if (this != &other) {
        Forget();
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void Leftover::Forget() {
    if (id_ == 0) return;
    std::lock_guard lock(Mutex());
    Entries().erase(id_);
    id_ = 0;
}

int RemoveLeftoversNow() {
    std::map<std::uint64_t, Entry> entries;
    {
        std::lock_guard lock(Mutex());
        entries.swap(Entries());
    }
    // Children first, so that none of them still writes into a mount or
    // folder that is being taken away; mounts before the folders they may
    // sit in.
    for (const Leftover::Kind kind : {Leftover::Kind::kChildGroup, Leftover::Kind::kMountFolder,
                                      Leftover::Kind::kFolder, Leftover::Kind::kFile}) {
        for (const auto& [id, entry] : entries) {
            if (entry.kind == kind) Remove(entry);
        }
    }
    return static_cast<int>(entries.size());
}

int LeftoverCount() {
    std::lock_guard lock(Mutex());
    return static_cast<int>(Entries().size());
}

}  // namespace platform::host
