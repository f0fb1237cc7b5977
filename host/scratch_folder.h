// Private scratch folders of the make (mode 0700, made by mkdtemp) in the
// system's temporary folder: $TMPDIR when it is set, else /tmp.
#pragma once

#include <string>

namespace platform::host {

// The folder the scratch folders are made in.
std::string TemporaryFolder();

// A new folder named prefix-XXXXXX there; empty with *error set (the
// system's reason) when none can be made.
std::string MakeScratchFolder(const std::string& prefix, std::string* error);

// Whether a scratch folder can be made now: empty when it can, else why not.
std::string ScratchFolderProblem();

}  // namespace platform::host
