// Naming image files as a DAT file names their data: the collector's "rename to DAT names".
#pragma once

#include "files/SafeWrite.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

struct RenameRequest {
    std::vector<std::string> dats;  // DAT files, or folders of them
    std::vector<std::string> paths; // image files, or folders of them
    bool dryRun = false;
};

// Renames each image whose data the DAT files know to the ROM's name there, in the image's own
// folder; an image with a copier header keeps its own extension. Says what it does of each file
// on `out`, and why it refuses one on `err`. Returns the exit status: 0 when nothing was
// refused, 1 when anything was, 2 when a DAT file cannot be read.
int RenameFromDat(const RenameRequest& request, std::ostream& out, std::ostream& err,
                  FileLayer& files);

// Why a ROM name from a DAT file, which anyone may have written, cannot be a file's name in the
// image's folder on any system; empty when it can.
std::string UnsafeFileNameReason(std::string_view name);

} // namespace quillet
