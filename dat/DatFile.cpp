#include "dat/DatFile.h"

#include "base/ByteSource.h"
#include "base/NumberFormat.h"
#include "dat/XmlElements.h"

#include <algorithm>
#include <cctype>
#include <new>

namespace quillet {

namespace {

constexpr std::size_t kReadChunk = 1 << 20;
constexpr const char* kTooLarge = "too large to hold in memory";

// Thrown inside the walk; the caller adds the file's name.
struct Problem {
    std::uint64_t line;
    std::string reason;
};

const std::string* Attribute(const XmlElementStart& element, std::string_view name) {
    for (const XmlAttribute& attribute : element.attributes) {
        if (attribute.name == name)
            return &attribute.value;
    }
    return nullptr;
}

bool AllOf(const std::string& text, int (*test)(int)) {
    return std::all_of(text.begin(), text.end(),
                       [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Builds the ROM list from the element starts of a Logiqx document.
class DatBuilder {
public:
    void Element(const XmlElementStart& element) {
        if (element.depth == 0) {
            if (seenRoot_)
                throw Problem{element.line, "a second root element <" + element.name + ">"};
            seenRoot_ = true;
            if (element.name != "datafile")
                throw Problem{element.line, "not a Logiqx DAT file: the root element is <" +
                                                element.name + ">, not <datafile>"};
        } else if (element.depth == 1) {
            inGame_ = element.name == "game" || element.name == "machine";
            if (inGame_) {
                const std::string* name = Attribute(element, "name");
                if (name == nullptr)
                    throw Problem{element.line, "a <" + element.name + "> without a name"};
                game_ = *name;
            }
        } else if (element.depth == 2 && inGame_ && element.name == "rom") {
            roms_.push_back(Rom(element));
        }
    }

    std::vector<DatRom> Take() { return std::move(roms_); }

private:
    DatRom Rom(const XmlElementStart& element) const {
        DatRom rom;
        rom.game = game_;
        const std::string* name = Attribute(element, "name");
        rom.name = name != nullptr ? *name : "";
        const auto bad = [&](const char* what, const std::string& value) {
            return Problem{element.line, "ROM \"" + rom.name + "\" of \"" + game_ + "\" has " +
                                             what + " \"" + value + "\""};
        };
        if (const std::string* size = Attribute(element, "size")) {
            if (size->empty() || size->size() > 19 || !AllOf(*size, std::isdigit))
                throw bad("a malformed size", *size);
            rom.size = std::stoull(*size);
        }
        if (const std::string* crc = Attribute(element, "crc")) {
            if (crc->empty() || crc->size() > 8 || !AllOf(*crc, std::isxdigit))
                throw bad("a malformed crc", *crc);
            rom.crc32 = std::string(8 - crc->size(), '0') + Lower(*crc);
        }
        if (const std::string* sha1 = Attribute(element, "sha1")) {
            if (sha1->size() != 40 || !AllOf(*sha1, std::isxdigit))
                throw bad("a malformed sha1", *sha1);
            rom.sha1 = Lower(*sha1);
        }
        return rom;
    }

    bool seenRoot_ = false;
    bool inGame_ = false;
    std::string game_;
    std::vector<DatRom> roms_;
};

std::string Where(const std::string& name, std::uint64_t line) {
    return "DAT file " + name + ": " +
           (line > 0 ? "line " + FormatDecimal(static_cast<std::int64_t>(line)) + ": " : "");
}

} // namespace

void DatCollection::Load(const std::string& path, const DatProgress& progress) {
    std::string document;
    try {
        FileSource file(path);
        const std::uint64_t total = file.Size();
        if (total > document.max_size())
            throw EDatError("DAT file " + path + ": too large");
        document.resize(static_cast<std::size_t>(total));
        std::uint64_t done = 0;
        while (done < total) {
            const auto wanted =
                static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, total - done));
            const std::size_t got = file.ReadAt(
                done, std::span(reinterpret_cast<std::uint8_t*>(document.data()) + done, wanted));
            if (got == 0)
                throw EDatError("DAT file " + path + ": it shrank while it was read");
            done += got;
            if (progress)
                progress(done, total);
        }
    } catch (const EStreamError& failure) {
        throw EDatError("Cannot read DAT file: " + failure.Message());
    } catch (const std::bad_alloc&) {
        throw EDatError(Where(path, 0) + kTooLarge);
    }
    LoadDocument(path, document);
    if (progress && document.empty())
        progress(0, 0);
}

void DatCollection::LoadDocument(const std::string& name, std::string_view document) {
    DatBuilder builder;
    try {
        ReadXmlElements(std::span(document.data(), document.size()),
                        [&](const XmlElementStart& element) { builder.Element(element); });
    } catch (const EXmlError& failure) {
        throw EDatError(Where(name, failure.Line()) + failure.Message());
    } catch (const Problem& problem) {
        throw EDatError(Where(name, problem.line) + problem.reason);
    } catch (const std::bad_alloc&) {
        throw EDatError(Where(name, 0) + kTooLarge);
    }

    const std::size_t before = roms_.size();
    try {
        for (DatRom& rom : builder.Take()) {
            const std::size_t index = roms_.size();
            roms_.push_back(std::move(rom));
            const DatRom& added = roms_.back();
            if (!added.sha1.empty())
                bySha1_.try_emplace(added.sha1, index);
            else if (!added.crc32.empty())
                byCrc32AndSize_.try_emplace(added.crc32 + ":" + std::to_string(added.size), index);
        }
    } catch (const std::bad_alloc&) {
        // The collection goes back to what it was: nothing of this file stays.
        roms_.resize(before);
        std::erase_if(bySha1_, [&](const auto& entry) { return entry.second >= before; });
        std::erase_if(byCrc32AndSize_, [&](const auto& entry) { return entry.second >= before; });
        throw EDatError(Where(name, 0) + kTooLarge);
    }
}

std::optional<DatHit> DatCollection::Find(std::string_view sha1, std::string_view crc32,
                                          std::uint64_t size) const {
    if (const auto found = bySha1_.find(std::string(sha1)); found != bySha1_.end())
        return DatHit{roms_[found->second].game, DatKey::Sha1};
    const std::string key = std::string(crc32) + ":" + std::to_string(size);
    if (const auto found = byCrc32AndSize_.find(key); found != byCrc32AndSize_.end())
        return DatHit{roms_[found->second].game, DatKey::Crc32AndSize};
    return std::nullopt;
}

DatMatch MatchInDats(const DatCollection& dats, const ImageDetails& details) {
    const std::optional<DatHit> hit =
        dats.Find(details.data.digests.sha1, details.data.digests.crc32, details.data.size);
    if (!hit)
        return {};
    return {hit->key == DatKey::Sha1 ? DatMatchKind::Sha1 : DatMatchKind::Crc32AndSize, hit->game};
}

} // namespace quillet
