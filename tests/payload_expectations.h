// What a make leaves in the root of the new volume, from the payload table
// (payload/payload_table.h, made from res/payload/payload_list.cmake): the
// files in install order and the attributes each ends with, and the
// notations of mtools in which the tests read or give them.
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

#include "payload/payload_table.h"

namespace payload_expectations {

// The attributes a payload file ends with: those of its last step, or the
// archive bit of a new file when it takes none.
constexpr std::uint32_t FinalAttributes(const PayloadFile& file) {
    std::uint32_t attributes = FILE_ATTRIBUTE_ARCHIVE;
    for (std::uint32_t step : file.attributeSteps) {
        if (step != 0) attributes = step;
    }
    return attributes;
}

// The attributes mattrib lists for the root file name: its line ends in
// "::/NAME" after the letters A, S, H and R of the bits set (columns and
// spacing aside). Empty when the file is not listed.
inline std::optional<std::uint32_t> MattribAttributes(const std::string& listing, const std::string& name) {
    std::istringstream lines(listing);
    const std::string suffix = "::/" + name;
    for (std::string line; std::getline(lines, line);) {
        if (line.size() < suffix.size() || line.compare(line.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string flags = line.substr(0, line.size() - suffix.size());
        std::uint32_t attributes = 0;
        if (flags.find('R') != std::string::npos) attributes |= FILE_ATTRIBUTE_READONLY;
        if (flags.find('H') != std::string::npos) attributes |= FILE_ATTRIBUTE_HIDDEN;
        if (flags.find('S') != std::string::npos) attributes |= FILE_ATTRIBUTE_SYSTEM;
        if (flags.find('A') != std::string::npos) attributes |= FILE_ATTRIBUTE_ARCHIVE;
        return attributes;
    }
    return std::nullopt;
}

// The mattrib arguments that give a file just copied by mcopy (archive
// set, nothing else) these attributes: "+r +h +s -a"; empty when the
// archive bit alone is wanted.
inline std::string MattribArguments(std::uint32_t attributes) {
    std::string arguments;
    auto add = [&arguments](const char* argument) { arguments += (arguments.empty() ? "" : " ") + std::string(argument); };
    if (attributes & FILE_ATTRIBUTE_READONLY) add("+r");
    if (attributes & FILE_ATTRIBUTE_HIDDEN) add("+h");
    if (attributes & FILE_ATTRIBUTE_SYSTEM) add("+s");
    if (!(attributes & FILE_ATTRIBUTE_ARCHIVE)) add("-a");
    return arguments;
}

// The root file's 8.3 name as mdir lists it: the base name padded to eight
// characters, a blank, the extension ("VORN     exe").
inline std::string MdirShortName(const std::string& name) {
    const std::size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    base.resize(8, ' ');
    return base + " " + (dot == std::string::npos ? std::string() : name.substr(dot + 1));
}

}  // namespace payload_expectations
