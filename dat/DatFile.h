// DAT files as No-Intro and others publish them, in Logiqx XML or in clrmamepro's text format:
// games, each with the ROM files that make it up and their sizes and hashes. The format is
// told from the content, never from the file's name.
#pragma once

#include "base/Exceptions.h"
#include "rom/ImageDetails.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace quillet {

// A DAT file that cannot be read or is not a well-formed DAT file. The message names the
// file, the format it looks like, the line where the parser can tell it, and the reason.
class EDatError : public Exception {
public:
    using Exception::Exception;
};

enum class DatFormat { Unknown, LogiqxXml, Clrmamepro };

// The format the start of a document looks like: markup, or a word opening a block.
DatFormat DetectDatFormat(std::string_view start);

struct DatRom {
    std::string game; // the name of the game the ROM belongs to
    std::string name;
    std::uint64_t size = 0;
    std::string crc32; // lower-case hexadecimal, empty when the DAT file gives none
    std::string sha1;
    std::string sha256;
    bool badDump = false;   // the DAT file knows the dump is bad
    std::size_t source = 0; // index into DatCollection::Sources()
};

enum class DatKey { Sha256, Sha1, Crc32AndSize };

struct DatHit {
    std::string game;
    std::string rom;
    std::string source; // the DAT file's name as it was loaded
    DatKey key = DatKey::Sha1;
    bool badDump = false;
    std::size_t index = 0; // into DatCollection::Roms()
};

// "sha256", "sha1" or "crc32+size", as a match by that key is called.
DatMatchKind MatchKindOf(DatKey key);

// Bytes of the file done and in all; called at least once per MiB read, and at the end.
using DatProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

class DatCollection {
public:
    // Adds the ROMs of the DAT file at `path`, or of the first DAT file in the zip, 7z or gz
    // archive at `path`. Throws EDatError; the collection is unchanged then.
    void Load(const std::string& path, const DatProgress& progress = {});

    // Adds every DAT file in `folder` and its subfolders, in name order, and returns how many.
    // Files named *.dat or *.xml must be DAT files; others are taken when their content is a
    // DAT file's and left out otherwise. Throws EDatError.
    std::size_t LoadFolder(const std::string& folder);

    // Adds the ROMs of a document already in memory; `name` stands for it in messages.
    void LoadDocument(const std::string& name, std::string_view document);

    // The game whose ROM has these hashes: by the strongest hash each ROM of the DAT files
    // gives, SHA-256, then SHA-1, else CRC32 and size. Files loaded first win where several
    // know the same data.
    std::optional<DatHit> Find(std::string_view sha256, std::string_view sha1,
                               std::string_view crc32, std::uint64_t size) const;

    // Whether some ROM may have data of this size: a cheap test before any hash. Yes where a
    // DAT file leaves a size out.
    bool MayHoldSize(std::uint64_t size) const;

    // The strong hashes Find needs for data of this CRC32 and size: those by which the ROMs of
    // that CRC32 and size are known. Nothing when no ROM has them; both where a DAT file leaves
    // the size or the CRC32 out.
    struct StrongHashes {
        bool sha256 = false;
        bool sha1 = false;
    };
    std::optional<StrongHashes> HashesToFind(std::string_view crc32, std::uint64_t size) const;

    const std::vector<DatRom>& Roms() const { return roms_; }
    const std::vector<std::string>& Sources() const { return sources_; }

private:
    void LoadFromArchive(const std::string& path);

    std::vector<DatRom> roms_;
    std::vector<std::string> sources_;
    std::unordered_map<std::string, std::size_t> bySha256_;
    std::unordered_map<std::string, std::size_t> bySha1_;
    std::unordered_map<std::string, std::size_t> byCrc32AndSize_;
    std::unordered_set<std::uint64_t> sizes_;
    std::unordered_map<std::string, StrongHashes> crc32AndSizes_;
    bool sizeUnknown_ = false;
    bool crc32Unknown_ = false;
};

// How the DAT files know an image's data: by its hashes, as Find looks them up.
DatMatch MatchInDats(const DatCollection& dats, const ImageDetails& details);

} // namespace quillet
