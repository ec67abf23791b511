// quillet-fix's patches: applying one before the repairs, and making one.
#pragma once

#include "files/SafeWrite.h"
#include "rom/PatchFile.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace quillet {

struct PatchOptions {
    std::optional<std::string> patch;    // --patch
    PatchWay way = PatchWay::Choose;     // --patch-file, --patch-data
    std::optional<std::string> makeFrom; // --make-patch ORIGINAL
    std::optional<PatchFormat> format;   // --format
};

// Checks the patch options against the rest of the command line; the problem for a usage
// error, or empty.
std::optional<std::string> PatchOptionsProblem(const PatchOptions& patching, bool repairs,
                                               bool hasOutput, bool inPlace, std::size_t fileCount);

// --make-patch: writes a patch that turns `original` into `file` to `output`, or says what it
// would write. Returns the exit status.
struct MakePatchRequest {
    std::string original;
    std::string file;
    std::string output;
    PatchFormat format = PatchFormat::Bps;
    bool force = false;
    bool dryRun = false;
};
int MakePatchCommand(const MakePatchRequest& request, std::ostream& out, std::ostream& err,
                     FileLayer& files);

} // namespace quillet
