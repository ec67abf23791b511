#include "dat/DatSteps.h"

#include "base/NumberFormat.h"
#include "rom/CopierFormats.h"
#include "rom/HeaderLayout.h"
#include "rom/ImageScanner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdio>

namespace quillet {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array kSteps = {DatStep::StripHeader, DatStep::Deinterleave, DatStep::TrimOverdump,
                               DatStep::TrimPadding};

// Copier headers come in multiples of 512 bytes in front of data in whole 32 KiB.
constexpr std::uint64_t kHeaderUnit = 512;
constexpr std::uint64_t kDataUnit = 32 * 1024;

// A name is close at one edit per this many letters of the longer one.
constexpr std::size_t kLettersPerEdit = 5;

bool Has(const ChecksumReport& report, ChecksumDiagnosis diagnosis) {
    return std::ranges::find(report.diagnosis, diagnosis) != report.diagnosis.end();
}

// The details of bytes taken as data from their first byte on; the steps need the header and
// the checksum's diagnosis, not the hashes.
ImageDetails ScanAsData(std::span<const std::uint8_t> data) {
    ImageScanner scanner(data.size(), 0, ScanHashes::LeftOut);
    scanner.Feed(data);
    return scanner.Finish(SNESImageInfo{});
}

// The size the internal header declares, when the data is larger and read as it is.
std::optional<std::uint64_t> DeclaredSurplus(const ImageDetails& details) {
    if (details.interleaved || details.data.offset != 0 || !details.cartridge)
        return std::nullopt;
    const std::optional<std::uint64_t> declared = DeclaredRomBytes(*details.cartridge);
    if (!declared || *declared >= details.data.size)
        return std::nullopt;
    return declared;
}

// A form of the data the steps are tried on: the data itself, a part of it or of another form,
// or bytes of a step's own; scanned once, when a trim first asks, however many look at it.
class Form {
public:
    explicit Form(std::span<const std::uint8_t> bytes, std::optional<ImageDetails> scan = {})
        : view_(bytes), scan_(std::move(scan)) {}
    explicit Form(Bytes owned) : owned_(std::move(owned)) {}

    std::span<const std::uint8_t> Data() const {
        return owned_ ? std::span<const std::uint8_t>(*owned_) : view_;
    }

    // The details of the bytes taken as data from their first byte on.
    const ImageDetails& Scan() {
        if (!scan_)
            scan_ = ScanAsData(Data());
        return *scan_;
    }

    Bytes Take() {
        if (owned_)
            return std::move(*owned_);
        return Bytes(view_.begin(), view_.end());
    }

private:
    std::optional<Bytes> owned_;
    std::span<const std::uint8_t> view_; // when the bytes are not owned
    std::optional<ImageDetails> scan_;
};

std::optional<Form> TrimPadding(Form& form) {
    const std::span<const std::uint8_t> data = form.Data();
    if (data.size() < 2)
        return std::nullopt;
    const ImageDetails& details = form.Scan();
    if (const auto declared = DeclaredSurplus(details);
        declared && Has(details.checksum, ChecksumDiagnosis::Padded))
        return Form(data.first(static_cast<std::size_t>(*declared)));
    // Without a header to trust, data padded up from a power of two.
    const std::uint64_t below = std::bit_floor(std::uint64_t{data.size() - 1});
    const auto surplus = data.subspan(static_cast<std::size_t>(below));
    if (std::ranges::all_of(surplus, [&](std::uint8_t byte) { return byte == surplus[0]; }))
        return Form(data.first(static_cast<std::size_t>(below)));
    return std::nullopt;
}

// The form after `step`; a part of `form`'s bytes stays theirs, so `form` must outlive it.
std::optional<Form> Apply(DatStep step, Form& form) {
    const std::span<const std::uint8_t> data = form.Data();
    switch (step) {
    case DatStep::StripHeader: {
        const std::uint64_t over = data.size() % kDataUnit;
        if (over == 0 || over % kHeaderUnit != 0 || over == data.size())
            return std::nullopt;
        return Form(data.subspan(static_cast<std::size_t>(over)));
    }
    case DatStep::Deinterleave:
        if (!CanInterleave(data.size()))
            return std::nullopt;
        return Form(Deinterleave(data));
    case DatStep::TrimOverdump: {
        const ImageDetails& details = form.Scan();
        const auto declared = DeclaredSurplus(details);
        if (!declared || !Has(details.checksum, ChecksumDiagnosis::Overdump))
            return std::nullopt;
        return Form(data.first(static_cast<std::size_t>(*declared)));
    }
    case DatStep::TrimPadding:
        return TrimPadding(form);
    }
    return std::nullopt;
}

std::optional<DatHit> Lookup(const DatCollection& dats, std::span<const std::uint8_t> bytes) {
    // Most forms tried match nothing: a size no ROM has, or a CRC32 none has, rules them out
    // before the strong hashes are computed, and then only those the DAT files know the
    // candidates by are.
    if (!dats.MayHoldSize(bytes.size()))
        return std::nullopt;
    char crc32[9];
    std::snprintf(crc32, sizeof crc32, "%08x", Crc32Of(bytes));
    const auto needed = dats.HashesToFind(crc32, bytes.size());
    if (!needed)
        return std::nullopt;
    Digests digests;
    if (needed->sha256 || needed->sha1) {
        DigestSet set(
            {.crc32 = false, .md5 = false, .sha1 = needed->sha1, .sha256 = needed->sha256});
        set.Update(bytes);
        digests = set.Finish();
    }
    return dats.Find(digests.sha256, digests.sha1, crc32, bytes.size());
}

std::string Quoted(const std::string& name) {
    return "'" + name + "'";
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : separator) + part;
    return text;
}

