// Images inside zip, 7z and gz archives, read through libarchive: an archive's members in
// order, each read whole into memory or streamed, never past a size limit whatever the archive
// says about them.
#pragma once

#include "base/ByteSource.h"
#include "base/Exceptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// What an archive could not give: its message names the archive (or ARCHIVE#MEMBER) and says
// what libarchive said.
class EArchiveError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// A member larger than the limit, by the size the archive gives or by what it decompressed to.
class EMemberTooLarge : public EArchiveError {
public:
    using EArchiveError::EArchiveError;
};

// The largest member read: four times the largest cartridge, and little enough to hold.
inline constexpr std::uint64_t kMaxMemberSize = 16 * 1024 * 1024;

enum class ArchiveFormat { Zip, SevenZip, Gzip };

// The archive format a file's extension names (.zip, .7z, .gz, in any case), if any.
std::optional<ArchiveFormat> ArchiveFormatOf(std::string_view path);

// Whether a member's name is one the tools take for an image: the open dialog's extensions
// (SFC, SMC, 078, FIG, SWC) and .bin, in any case.
bool IsImageName(std::string_view name);

// "ARCHIVE#MEMBER", as RetroArch names a member.
std::string MemberPath(std::string_view archive, std::string_view member);

struct ArchiveMember {
    std::string name;                  // UTF-8 where the archive says so; gz: the archive's name
    std::optional<std::uint64_t> size; // what the archive says, when it says
    bool regular = true;               // not a folder or a link
};

// One pass over an archive's members, in the order they are stored.
class ArchiveReader {
public:
    // Throws EFOpenError when the file cannot be opened, EArchiveError when it is not an
    // archive of the format its name says.
    explicit ArchiveReader(const std::string& path, std::uint64_t limit = kMaxMemberSize);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    const std::string& Path() const;
    ArchiveFormat Format() const;

    // The next member; nothing at the end, or after an error that ends the archive (which the
    // call that met it has thrown). Throws EArchiveError for a corrupt header.
    std::optional<ArchiveMember> Next();

    // Streams the current member: up to buffer.size() bytes, none at its end. Throws
    // EMemberTooLarge, before decompressing anything when the archive gives a size over the
    // limit, and otherwise as soon as more than the limit came out; EArchiveError for data
    // that does not decompress.
    std::size_t Read(std::span<std::uint8_t> buffer);

    // The whole of the current member, with the same checks.
    std::vector<std::uint8_t> ReadAll();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A member's bytes, named ARCHIVE#MEMBER. The bytes are shared, so other sources over them
// (the details on another thread, say) need no copy.
class MemberSource final : public ByteSource {
public:
    MemberSource(std::string name, std::shared_ptr<const std::vector<std::uint8_t>> bytes);
    std::uint64_t Size() const override { return bytes_->size(); }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override;
    std::string Name() const override { return name_; }
    const std::shared_ptr<const std::vector<std::uint8_t>>& Bytes() const { return bytes_; }

private:
    std::string name_;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
};

struct MemberVisitor {
    // Which members to read, by name.
    std::function<bool(const std::string& name)> wanted;
    // Each wanted member, read whole, in order; false stops the walk.
    std::function<bool(std::unique_ptr<MemberSource> member)> member;
    // The archive (its path) or a member (ARCHIVE#MEMBER) that could not be read, and why.
    // The walk goes on with the next member when the archive lets it.
    std::function<void(const std::string& name, const std::string& reason)> failure;
};

// Reads the wanted members of the archive at `path`, in order. Returns how many members were
// wanted, read or not.
std::size_t VisitMembers(const std::string& path, const MemberVisitor& visitor,
                         std::uint64_t limit = kMaxMemberSize);

// The first member that is an image, read whole; nothing when there is none. Throws the error
// that kept the archive, or that member, from being read.
std::unique_ptr<MemberSource> ReadFirstImage(const std::string& path);

} // namespace quillet
