#include "tests/support/ArchiveMaker.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace quillet::testing {

namespace {

// libarchive's writer converts names through the C library's character set: in a UTF-8
// locale, as the reader does, so that names in any script go in.
struct Utf8Locale {
#ifndef _WIN32
    Utf8Locale() : utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{})) {
        if (utf8 != locale_t{})
            previous = uselocale(utf8);
    }
    ~Utf8Locale() {
        if (utf8 != locale_t{}) {
            uselocale(previous);
            freelocale(utf8);
        }
    }
    locale_t utf8;
    locale_t previous{};
#else
    Utf8Locale() {
    } // Windows: the process's code page is UTF-8
#endif
};

struct WriterFree {
    void operator()(archive* handle) const { archive_write_free(handle); }
};
struct EntryFree {
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

void Check(archive* handle, int result, const char* step) {
    if (result < ARCHIVE_WARN) {
        const char* reason = archive_error_string(handle);
        throw std::runtime_error(std::string(step) + ": " + (reason ? reason : "failed"));
    }
}

la_ssize_t Append(archive*, void* client, const void* buffer, size_t length) {
    auto& bytes = *static_cast<std::vector<std::uint8_t>*>(client);
    const auto* data = static_cast<const std::uint8_t*>(buffer);
    bytes.insert(bytes.end(), data, data + length);
    return static_cast<la_ssize_t>(length);
}

void PutLittleEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(value >> (8 * i));
}

bool SignatureAt(const std::vector<std::uint8_t>& bytes, std::size_t at, std::uint8_t third,
                 std::uint8_t fourth) {
    return at + 4 <= bytes.size() && bytes[at] == 'P' && bytes[at + 1] == 'K' &&
           bytes[at + 2] == third && bytes[at + 3] == fourth;
}

} // namespace

std::vector<std::uint8_t> MakeArchive(ArchiveFormat format, const std::vector<ArchiveItem>& items,
                                      const std::string& options) {
    const Utf8Locale locale;
    std::unique_ptr<archive, WriterFree> writer(archive_write_new());
    archive* handle = writer.get();
    switch (format) {
    case ArchiveFormat::Zip:
        Check(handle, archive_write_set_format_zip(handle), "zip");
        // Names are UTF-8, and flagged so, whatever the locale.
        Check(handle, archive_write_set_options(handle, "zip:hdrcharset=UTF-8"), "zip options");
        break;
    case ArchiveFormat::SevenZip:
        Check(handle, archive_write_set_format_7zip(handle), "7z");
        break;
    case ArchiveFormat::Gzip:
        Check(handle, archive_write_add_filter_gzip(handle), "gzip");
        Check(handle, archive_write_set_format_raw(handle), "raw");
        break;
    }
    if (!options.empty())
        Check(handle, archive_write_set_options(handle, options.c_str()), "options");
    std::vector<std::uint8_t> bytes;
    // A block size of one byte: the archive ends where its data does, as a real file would.
    Check(handle, archive_write_set_bytes_per_block(handle, 1), "block size");
    Check(handle, archive_write_open(handle, &bytes, nullptr, Append, nullptr), "open");
    for (const ArchiveItem& item : items) {
        std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
#ifdef _WIN32
        // Its UTF-8 form would go through the C library's locale, which is never UTF-8 there.
        std::wstring wide(item.name.size() + 1, L'\0');
        const int length = MultiByteToWideChar(CP_UTF8, 0, item.name.c_str(), -1, wide.data(),
                                               static_cast<int>(wide.size()));
        wide.resize(length > 0 ? static_cast<std::size_t>(length - 1) : 0);
        archive_entry_copy_pathname_w(entry.get(), wide.c_str());
#else
        archive_entry_set_pathname_utf8(entry.get(), item.name.c_str());
#endif
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(item.bytes.size()));
        Check(handle, archive_write_header(handle, entry.get()), "header");
        std::size_t written = 0;
        while (written < item.bytes.size()) {
            const la_ssize_t count = archive_write_data(handle, item.bytes.data() + written,
                                                        item.bytes.size() - written);
            Check(handle, static_cast<int>(count < 0 ? count : 0), "data");
            if (count <= 0)
                throw std::runtime_error("data: nothing written");
            written += static_cast<std::size_t>(count);
        }
        if (format == ArchiveFormat::Gzip)
            break;
    }
    Check(handle, archive_write_close(handle), "close");
    return bytes;
}

void ForgeZipSizes(std::vector<std::uint8_t>& zip, std::uint32_t size) {
    for (std::size_t at = 0; at + 4 <= zip.size(); ++at) {
        if (SignatureAt(zip, at, 3, 4))
            PutLittleEndian32(zip, at + 22, size); // local file header
        else if (SignatureAt(zip, at, 7, 8))
            PutLittleEndian32(zip, at + 12, size); // data descriptor
        else if (SignatureAt(zip, at, 1, 2))
            PutLittleEndian32(zip, at + 24, size); // central directory
    }
}

} // namespace quillet::testing