const char* HashName(DatKey key) {
    switch (key) {
    case DatKey::Sha256:
        return "its SHA-256 matches";
    case DatKey::Sha1:
        return "its SHA-1 matches";
    case DatKey::Crc32AndSize:
        break;
    }
    return "its CRC32 and size match";
}

// How the image holds the DAT's data, and what undoes it, step by step: `forms` are the data
// and the form after each step.
std::string ViaExplanation(const std::vector<Form*>& forms, const std::vector<DatStep>& steps,
                           const DatHit& hit) {
    std::vector<std::string> held;
    std::vector<std::string> undone;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const DatStep step = steps[i];
        const std::span<const std::uint8_t> now = forms[i]->Data();
        const std::span<const std::uint8_t> next = forms[i + 1]->Data();
        const std::uint64_t cut = now.size() - next.size();
        switch (step) {
        case DatStep::StripHeader: {
            const CopierFormat format =
                IdentifyCopierHeader(now.first(static_cast<std::size_t>(cut)));
            held.push_back("behind a " + FormatDecimal(static_cast<std::int64_t>(cut)) + "-byte " +
                           (format == CopierFormat::Unknown
                                ? std::string()
                                : std::string(CopierFormatName(format)) + " ") +
                           "copier header");
            undone.push_back("without the header");
            break;
        }
        case DatStep::Deinterleave:
            held.push_back("stored interleaved, as some copiers write HiROM games");
            undone.push_back("de-interleaved");
            break;
        case DatStep::TrimOverdump:
            held.push_back("overdumped with " + FormatByteCount(cut) + " that repeat earlier data");
            undone.push_back("cut to " + FormatByteCount(next.size()));
            break;
        case DatStep::TrimPadding:
            held.push_back("padded with " + FormatByteCount(cut) + " of 0x" +
                           FormatHex(now.back(), 2));
            undone.push_back("cut to " + FormatByteCount(next.size()));
            break;
        }
    }
    return "This image is the DAT's " + Quoted(hit.game) + " " + Join(held, " and ") + "; " +
           Join(undone, ", ") + ", " + HashName(hit.key) + ".";
}

struct Found {
    DatStepsMatch match;     // its bytes only when asked for
    std::string explanation; // how the image holds the DAT's data
};

// The first of the steps alone, then of the pairs in order, after which `data` matches. Each
// form is made once: the pairs start from the forms of the steps alone.
std::optional<Found> Search(const DatCollection& dats, Form& data, bool withBytes) {
    const auto found = [&](std::vector<DatStep> steps, const std::vector<Form*>& forms,
                           DatHit hit) {
        Found result{{std::move(steps), {}, std::move(hit)}, {}};
        result.explanation = ViaExplanation(forms, result.match.steps, result.match.hit);
        if (withBytes)
            result.match.bytes = forms.back()->Take();
        return result;
    };
    std::array<std::optional<Form>, kSteps.size()> alone;
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
        alone[i] = Apply(kSteps[i], data);
        if (!alone[i])
            continue;
        if (auto hit = Lookup(dats, alone[i]->Data()))
            return found({kSteps[i]}, {&data, &*alone[i]}, std::move(*hit));
    }
    for (std::size_t i = 0; i < kSteps.size(); ++i) {
        if (!alone[i])
            continue;
        for (std::size_t j = i + 1; j < kSteps.size(); ++j) {
            std::optional<Form> both = Apply(kSteps[j], *alone[i]);
            if (!both)
                continue;
            if (auto hit = Lookup(dats, both->Data()))
                return found({kSteps[i], kSteps[j]}, {&data, &*alone[i], &*both}, std::move(*hit));
        }
    }
    return std::nullopt;
}

