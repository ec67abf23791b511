// quillet-info: the image analysis from the command line.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace quillet {

inline constexpr int kExitAllAnalysed = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs the tool with the arguments after the program name; returns the exit status.
int RunQuilletInfo(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

} // namespace quillet
