// DAT files in the Logiqx XML format that No-Intro and others publish: games, each with the
// ROM files that make it up and their sizes and hashes.
#pragma once

#include "base/Exceptions.h"
#include "rom/ImageDetails.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillet {

// A DAT file that cannot be read or is not a well-formed Logiqx DAT file. The message names
// the file, the line where the parser can tell it, and the reason.
class EDatError : public Exception {
public:
    using Exception::Exception;
};

struct DatRom {
    std::string game; // the name of the game the ROM belongs to
    std::string name;
    std::uint64_t size = 0;
    std::string crc32; // lower-case hexadecimal, empty when the DAT file gives none
    std::string sha1;
};

enum class DatKey { Sha1, Crc32AndSize };

struct DatHit {
    std::string game;
    DatKey key;
};

// Bytes of the file done and in all; called at least once per MiB read, and at the end.
using DatProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

class DatCollection {
public:
    // Adds the ROMs of the DAT file at `path`. Throws EDatError; the collection is unchanged
    // then.
    void Load(const std::string& path, const DatProgress& progress = {});

    // Adds the ROMs of a document already in memory; `name` stands for it in messages.
    void LoadDocument(const std::string& name, std::string_view document);

    // The game whose ROM has these hashes: by SHA-1 where the DAT file gives one, else by
    // CRC32 and size. Files loaded first win where several know the same data.
    std::optional<DatHit> Find(std::string_view sha1, std::string_view crc32,
                               std::uint64_t size) const;

    const std::vector<DatRom>& Roms() const { return roms_; }

private:
    std::vector<DatRom> roms_;
    std::unordered_map<std::string, std::size_t> bySha1_;
    std::unordered_map<std::string, std::size_t> byCrc32AndSize_;
};

// How the DAT files know an image's data: by its hashes, as Find looks them up.
DatMatch MatchInDats(const DatCollection& dats, const ImageDetails& details);

} // namespace quillet