// The data as a form, with the scan the details hold when they are of the data from its first
// byte on: the scan a step would make of it.
Form DataForm(std::span<const std::uint8_t> data, const ImageDetails* details) {
    if (details != nullptr && details->data.offset == 0 && details->data.size == data.size())
        return Form(data, *details);
    return Form(data);
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The revision a "(Rev N)" or "(Rev A)" tag names; 0 without one, as for a first release.
int RevisionTag(std::string_view name) {
    for (std::size_t at = name.find('('); at != std::string_view::npos;
         at = name.find('(', at + 1)) {
        const std::string_view rest = name.substr(at + 1);
        if (rest.size() < 5 || std::tolower(static_cast<unsigned char>(rest[0])) != 'r' ||
            std::tolower(static_cast<unsigned char>(rest[1])) != 'e' ||
            std::tolower(static_cast<unsigned char>(rest[2])) != 'v' || rest[3] != ' ')
            continue;
        const auto c = static_cast<unsigned char>(rest[4]);
        if (std::isdigit(c)) {
            int number = 0;
            for (std::size_t i = 4;
                 i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])) &&
                 number < 1000;
                 ++i)
                number = number * 10 + (rest[i] - '0');
            return number;
        }
        if (std::isupper(c))
            return c - 'A' + 1;
    }
    return 0;
}

// The header's version byte, read where the data holds it.
std::optional<int> VersionByte(const ImageDetails& details, std::span<const std::uint8_t> data) {
    if (!details.cartridge)
        return std::nullopt;
    std::uint64_t at = std::uint64_t{details.cartridge->address} + layout::kVersion;
    if (details.interleaved)
        at = InterleavedOffset(at, data.size());
    if (at >= data.size())
        return std::nullopt;
    return data[static_cast<std::size_t>(at)];
}

// What sets the image apart from the DAT's ROM it is named like.
std::string NearestExplanation(const DatRom& rom, const ImageDetails& details,
                               std::span<const std::uint8_t> data) {
    std::vector<std::string> differences;
    if (details.data.size != rom.size) {
        differences.push_back(
            "its data is " + FormatDecimal(static_cast<std::int64_t>(details.data.size)) +
            " bytes, the DAT's ROM " + FormatDecimal(static_cast<std::int64_t>(rom.size)));
    }
    const ChecksumReport& checksum = details.checksum;
    if (Has(checksum, ChecksumDiagnosis::Overdump))
        differences.push_back("it is overdumped, its surplus repeating earlier data");
    if (Has(checksum, ChecksumDiagnosis::Padded))
        differences.push_back("it is padded past the size its header declares");
    if (Has(checksum, ChecksumDiagnosis::Underdump))
        differences.push_back("it holds less data than its header declares");
    if (Has(checksum, ChecksumDiagnosis::DataChanged))
        differences.push_back("its checksum does not match its data, which was changed: "
                              "patched, hacked or badly dumped");
    // The decoded header does not keep the version byte: it is read from the data.
    if (const auto version = VersionByte(details, data)) {
        const int revision = RevisionTag(rom.name);
        if (*version != revision) {
            differences.push_back("its header's version byte says revision " +
                                  std::to_string(*version) + ", the DAT's ROM is revision " +
                                  std::to_string(revision) + ": another revision");
        }
    }
    std::string text = "Nothing in the DAT files matches; the nearest by name is " +
                       Quoted(rom.game) + " (" + Quoted(rom.name) + ", " +
                       FormatDecimal(static_cast<std::int64_t>(rom.size)) + " bytes). ";
    if (differences.empty())
        return text + "Size, checksum and revision agree: the data differs all the same.";
    std::string what = Join(differences, "; ");
    what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    return text + what + ".";
}

} // namespace

