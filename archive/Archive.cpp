#include "archive/Archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace quillet {

namespace {

#ifdef _WIN32
// On Windows libarchive holds names in UTF-16 and reads them as such below: its other forms
// go through the C library's locale, which there is never UTF-8.
class Utf8Names {
public:
    Utf8Names() {} // not trivial, so a scope may hold one unused
};

std::optional<std::string> WideName(archive_entry* entry) {
    const wchar_t* wide = archive_entry_pathname_w(entry);
    if (wide == nullptr)
        return std::nullopt;
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::nullopt;
    std::string name(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, name.data(), length, nullptr, nullptr);
    name.resize(static_cast<std::size_t>(length - 1));
    return name;
}
#else
// libarchive converts names to the C library's character set, which in the "C" locale has
// nothing but ASCII: a name the archive flags as UTF-8 would come out as none at all. Its
// calls run in a UTF-8 locale of this thread's own.
class Utf8Names {
public:
    Utf8Names() : previous_(Locale() != locale_t{} ? uselocale(Locale()) : locale_t{}) {}
    ~Utf8Names() {
        if (previous_ != locale_t{})
            uselocale(previous_);
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    static locale_t Locale() {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        return utf8;
    }
    locale_t previous_;
};
#endif

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char a, char b) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(a) == lower(b);
    });
}

std::string_view BaseName(std::string_view path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.rfind('/');
#endif
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The one member of a gz file is named after the file: "Game.sfc.gz" holds "Game.sfc".
std::string GzipMemberName(std::string_view path) {
    std::string_view name = BaseName(path);
    if (EndsWithNoCase(name, ".gz"))
        name.remove_suffix(3);
    return name.empty() ? std::string("data") : std::string(name);
}

std::string LimitText(std::uint64_t limit) {
    if (limit % (1024 * 1024) == 0)
        return "the " + std::to_string(limit / (1024 * 1024)) + " MiB";
    return "the " + std::to_string(limit) + " bytes";
}

// A member's name: UTF-8 when libarchive can tell what the name is in; the stored bytes
// otherwise.
std::string EntryName(archive_entry* entry) {
#ifdef _WIN32
    if (std::optional<std::string> wide = WideName(entry))
        return std::move(*wide);
#endif
    const char* name = archive_entry_pathname_utf8(entry);
    if (name == nullptr)
        name = archive_entry_pathname(entry);
    return name != nullptr ? name : "";
}

struct ArchiveFree {
    void operator()(archive* handle) const { archive_read_free(handle); }
};

constexpr std::size_t kBlockSize = 65536;

} // namespace

std::optional<ArchiveFormat> ArchiveFormatOf(std::string_view path) {
    if (EndsWithNoCase(path, ".zip"))
        return ArchiveFormat::Zip;
    if (EndsWithNoCase(path, ".7z"))
        return ArchiveFormat::SevenZip;
    if (EndsWithNoCase(path, ".gz"))
        return ArchiveFormat::Gzip;
    return std::nullopt;
}

bool IsImageName(std::string_view name) {
    name = BaseName(name);
    return std::ranges::any_of(std::array{".sfc", ".smc", ".078", ".fig", ".swc", ".bin"},
                               [&](const char* suffix) { return EndsWithNoCase(name, suffix); });
}

std::string MemberPath(std::string_view archive, std::string_view member) {
    std::string path(archive);
    path += '#';
    path += member;
    return path;
}

// libarchive reads through a FileSource: the same opening rules as for images (no devices, no
// pipes), and names in any script on Windows, where the C library's own open would not take
// UTF-8.
struct ArchiveReader::State {
    State(const std::string& archivePath, ArchiveFormat archiveFormat, std::uint64_t memberLimit)
        : path(archivePath), format(archiveFormat), limit(memberLimit), file(archivePath) {}

    std::string path;
    ArchiveFormat format;
    std::uint64_t limit;
    FileSource file;
    std::uint64_t position = 0;
    std::vector<std::uint8_t> block = std::vector<std::uint8_t>(kBlockSize);
    std::string readFailure; // the file's own, which libarchive only sees as a failed read
    std::optional<ArchiveMember> current;
    std::uint64_t memberBytes = 0;                // decompressed so far from the current member
    bool ended = false;                           // by an error that the archive cannot go on after
    std::unique_ptr<archive, ArchiveFree> handle; // last: freed before the file closes

