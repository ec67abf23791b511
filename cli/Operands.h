// What the command-line tools' operands stand for: image files, and the DAT files to look
// their data up in.
#pragma once

#include "dat/DatFile.h"

#include <string>
#include <vector>

namespace quillet {

// The files a command-line operand stands for: itself, or a directory's files in name order.
// `problem` says why a directory could not be listed.
std::vector<std::string> ExpandOperand(const std::string& operand, std::string& problem);

// Reads each DAT file, or every DAT file in a directory and its subdirectories, into `dats`.
// Throws EDatError, also for a directory without DAT files.
void LoadDats(DatCollection& dats, const std::vector<std::string>& paths);

} // namespace quillet
