#include "app/DatFiles.h"

#include "app/Settings.h"
#include "base/NumberFormat.h"
#include "ui/Win32.h"

#include <algorithm>

namespace quillet::app {

namespace {

// A list of DAT files that fills more than this is no list a person made.
constexpr std::size_t kLargestDatSection = 16 << 20;

std::string EntryKey(std::size_t index) {
    return "File" + FormatDecimal(static_cast<std::int64_t>(index + 1));
}

} // namespace

std::string DatFileEntry::Status() const {
    if (!read)
        return problem.empty() ? "not read yet" : problem;
    return FormatDecimal(static_cast<std::int64_t>(roms)) + (roms == 1 ? " ROM" : " ROMs");
}

void TDatFiles::LoadList() {
    entries_.clear();
    // The whole section at once: a buffer that comes back full is made larger and read again.
    std::string section(1 << 16, '\0');
    for (;;) {
        const DWORD got = GetPrivateProfileSectionA(
            kDatFilesSection, section.data(), static_cast<DWORD>(section.size()), kSettingsFile);
        if (got + 2 < section.size() || section.size() >= kLargestDatSection) {
            section.resize(std::min<std::size_t>(got, section.size()));
            break;
        }
        section.assign(section.size() * 2, '\0');
    }
    for (const std::string& path : DatListFromSection(section))
        Add(path);
}

void TDatFiles::SaveList() const {
    // The section is written anew: the old one goes first, with entries of a longer list.
    // Failed writes are not looked at, as for every setting.
    WritePrivateProfileStringA(kDatFilesSection, nullptr, nullptr, kSettingsFile);
    WritePrivateProfileStringA(kDatFilesSection, "Count",
                               FormatDecimal(static_cast<std::int64_t>(entries_.size())).c_str(),
                               kSettingsFile);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        WritePrivateProfileStringA(kDatFilesSection, EntryKey(i).c_str(), entries_[i].path.c_str(),
                                   kSettingsFile);
}

bool TDatFiles::Add(const std::string& path) {
    const bool known = std::any_of(entries_.begin(), entries_.end(), [&](const DatFileEntry& e) {
        return lstrcmpiA(e.path.c_str(), path.c_str()) == 0;
    });
    if (known)
        return false;
    entries_.push_back({path});
    return true;
}

void TDatFiles::Remove(std::size_t index) {
    if (index < entries_.size())
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void TDatFiles::ReadAll(const DatReadProgress& progress) {
    auto collection = std::make_shared<DatCollection>();
    for (DatFileEntry& entry : entries_) {
        const std::size_t before = collection->Roms().size();
        entry.read = false;
        entry.roms = 0;
        entry.problem.clear();
        try {
            collection->Load(entry.path, [&](std::uint64_t done, std::uint64_t total) {
                if (progress)
                    progress(entry.path, done, total);
            });
            entry.read = true;
            entry.roms = collection->Roms().size() - before;
        } catch (const Exception& failure) {
            // The file stays in the list, with the reason, and the others are read. The list
            // names the file already.
            entry.problem = failure.Message();
            const std::string named = "DAT file " + entry.path + ": ";
            if (entry.problem.starts_with(named))
                entry.problem.erase(0, named.size());
        }
    }
    collection_ = std::move(collection);
}

std::shared_ptr<const DatCollection> TDatFiles::Collection() const {
    return entries_.empty() ? nullptr : collection_;
}

} // namespace quillet::app
