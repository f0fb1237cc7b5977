// The image files of the benchmark: sparse files on the work folder's file
// system, made afresh for every run.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

// Creates (or empties) the file and gives it the size without writing any
// of it, then flushes the file system it is on so that the writeback of
// earlier runs does not fall into the next measurement. False when that
// fails.
bool MakeSparseFile(const std::string& path, std::uint64_t sizeBytes);
// Flushes what the page cache holds of the file to the disk below.
bool SyncFile(const std::string& path);
void RemoveFile(const std::string& path);

}  // namespace bench