    // What went wrong, in libarchive's words or the file's.
    std::string Reason() const {
        if (!readFailure.empty())
            return readFailure;
        const char* text = archive_error_string(handle.get());
        return text != nullptr ? text : "unknown error";
    }

    std::string MemberName() const { return MemberPath(path, current ? current->name : ""); }

    static la_ssize_t ReadBlock(archive*, void* client, const void** buffer) {
        auto& state = *static_cast<State*>(client);
        try {
            const std::size_t count = state.file.ReadAt(state.position, state.block);
            state.position += count;
            *buffer = state.block.data();
            return static_cast<la_ssize_t>(count);
        } catch (const Exception& failure) {
            state.readFailure = failure.Message();
        } catch (const std::exception& failure) {
            state.readFailure = failure.what();
        }
        return -1;
    }

    static la_int64_t Seek(archive*, void* client, la_int64_t offset, int whence) {
        auto& state = *static_cast<State*>(client);
        const auto size = static_cast<la_int64_t>(state.file.Size());
        la_int64_t base = 0;
        if (whence == SEEK_CUR)
            base = static_cast<la_int64_t>(state.position);
        else if (whence == SEEK_END)
            base = size;
        if ((offset > 0 && base > size - offset) || base + offset < 0)
            return ARCHIVE_FATAL;
        state.position = static_cast<std::uint64_t>(base + offset);
        return static_cast<la_int64_t>(state.position);
    }

    static la_int64_t Skip(archive*, void* client, la_int64_t request) {
        auto& state = *static_cast<State*>(client);
        if (request <= 0)
            return 0;
        const std::uint64_t left = state.file.Size() - std::min(state.position, state.file.Size());
        const std::uint64_t skipped = std::min(static_cast<std::uint64_t>(request), left);
        state.position += skipped;
        return static_cast<la_int64_t>(skipped);
    }
};

ArchiveReader::ArchiveReader(const std::string& path, std::uint64_t limit) {
    const Utf8Names names;
    const std::optional<ArchiveFormat> format = ArchiveFormatOf(path);
    if (!format)
        throw EArchiveError("Cannot read archive " + path + ": not a .zip, .7z or .gz file");
    state_ = std::make_unique<State>(path, *format, limit);
    State& state = *state_;
    state.handle.reset(archive_read_new());
    if (!state.handle)
        throw std::bad_alloc();
    archive* handle = state.handle.get();
    // Only the format the name gives: the raw reader that gz needs would take anything.
    switch (*format) {
    case ArchiveFormat::Zip:
        archive_read_support_format_zip(handle);
        break;
    case ArchiveFormat::SevenZip:
        archive_read_support_format_7zip(handle);
        break;
    case ArchiveFormat::Gzip:
        archive_read_support_filter_gzip(handle);
        archive_read_support_format_raw(handle);
        break;
    }
    archive_read_set_read_callback(handle, &State::ReadBlock);
    archive_read_set_seek_callback(handle, &State::Seek);
    archive_read_set_skip_callback(handle, &State::Skip);
    archive_read_set_callback_data(handle, &state);
    if (archive_read_open1(handle) != ARCHIVE_OK)
        throw EArchiveError("Cannot read archive " + path + ": " + state.Reason());
    if (*format == ArchiveFormat::Gzip && archive_filter_code(handle, 0) != ARCHIVE_FILTER_GZIP)
        throw EArchiveError("Cannot read archive " + path + ": not gzip data");
}

ArchiveReader::~ArchiveReader() = default;

const std::string& ArchiveReader::Path() const {
    return state_->path;
}

ArchiveFormat ArchiveReader::Format() const {
    return state_->format;
}

std::optional<ArchiveMember> ArchiveReader::Next() {
    const Utf8Names names;
    State& state = *state_;
    state.current.reset();
    state.memberBytes = 0;
    if (state.ended)
        return std::nullopt;
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(state.handle.get(), &entry);
    if (result == ARCHIVE_EOF) {
        state.ended = true;
        return std::nullopt;
    }
    if (result < ARCHIVE_WARN) {
        state.ended = true;
        throw EArchiveError("Cannot read archive " + state.path + ": " + state.Reason());
    }
    ArchiveMember member;
    if (state.format == ArchiveFormat::Gzip) {
        member.name = GzipMemberName(state.path);
    } else {
        member.name = EntryName(entry);
    }
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
        member.size = static_cast<std::uint64_t>(archive_entry_size(entry));
    member.regular = archive_entry_filetype(entry) == AE_IFREG;
    state.current = member;
    return member;
}

