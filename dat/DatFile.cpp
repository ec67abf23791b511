#include "dat/DatFile.h"

#include "archive/Archive.h"
#include "base/ByteSource.h"
#include "base/NumberFormat.h"
#include "base/Utf8.h"
#include "dat/RomFields.h"
#include "dat/XmlElements.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <new>

namespace quillet {

namespace {

constexpr std::size_t kReadChunk = 1 << 20;
// Enough of a file's start to tell its format, whatever white space comes first.
constexpr std::size_t kSniffSize = 4096;
constexpr const char* kTooLarge = "too large to hold in memory";

const std::string* Attribute(const XmlElementStart& element, std::string_view name) {
    for (const XmlAttribute& attribute : element.attributes) {
        if (attribute.name == name)
            return &attribute.value;
    }
    return nullptr;
}

// Plain ASCII tests, inlined: the locale's functions cost more than the rest of a ROM's
// checks, thousands of times per file.
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <typename Test> bool AllOf(const std::string& text, Test test) {
    return std::all_of(text.begin(), text.end(), test);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::optional<DatField> Field(const XmlElementStart& element, std::string_view name) {
    if (const std::string* value = Attribute(element, name))
        return DatField{*value, element.line};
    return std::nullopt;
}

// Builds the ROM list from the element starts of a Logiqx document.
class DatBuilder {
public:
    void Element(const XmlElementStart& element) {
        if (element.depth == 0) {
            if (seenRoot_)
                throw DatProblem{element.line, "a second root element <" + element.name + ">"};
            seenRoot_ = true;
            if (element.name != "datafile")
                throw DatProblem{element.line,
                                 "the root element is <" + element.name + ">, not <datafile>"};
        } else if (element.depth == 1) {
            inGame_ = element.name == "game" || element.name == "machine";
            if (inGame_) {
                const std::string* name = Attribute(element, "name");
                if (name == nullptr)
                    throw DatProblem{element.line, "a <" + element.name + "> without a name"};
                game_ = *name;
            }
        } else if (element.depth == 2 && inGame_ && element.name == "rom") {
            RawRom raw;
            raw.line = element.line;
            if (const std::string* name = Attribute(element, "name"))
                raw.name = *name;
            raw.size = Field(element, "size");
            raw.crc = Field(element, "crc");
            raw.sha1 = Field(element, "sha1");
            raw.sha256 = Field(element, "sha256");
            const std::string* status = Attribute(element, "status");
            raw.badDump = status != nullptr && *status == "baddump";
            roms_.push_back(MakeRom(raw, game_));
        }
    }

    std::vector<DatRom> Take() { return std::move(roms_); }

private:
    bool seenRoot_ = false;
    bool inGame_ = false;
    std::string game_;
    std::vector<DatRom> roms_;
};

std::vector<DatRom> ReadLogiqxRoms(std::string_view document) {
    DatBuilder builder;
    try {
        ReadXmlElements(std::span(document.data(), document.size()),
                        [&](const XmlElementStart& element) { builder.Element(element); });
    } catch (const EXmlError& failure) {
        throw DatProblem{failure.Line(), failure.Message()};
    }
    return builder.Take();
}

const char* FormatName(DatFormat format) {
    return format == DatFormat::LogiqxXml ? "a Logiqx XML DAT" : "a clrmamepro DAT";
}

std::string Where(const std::string& name) {
    return "DAT file " + name + ": ";
}

std::string Failure(const std::string& name, DatFormat format, const DatProblem& problem) {
    return Where(name) + "looks like " + FormatName(format) + ", but " +
           (problem.line > 0
                ? "line " + FormatDecimal(static_cast<std::int64_t>(problem.line)) + ": "
                : "") +
           problem.reason;
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

bool NamedLikeDat(const std::filesystem::path& path) {
    const std::string extension = Lower(Utf8FromPath(path.extension()));
    return extension == ".dat" || extension == ".xml";
}

// The format the file's start looks like; Unknown also when it cannot be read.
DatFormat SniffFile(const std::string& path) {
    try {
        FileSource file(path);
        std::string start(
            static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), kSniffSize)), '\0');
        start.resize(
            file.ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(start.data()), start.size())));
        return DetectDatFormat(start);
    } catch (const Exception&) {
        return DatFormat::Unknown;
    }
}

} // namespace

