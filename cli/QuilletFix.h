// quillet-fix: the repairs the analysis calls for, from the command line.
#pragma once

#include "cli/CommandLine.h"
#include "cli/SafeWrite.h"

#include <ostream>
#include <span>
#include <string>

namespace quillet {

// Runs the tool with the arguments after the program name, writing files through `files`;
// returns the exit status.
int RunQuilletFix(std::span<const std::string> arguments, std::ostream& out, std::ostream& err,
                  FileLayer& files);

} // namespace quillet