const char* DatStepCode(DatStep step) {
    switch (step) {
    case DatStep::StripHeader:
        return "strip-header";
    case DatStep::Deinterleave:
        return "deinterleave";
    case DatStep::TrimOverdump:
        return "trim-overdump";
    case DatStep::TrimPadding:
        return "trim-padding";
    }
    return "";
}

std::optional<Bytes> ApplyDatStep(DatStep step, std::span<const std::uint8_t> data) {
    Form form(data);
    std::optional<Form> after = Apply(step, form);
    if (!after)
        return std::nullopt;
    return after->Take();
}

std::optional<DatStepsMatch> FindViaSteps(const DatCollection& dats,
                                          std::span<const std::uint8_t> data,
                                          const ImageDetails* details) {
    Form form = DataForm(data, details);
    std::optional<Found> found = Search(dats, form, true);
    if (!found)
        return std::nullopt;
    return std::move(found->match);
}

std::string NameForComparison(std::string_view name) {
    if (const std::size_t slash = name.find_last_of("/\\#"); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    // An extension is a short run of letters and digits after the last dot.
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
        const std::string_view extension = name.substr(dot + 1);
        if (extension.size() <= 4 && std::ranges::all_of(extension, [](char c) {
                return std::isalnum(static_cast<unsigned char>(c)) != 0;
            }))
            name = name.substr(0, dot);
    }
    std::string words;
    int depth = 0;
    bool gap = false;
    for (const char c : name) {
        if (c == '(' || c == '[') {
            ++depth;
        } else if ((c == ')' || c == ']') && depth > 0) {
            --depth;
            gap = true;
        } else if (depth == 0) {
            const auto byte = static_cast<unsigned char>(c);
            // Letters of other scripts count as letters; ASCII punctuation as a gap.
            if (byte >= 0x80 || std::isalnum(byte)) {
                if (gap && !words.empty())
                    words += ' ';
                words += static_cast<char>(std::tolower(byte));
                gap = false;
            } else {
                gap = true;
            }
        }
    }
    return words;
}

std::optional<std::size_t> NearestByName(const DatCollection& dats, std::string_view fileName) {
    const std::string wanted = NameForComparison(fileName);
    if (wanted.empty())
        return std::nullopt;
    std::optional<std::size_t> best;
    std::size_t bestDistance = 0;
    std::size_t bestLength = 1;
    const std::vector<DatRom>& roms = dats.Roms();
    for (std::size_t i = 0; i < roms.size(); ++i) {
        const std::string name = NameForComparison(roms[i].name);
        const std::size_t longer = std::max(name.size(), wanted.size());
        const std::size_t allowed = longer / kLettersPerEdit;
        const std::size_t apart =
            name.size() > wanted.size() ? name.size() - wanted.size() : wanted.size() - name.size();
        if (name.empty() || apart > allowed)
            continue;
        const std::size_t distance = EditDistance(wanted, name);
        // The smallest share of the name edited wins; the first ROM among equals.
        if (distance <= allowed && (!best || distance * bestLength < bestDistance * longer)) {
            best = i;
            bestDistance = distance;
            bestLength = longer;
        }
    }
    return best;
}

DatMatch MatchInDatsVia(const DatCollection& dats, const ImageDetails& details,
                        std::span<const std::uint8_t> data, std::string_view fileName) {
    DatMatch match = MatchInDats(dats, details);
    if (match.kind != DatMatchKind::None)
        return match;
    Form form = DataForm(data, &details);
    if (std::optional<Found> found = Search(dats, form, false)) {
        const DatHit& hit = found->match.hit;
        match = {MatchKindOf(hit.key), hit.game, hit.rom, hit.source, hit.badDump};
        for (const DatStep step : found->match.steps)
            match.via.emplace_back(DatStepCode(step));
        match.explanation = std::move(found->explanation);
        return match;
    }
    if (const std::optional<std::size_t> nearest = NearestByName(dats, fileName)) {
        const DatRom& rom = dats.Roms()[*nearest];
        match.nearest = DatMatch::Nearest{rom.game, rom.name, rom.size};
        match.explanation = NearestExplanation(rom, details, data);
    } else {
        match.explanation = "Nothing in the DAT files matches, in any of the forms tried, and no "
                            "ROM there is named like this file (at most one letter in five "
                            "apart).";
    }
    return match;
}

} // namespace quillet
