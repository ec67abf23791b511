// quillet-info: the image analysis from the command line.
#pragma once

#include "cli/CommandLine.h"

#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace quillet {

// The options --help lists.
std::vector<OptionSpelling> QuilletInfoOptions();

// Runs the tool with the arguments after the program name; returns the exit status.
int RunQuilletInfo(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

} // namespace quillet
