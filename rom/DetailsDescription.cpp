#include "rom/DetailsDescription.h"

#include "base/NumberFormat.h"

namespace quillet {

namespace {

std::string Decimal(std::uint64_t value) {
    return FormatDecimal(static_cast<std::int64_t>(value));
}

std::string YesNo(bool value) {
    return value ? "yes" : "no";
}

std::string Printable(const std::string& bytes) {
    std::string text = bytes;
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F)
            c = '.';
    }
    return text;
}

DetailGroup Hashes(const char* title, const HashedBytes& bytes, bool withOffset) {
    DetailGroup group{title, {}};
    if (withOffset)
        group.rows.push_back({"Offset", Decimal(bytes.offset)});
    group.rows.push_back({"Size", Decimal(bytes.size) + " bytes"});
    group.rows.push_back({"CRC32", bytes.digests.crc32});
    group.rows.push_back({"MD5", bytes.digests.md5});
    group.rows.push_back({"SHA-1", bytes.digests.sha1});
    group.rows.push_back({"SHA-256", bytes.digests.sha256});
    return group;
}

DetailGroup Cartridge(const std::optional<CartridgeHeader>& header, HeaderPlace place) {
    DetailGroup group{"Cartridge", {}};
    if (!header) {
        group.rows.push_back({"Header", "(none: the data ends before 0x" +
                                            FormatHex(HeaderAddress(place), 6) + ")"});
        return group;
    }
    const CartridgeHeader& h = *header;
    const std::string chips = ChipsName(h);
    const std::string noExtended = "(no extended header)";
    group.rows = {
        {"Header at", "0x" + FormatHex(h.address, 6)},
        {"Map", MapName(h) + " (map mode 0x" + FormatHex(h.mapMode, 2) + ")"},
        {"Speed", SpeedName(h)},
        {"Type", "0x" + FormatHex(h.cartridgeType, 2)},
        {"Chips", chips.empty() ? "(none)" : chips},
        {"RAM", YesNo(HasRam(h))},
        {"Battery", YesNo(HasBattery(h))},
        {"Maker code", h.makerCode ? Printable(*h.makerCode) : noExtended},
        {"Game code", h.gameCode ? Printable(*h.gameCode) : noExtended},
        {"Expansion RAM", !h.makerCode                ? noExtended
                          : !h.expansionRamKbits      ? "(not a real size)"
                          : *h.expansionRamKbits == 0 ? "(none)"
                                                      : Decimal(*h.expansionRamKbits) + " kbits"},
        {"Region", RegionName(h.region)},
    };
    return group;
}

DetailGroup Opinion(const HeaderOpinion& opinion) {
    std::string scores;
    for (std::size_t i = 0; i < kHeaderPlaces.size(); ++i) {
        scores += (i == 0 ? "" : ", ") + std::string(HeaderPlaceName(kHeaderPlaces[i])) + " " +
                  FormatDecimal(opinion.scores[i]);
    }
    return {"Opinion",
            {{"Header place", HeaderPlaceName(opinion.place)},
             {"Scores", scores + " (of " + FormatDecimal(kBestScore) + ")"},
             {"Analysis", opinion.agreesWithAnalysis ? "agrees" : "disagrees"}}};
}

DetailGroup Checksum(const ChecksumReport& checksum) {
    std::string codes;
    for (const ChecksumDiagnosis diagnosis : checksum.diagnosis)
        codes += (codes.empty() ? "" : ", ") + std::string(DiagnosisCode(diagnosis));
    return {"Checksum",
            {{"Computed", "0x" + FormatHex(checksum.computed, 4)},
             {"Header", "0x" + FormatHex(checksum.header, 4)},
             {"Complement", "0x" + FormatHex(checksum.complement, 4)},
             {"Diagnosis", codes},
             {"Explanation", checksum.explanation}}};
}

DetailGroup Copier(const ImageDetails& details) {
    DetailGroup group{"Copier", {}};
    if (const auto& copier = details.copier) {
        group.rows.push_back({"Format", CopierFormatName(copier->format)});
        group.rows.push_back({"Header size", Decimal(copier->size) + " bytes"});
    } else {
        group.rows.push_back({"Header", "(none)"});
    }
    group.rows.push_back({"Interleaved", YesNo(details.interleaved)});
    return group;
}

DetailGroup Deinterleaved(const Digests& digests) {
    return {"Deinterleaved",
            {{"CRC32", digests.crc32},
             {"MD5", digests.md5},
             {"SHA-1", digests.sha1},
             {"SHA-256", digests.sha256}}};
}

const char* MatchedBy(DatMatchKind kind) {
    switch (kind) {
    case DatMatchKind::Sha256:
        return "SHA-256";
    case DatMatchKind::Sha1:
        return "SHA-1";
    case DatMatchKind::Crc32AndSize:
        return "CRC32 and size";
    case DatMatchKind::None:
        break;
    }
    return "";
}

// The steps joined, or the nearest ROM by name, and the sentence: only for data that did not
// match as it is, and only where the search beyond it was made.
void AddSearch(DetailGroup& group, const DatMatch& match) {
    if (match.explanation.empty())
        return;
    if (match.kind != DatMatchKind::None) {
        std::string via;
        for (const std::string& step : match.via)
            via += (via.empty() ? "" : ", then ") + step;
        group.rows.push_back({"Via", via});
    } else if (match.nearest) {
        group.rows.push_back({"Nearest", match.nearest->game + " (" + match.nearest->rom + ", " +
                                             std::to_string(match.nearest->size) + " bytes)"});
    } else {
        group.rows.push_back({"Nearest", "(none named like the file)"});
    }
    group.rows.push_back({"Explanation", match.explanation});
}

DetailGroup Dat(const DatMatch& match) {
    DetailGroup group;
    if (match.kind == DatMatchKind::None) {
        group = {"Dat", {{"Game", "(unknown)"}, {"Match", "not in the DAT files"}}};
    } else {
        const std::string by = MatchedBy(match.kind);
        group = {"Dat",
                 {{"Game", match.game},
                  {"Match", match.badDump ? "matches a known bad dump (by " + by + ")"
                                          : "verified by " + by},
                  {"Rom", match.rom},
                  {"Source", match.source}}};
    }
    AddSearch(group, match);
    return group;
}

} // namespace

const char* DatMatchCode(DatMatchKind kind) {
    switch (kind) {
    case DatMatchKind::None:
        return "none";
    case DatMatchKind::Sha256:
        return "sha256";
    case DatMatchKind::Sha1:
        return "sha1";
    case DatMatchKind::Crc32AndSize:
        return "crc32+size";
    }
    return "";
}

std::vector<DetailGroup> DescribeDetails(const ImageDetails& details,
                                         const std::optional<DatMatch>& dat) {
    std::vector<DetailGroup> groups = {Hashes("Data", details.data, true),
                                       Hashes("File", details.file, false),
                                       Cartridge(details.cartridge, details.opinion.place),
                                       Opinion(details.opinion),
                                       Checksum(details.checksum),
                                       Copier(details)};
    if (details.deinterleaved)
        groups.push_back(Deinterleaved(*details.deinterleaved));
    if (dat)
        groups.push_back(Dat(*dat));
    return groups;
}

} // namespace quillet
