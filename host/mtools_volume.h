// A FAT volume inside an image file, written with mtools (mcopy, mattrib)
// at the volume's byte offset. mtools is given the image as a descriptor
// we hold ("-i /dev/fd/3@@OFFSET"), never by its path: a path could name
// another file by the time a tool opens it, and mtools would split a path
// holding "@@" itself. Each call runs one tool to completion under a time
// limit, so files land on the volume in the order they are copied.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace platform::host {

class MtoolsVolume {
public:
    // How long one tool may run before it is ended.
    static constexpr std::chrono::seconds kToolTimeLimit{60};

    // imageDescriptor stays ours: the tools get a copy of it.
    MtoolsVolume(int imageDescriptor, std::uint64_t byteOffset);

    // Copies the host file into the root as name, replacing a file of that
    // name. Empty on success, else what went wrong.
    std::string Copy(const std::string& hostPath, const std::string& name) const;
    // Sets exactly these attributes (read-only 1, hidden 2, system 4,
    // archive 0x20) on the root file name.
    std::string SetAttributes(const std::string& name, std::uint32_t attributes) const;

    // The tools an image make needs, missing from PATH (empty: all there).
    static std::string MissingTools();

private:
    std::string Run(const std::string& tool, const std::string& what, std::initializer_list<std::string> tail) const;

    int imageDescriptor_;
    std::uint64_t byteOffset_;
};

}  // namespace platform::host
