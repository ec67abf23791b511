// The command-line tools run in-process, as the tests run them: the exit status and what each
// stream said.
#pragma once

#include "cli/QuilletFix.h"
#include "cli/QuilletInfo.h"
#include "tests/support/FailingFileLayer.h"

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quillet::testing {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun Info(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunQuilletInfo(arguments, out, err);
    return {status, out.str(), err.str()};
}

// quillet-fix on the system's files, or failing at the write step given.
inline ToolRun Fix(const std::vector<std::string>& arguments,
                   std::optional<WriteStep> failAt = std::nullopt) {
    FailingFileLayer files(failAt);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunQuilletFix(arguments, out, err, files);
    return {status, out.str(), err.str()};
}

} // namespace quillet::testing
