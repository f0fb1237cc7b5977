// A FAT volume inside an image file, written with mtools (mcopy, mattrib)
// at the volume's byte offset ("-i IMAGE@@OFFSET"). Each call runs one tool
// to completion, so files land on the volume in the order they are copied.
#pragma once

#include <cstdint>
#include <string>

namespace platform::host {

class MtoolsVolume {
public:
    MtoolsVolume(std::string imagePath, std::uint64_t byteOffset);

    // Copies the host file into the root as name, replacing a file of that
    // name. Empty on success, else what went wrong.
    std::string Copy(const std::string& hostPath, const std::string& name) const;
    // Sets exactly these attributes (read-only 1, hidden 2, system 4,
    // archive 0x20) on the root file name.
    std::string SetAttributes(const std::string& name, std::uint32_t attributes) const;

private:
    std::string Run(const std::string& tool, const std::string& what, std::initializer_list<std::string> tail) const;

    std::string imagePath_;
    std::uint64_t byteOffset_;
};

}  // namespace platform::host
