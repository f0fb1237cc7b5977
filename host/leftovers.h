// What a make leaves on the system while it runs: child processes, mount
// folders, scratch folders and a new image file. Each registers itself for
// as long as it exists (a Leftover object), so that a make that must end
// at once (a second interrupt) can take them all away in one call.
// Thread-safe.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace platform::host {

class Leftover {
public:
    enum class Kind {
        kChildGroup,   // a process group of children: killed
        kMountFolder,  // a folder a file system is mounted on: detached, then removed
        kFolder,       // a scratch folder: removed with what it holds
        kFile,         // a file the make created and has not finished: removed while the path names it
    };

    Leftover() = default;
    Leftover(Kind kind, std::string path, pid_t group = 0);
    ~Leftover() { Forget(); }
    Leftover(Leftover&& other) noexcept;
    Leftover& operator=(Leftover&& other) noexcept;
    Leftover(const Leftover&) = delete;
    Leftover& operator=(const Leftover&) = delete;

    // It is gone or taken care of: no longer removed by RemoveLeftoversNow.
    void Forget();

private:
    std::uint64_t id_ = 0;
};

// Kills every registered child group, detaches every mount, removes every
// folder and file; the list is empty afterwards. Returns how many there were.
int RemoveLeftoversNow();

// How many are registered now (for tests).
int LeftoverCount();

}  // namespace platform::host
