#include "base/ByteSource.h"

#include "base/FilePosition.h"
#include "base/NumberFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quillet {

namespace {

std::string OpenFailure(const std::string& path, int error) {
    // EFOpenError's text names the file; the reason follows so the user knows what to fix.
    return path + ": " + std::strerror(error);
}

constexpr const char* kNotRegular = "not a regular file";

#ifdef _WIN32

using FileInfo = struct _stati64;
bool IsRegular(const FileInfo& info) {
    return (info.st_mode & S_IFMT) == S_IFREG;
}

std::FILE* OpenRegularFile(const std::string& path, FileInfo& info) {
    // A device or a pipe is not opened at all: opening one can wait, or do something.
    FileInfo named{};
    if (_stati64(path.c_str(), &named) == 0 && !IsRegular(named))
        throw EFOpenError(path + ": " + kNotRegular);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw EFOpenError(OpenFailure(path, errno));
    if (_fstati64(_fileno(file), &info) != 0 || !IsRegular(info)) {
        const int error = errno;
        const bool regular = IsRegular(info);
        std::fclose(file);
        throw EFOpenError(regular ? OpenFailure(path, error) : path + ": " + kNotRegular);
    }
    return file;
}

#else

using FileInfo = struct stat;

std::FILE* OpenRegularFile(const std::string& path, FileInfo& info) {
    FileInfo named{};
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
        throw EFOpenError(path + ": " + kNotRegular);
    // Without blocking, in case a pipe took the file's place since: its open would wait for a
    // writer for ever.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        throw EFOpenError(OpenFailure(path, errno));
    const auto fail = [&](const std::string& reason) {
        ::close(descriptor);
        throw EFOpenError(path + ": " + reason);
    };
    if (::fstat(descriptor, &info) != 0)
        fail(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        fail(kNotRegular);
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0)
        fail(std::strerror(errno));
    std::FILE* file = ::fdopen(descriptor, "rb");
    if (file == nullptr)
        fail(std::strerror(errno));
    return file;
}

#endif

} // namespace

void ReadExactly(ByteSource& source, std::uint64_t position, std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const std::size_t got = source.ReadAt(position + done, buffer.subspan(done));
        if (got == 0) {
            throw EReadFailure("Cannot read file " + source.Name() + ": it ended after " +
                               FormatDecimal(static_cast<std::int64_t>(position + done)) +
                               " of its " +
                               FormatDecimal(static_cast<std::int64_t>(source.Size())) +
                               " bytes, so it changed while it was read");
        }
        done += got;
    }
}

FileSource::FileSource(const std::string& path) : path_(path) {
    FileInfo info{};
    file_ = OpenRegularFile(path, info);
    size_ = static_cast<std::uint64_t>(info.st_size);
}

FileSource::~FileSource() {
    if (file_ != nullptr)
        std::fclose(file_);
}

std::size_t FileSource::ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) {
    if (buffer.empty())
        return 0;
    if (position >= size_)
        return 0;
    if (position != position_) {
        position_ = size_ + 1; // unknown until a seek succeeds
        if (SeekFile(file_, static_cast<std::int64_t>(position), SEEK_SET) != 0)
            throw EReadFailure("Cannot read file " + path_ + ": " + std::strerror(errno));
        position_ = position;
    }
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file_);
    position_ += count;
    if (count < buffer.size() && std::ferror(file_)) {
        const int error = errno;
        std::clearerr(file_);
        position_ = size_ + 1;
        throw EReadFailure("Cannot read file " + path_ + ": " + std::strerror(error));
    }
    return count;
}

std::size_t MemorySource::ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) {
    if (position >= bytes_.size())
        return 0;
    const auto start = static_cast<std::size_t>(position);
    const std::size_t count = std::min(buffer.size(), bytes_.size() - start);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), count, buffer.begin());
    return count;
}

} // namespace quillet
