// An audit of a collection against DAT files: which of their games it has, as good dumps or as
// known bad ones, which it lacks, and which of its files are unknown or duplicates.
#pragma once

#include "dat/DatFile.h"
#include "rom/ImageDetails.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace quillet {

class AuditReport {
public:
    explicit AuditReport(const DatCollection& dats);

    // The files in the order they were read: the first to match a ROM has it, later ones are
    // duplicates.
    void Add(const std::string& file, const ImageDetails& details);
    void AddUnreadable(const std::string& file, const std::string& problem);

    // Per DAT file its games, had and missing; then the files that matched nothing.
    void WriteSummary(std::ostream& out) const;
    // Every ROM of the DAT files, then every file that is unknown or a duplicate, as CSV with
    // the columns dat,game,rom,status,file,match, or as JSON Lines with the same members.
    std::string Csv() const;
    std::string JsonLines() const;

private:
    struct Row {
        std::string dat, game, rom, status, file, match;
    };
    struct Claim {
        std::string file;
        DatKey key;
    };
    std::vector<Row> Rows() const;

    const DatCollection& dats_;
    std::vector<std::optional<Claim>> claims_; // one per ROM of the DAT files
    std::vector<Row> others_;                  // unknown files and duplicates, in file order
    std::vector<std::pair<std::string, std::string>> unreadable_;
    std::size_t files_ = 0;
};

// Audits the images the operands stand for (files, and folders with their subfolders) against
// `dats`: the summary goes to `out`, the full list to `report` (CSV, or JSON Lines for a name
// ending in .jsonl) when given, progress to `err` when `progress` is set. The exit status: 0
// when the audit ran, 1 when the report could not be written.
int RunAudit(const std::vector<std::string>& operands, const DatCollection& dats,
             const std::optional<std::string>& report, bool progress, std::ostream& out,
             std::ostream& err);

// Whether the standard error stream is a terminal, where progress may be shown.
bool ErrorStreamIsTerminal();

} // namespace quillet