DatRom MakeRom(const RawRom& raw, const std::string& game) {
    DatRom rom;
    rom.game = game;
    rom.name = raw.name;
    rom.badDump = raw.badDump;
    const auto bad = [&](const char* what, const DatField& field) {
        return DatProblem{field.line, "ROM \"" + rom.name + "\" of \"" + game + "\" has " + what +
                                          " \"" + field.value + "\""};
    };
    if (const auto& size = raw.size) {
        if (size->value.empty() || size->value.size() > 19 || !AllOf(size->value, IsDigit))
            throw bad("a malformed size", *size);
        rom.size = std::stoull(size->value);
    }
    if (const auto& crc = raw.crc) {
        if (crc->value.empty() || crc->value.size() > 8 || !AllOf(crc->value, IsHexDigit))
            throw bad("a malformed crc", *crc);
        rom.crc32 = std::string(8 - crc->value.size(), '0') + Lower(crc->value);
    }
    if (const auto& sha1 = raw.sha1) {
        if (sha1->value.size() != 40 || !AllOf(sha1->value, IsHexDigit))
            throw bad("a malformed sha1", *sha1);
        rom.sha1 = Lower(sha1->value);
    }
    if (const auto& sha256 = raw.sha256) {
        if (sha256->value.size() != 64 || !AllOf(sha256->value, IsHexDigit))
            throw bad("a malformed sha256", *sha256);
        rom.sha256 = Lower(sha256->value);
    }
    return rom;
}

DatFormat DetectDatFormat(std::string_view start) {
    // A byte-order mark of UTF-16 says XML: the text format is 8-bit only.
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF"))
        return DatFormat::LogiqxXml;
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t at = 0;
    while (at < start.size() && space(start[at]))
        ++at;
    if (at < start.size() && start[at] == '<')
        return DatFormat::LogiqxXml;
    const std::size_t word = at;
    while (at < start.size() && IsWordChar(start[at]))
        ++at;
    if (at == word)
        return DatFormat::Unknown;
    while (at < start.size() && space(start[at]))
        ++at;
    return at < start.size() && start[at] == '(' ? DatFormat::Clrmamepro : DatFormat::Unknown;
}

void DatCollection::Load(const std::string& path, const DatProgress& progress) {
    if (ArchiveFormatOf(path)) {
        LoadFromArchive(path);
        return;
    }
    std::string document;
    try {
        FileSource file(path);
        const std::uint64_t total = file.Size();
        if (total > document.max_size())
            throw EDatError(Where(path) + "too large");
        document.resize(static_cast<std::size_t>(total));
        std::uint64_t done = 0;
        while (done < total) {
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, total - done));
            const std::size_t got = file.ReadAt(
                done, std::span(reinterpret_cast<std::uint8_t*>(document.data()) + done, wanted));
            if (got == 0)
                throw EDatError(Where(path) + "it shrank while it was read");
            done += got;
            if (progress)
                progress(done, total);
        }
    } catch (const EStreamError& failure) {
        throw EDatError("Cannot read DAT file: " + failure.Message());
    } catch (const std::bad_alloc&) {
        throw EDatError(Where(path) + kTooLarge);
    }
    LoadDocument(path, document);
    if (progress && document.empty())
        progress(0, 0);
}

