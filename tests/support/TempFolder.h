// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillet::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to a file of that name (UTF-8) in the folder and returns its full path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

// A file's bytes, and the names in a folder in order (UTF-8): what tests read back.
std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path);
std::vector<std::string> Names(const std::filesystem::path& folder);

} // namespace quillet::testing