std::size_t ArchiveReader::Read(std::span<std::uint8_t> buffer) {
    const Utf8Names names;
    State& state = *state_;
    if (!state.current || state.ended)
        throw EArchiveError("Cannot read " + state.MemberName() + ": no member to read");
    const std::optional<std::uint64_t>& stated = state.current->size;
    if (stated && *stated > state.limit) {
        throw EMemberTooLarge("Cannot read " + state.MemberName() + ": " + std::to_string(*stated) +
                              " bytes, more than " + LimitText(state.limit) +
                              " an image in an archive may have");
    }
    // One byte past the limit at most, to tell a member of exactly the limit from a larger one.
    const std::uint64_t room = state.limit + 1 - state.memberBytes;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), room));
    if (want == 0)
        return 0;
    const la_ssize_t count = archive_read_data(state.handle.get(), buffer.data(), want);
    if (count < 0) {
        if (count == ARCHIVE_FATAL)
            state.ended = true;
        throw EArchiveError("Cannot read " + state.MemberName() + ": " + state.Reason());
    }
    state.memberBytes += static_cast<std::uint64_t>(count);
    if (state.memberBytes > state.limit) {
        // Its stated size was wrong, or not given: what came out decides.
        std::string message = "Cannot read " + state.MemberName() + ": more than " +
                              LimitText(state.limit) + " an image in an archive may have";
        if (stated)
            message += ", though the archive says " + std::to_string(*stated) + " bytes";
        throw EMemberTooLarge(message);
    }
    return static_cast<std::size_t>(count);
}

std::vector<std::uint8_t> ArchiveReader::ReadAll() {
    const State& state = *state_;
    std::vector<std::uint8_t> bytes;
    if (state.current && state.current->size && *state.current->size <= state.limit)
        bytes.reserve(static_cast<std::size_t>(*state.current->size));
    for (;;) {
        const std::size_t before = bytes.size();
        bytes.resize(before + kBlockSize);
        const std::size_t count = Read(std::span(bytes).subspan(before));
        bytes.resize(before + count);
        if (count == 0)
            return bytes;
    }
}

MemberSource::MemberSource(std::string name, std::shared_ptr<const std::vector<std::uint8_t>> bytes)
    : name_(std::move(name)), bytes_(std::move(bytes)) {
}

std::size_t MemberSource::ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) {
    return MemorySource(*bytes_).ReadAt(position, buffer);
}

std::size_t VisitMembers(const std::string& path, const MemberVisitor& visitor,
                         std::uint64_t limit) {
    std::unique_ptr<ArchiveReader> reader;
    try {
        reader = std::make_unique<ArchiveReader>(path, limit);
    } catch (const Exception& failure) {
        visitor.failure(path, failure.Message());
        return 0;
    }
    std::size_t wanted = 0;
    for (;;) {
        std::optional<ArchiveMember> member;
        try {
            member = reader->Next();
        } catch (const Exception& failure) {
            visitor.failure(path, failure.Message());
            return wanted;
        }
        if (!member)
            return wanted;
        if (!member->regular || !visitor.wanted(member->name))
            continue;
        ++wanted;
        std::string name = MemberPath(path, member->name);
        std::vector<std::uint8_t> bytes;
        try {
            bytes = reader->ReadAll();
        } catch (const Exception& failure) {
            visitor.failure(name, failure.Message());
            continue;
        }
        auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        if (!visitor.member(std::make_unique<MemberSource>(std::move(name), std::move(shared))))
            return wanted;
    }
}

std::unique_ptr<MemberSource> ReadFirstImage(const std::string& path) {
    ArchiveReader reader(path);
    while (std::optional<ArchiveMember> member = reader.Next()) {
        if (!member->regular || !IsImageName(member->name))
            continue;
        auto bytes = std::make_shared<const std::vector<std::uint8_t>>(reader.ReadAll());
        return std::make_unique<MemberSource>(MemberPath(path, member->name), std::move(bytes));
    }
    return nullptr;
}

} // namespace quillet
