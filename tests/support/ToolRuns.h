// The command-line tools run in-process, as the tests run them: the exit status and what each
// stream said.
#pragma once

#include "base/Utf8.h"
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

// Whether a tool's output holds `part`.
inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The reports in a tool's output: JSON lines, or blocks of text that end in a blank line.
inline std::vector<std::string> Reports(const std::string& out, const std::string& end = "\n") {
    std::vector<std::string> reports;
    for (std::size_t at = 0, next; (next = out.find(end, at)) != std::string::npos;
         at = next + end.size())
        reports.push_back(out.substr(at, next - at));
    return reports;
}

// A path as a folder's listing gives it: with the system's separators.
inline std::string Listed(const std::string& path) {
    return Utf8FromPath(PathFromUtf8(path).make_preferred());
}

} // namespace quillet::testing
