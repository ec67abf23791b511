#include "cli/Operands.h"

#include "base/Utf8.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quillet {

std::vector<std::string> ExpandOperand(const std::string& operand, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = PathFromUtf8(operand);
    if (!fs::is_directory(folder, error))
        return {operand};

    std::vector<std::string> files;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_regular_file(typeError))
            files.push_back(Utf8FromPath(entries->path()));
    }
    if (error)
        problem = "cannot list directory " + operand + ": " + error.message();
    std::sort(files.begin(), files.end());
    return files;
}

void LoadDats(DatCollection& dats, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_directory(PathFromUtf8(path), error))
            dats.Load(path);
        else if (dats.LoadFolder(path) == 0)
            throw EDatError("no DAT files in directory " + path);
    }
}

} // namespace quillet
