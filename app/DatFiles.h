// The DAT files in use: their list, kept in the settings file in a section of its own, and
// the games read from them. A file that cannot be read stays in the list with the reason.
#pragma once

#include "dat/DatFile.h"
#include "rom/ImageDetails.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet::app {

inline constexpr const char* kDatFilesSection = "DAT Files";

struct DatFileEntry {
    std::string path;
    bool read = false;
    std::size_t roms = 0;
    std::string problem; // why it could not be read, when it could not
    // "1234 ROMs", or the problem.
    std::string Status() const;
};

// Bytes of `path` done and in all, while the files are read.
using DatReadProgress =
    std::function<void(const std::string& path, std::uint64_t done, std::uint64_t total)>;

class TDatFiles {
public:
    // The list as the settings file keeps it; the files are not read yet.
    void LoadList();
    void SaveList() const;

    const std::vector<DatFileEntry>& Entries() const { return entries_; }
    // False when the file is in the list already.
    bool Add(const std::string& path);
    void Remove(std::size_t index);

    // Reads every file of the list again, from scratch.
    void ReadAll(const DatReadProgress& progress = {});

    // The games read, shared with whoever looks them up on another thread while the list is
    // read again; none when no DAT file is in use.
    std::shared_ptr<const DatCollection> Collection() const;

private:
    std::vector<DatFileEntry> entries_;
    std::shared_ptr<const DatCollection> collection_ = std::make_shared<DatCollection>();
};

} // namespace quillet::app