void DatCollection::LoadFromArchive(const std::string& path) {
    // DATs travel zipped, as their publishers hand them out: the first member that is one.
    std::string name;
    std::vector<std::uint8_t> bytes;
    try {
        ArchiveReader archive(path);
        while (const std::optional<ArchiveMember> member = archive.Next()) {
            std::string lower = member->name;
            std::ranges::transform(lower, lower.begin(), [](char c) {
                return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            });
            if (member->regular && (lower.ends_with(".dat") || lower.ends_with(".xml"))) {
                name = MemberPath(path, member->name);
                bytes = archive.ReadAll();
                break;
            }
        }
    } catch (const EStreamError& failure) {
        throw EDatError("Cannot read DAT file: " + failure.Message());
    }
    if (name.empty())
        throw EDatError(Where(path) + "no .dat or .xml file in the archive");
    LoadDocument(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::size_t DatCollection::LoadFolder(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    fs::recursive_directory_iterator entries(PathFromUtf8(folder), error);
    for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
        std::error_code typeError;
        if (entries->is_regular_file(typeError))
            files.push_back(entries->path());
    }
    if (error)
        throw EDatError("Cannot list DAT folder " + folder + ": " + error.message());
    std::sort(files.begin(), files.end());

    std::size_t loaded = 0;
    for (const fs::path& file : files) {
        const std::string path = Utf8FromPath(file);
        if (NamedLikeDat(file)) {
            Load(path);
        } else {
            if (SniffFile(path) == DatFormat::Unknown)
                continue;
            // Named otherwise, a file that only starts like a DAT file is some other text.
            try {
                Load(path);
            } catch (const EDatError&) {
                continue;
            }
        }
        ++loaded;
    }
    return loaded;
}

void DatCollection::LoadDocument(const std::string& name, std::string_view document) {
    if (document.empty())
        throw EDatError(Where(name) + "the file is empty");
    const DatFormat format = DetectDatFormat(document);
    if (format == DatFormat::Unknown)
        throw EDatError(Where(name) + "neither a Logiqx XML nor a clrmamepro DAT");
    std::vector<DatRom> roms;
    try {
        roms = format == DatFormat::LogiqxXml ? ReadLogiqxRoms(document)
                                              : ReadClrmameproRoms(document);
    } catch (const DatProblem& problem) {
        throw EDatError(Failure(name, format, problem));
    } catch (const std::bad_alloc&) {
        throw EDatError(Where(name) + kTooLarge);
    }

    const std::size_t before = roms_.size();
    const std::size_t sourcesBefore = sources_.size();
    try {
        sources_.push_back(name);
        for (DatRom& rom : roms) {
            const std::size_t index = roms_.size();
            rom.source = sourcesBefore;
            roms_.push_back(std::move(rom));
            const DatRom& added = roms_.back();
            const std::string crc32AndSize = added.crc32 + ":" + std::to_string(added.size);
            // What MayHoldSize and HashesToFind look at; a failed file may leave entries here,
            // which only make them say yes more often.
            sizeUnknown_ |= added.size == 0;
            sizes_.insert(added.size);
            crc32Unknown_ |= added.crc32.empty();
            StrongHashes& needed = crc32AndSizes_[crc32AndSize];
            // Each ROM by the strongest hash it has: one with a SHA-1 never matches a CRC alone.
            if (!added.sha256.empty()) {
                bySha256_.try_emplace(added.sha256, index);
                needed.sha256 = true;
            } else if (!added.sha1.empty()) {
                bySha1_.try_emplace(added.sha1, index);
                needed.sha1 = true;
            } else if (!added.crc32.empty()) {
                byCrc32AndSize_.try_emplace(crc32AndSize, index);
            }
        }
    } catch (const std::bad_alloc&) {
        // The collection goes back to what it was: nothing of this file stays.
        roms_.resize(before);
        sources_.resize(sourcesBefore);
        const auto added = [&](const auto& entry) { return entry.second >= before; };
        std::erase_if(bySha256_, added);
        std::erase_if(bySha1_, added);
        std::erase_if(byCrc32AndSize_, added);
        throw EDatError(Where(name) + kTooLarge);
    }
}

bool DatCollection::MayHoldSize(std::uint64_t size) const {
    return sizeUnknown_ || sizes_.contains(size);
}

std::optional<DatCollection::StrongHashes> DatCollection::HashesToFind(std::string_view crc32,
                                                                       std::uint64_t size) const {
    if (sizeUnknown_ || crc32Unknown_)
        return StrongHashes{true, true};
    const auto found = crc32AndSizes_.find(std::string(crc32) + ":" + std::to_string(size));
    if (found == crc32AndSizes_.end())
        return std::nullopt;
    return found->second;
}

std::optional<DatHit> DatCollection::Find(std::string_view sha256, std::string_view sha1,
                                          std::string_view crc32, std::uint64_t size) const {
    const auto hit = [&](std::size_t index, DatKey key) {
        const DatRom& rom = roms_[index];
        return DatHit{rom.game, rom.name, sources_[rom.source], key, rom.badDump, index};
    };
    if (const auto found = bySha256_.find(std::string(sha256)); found != bySha256_.end())
        return hit(found->second, DatKey::Sha256);
    if (const auto found = bySha1_.find(std::string(sha1)); found != bySha1_.end())
        return hit(found->second, DatKey::Sha1);
    const std::string key = std::string(crc32) + ":" + std::to_string(size);
    if (const auto found = byCrc32AndSize_.find(key); found != byCrc32AndSize_.end())
        return hit(found->second, DatKey::Crc32AndSize);
    return std::nullopt;
}

DatMatch MatchInDats(const DatCollection& dats, const ImageDetails& details) {
    const Digests& digests = details.data.digests;
    const std::optional<DatHit> hit =
        dats.Find(digests.sha256, digests.sha1, digests.crc32, details.data.size);
    if (!hit)
        return {};
    return {MatchKindOf(hit->key), hit->game, hit->rom, hit->source, hit->badDump};
}

DatMatchKind MatchKindOf(DatKey key) {
    switch (key) {
    case DatKey::Sha256:
        return DatMatchKind::Sha256;
    case DatKey::Sha1:
        return DatMatchKind::Sha1;
    case DatKey::Crc32AndSize:
        break;
    }
    return DatMatchKind::Crc32AndSize;
}

} // namespace quillet
