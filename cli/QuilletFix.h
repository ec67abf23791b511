// quillet-fix: the repairs the analysis calls for, from the command line.
#pragma once

#include "cli/CommandLine.h"
#include "files/SafeWrite.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace quillet {

// The options --help lists.
std::vector<OptionSpelling> QuilletFixOptions();

// Runs the tool with the arguments after the program name, writing files through `files`;
// returns the exit status.
int RunQuilletFix(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                  FileLayer& files);

} // namespace quillet
