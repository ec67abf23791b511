#include "base/ByteSource.h"

#include "base/FilePosition.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace quillet {

namespace {

std::string OpenFailure(const std::string& path, int error) {
    // EFOpenError's text names the file; the reason follows so the user knows what to fix.
    return path + ": " + std::strerror(error);
}

} // namespace

FileSource::FileSource(const std::string& path) : path_(path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr)
        throw EFOpenError(OpenFailure(path, errno));

#ifdef _WIN32
    struct _stati64 info {};
    const int statResult = _fstati64(_fileno(file_), &info);
#else
    struct stat info {};
    const int statResult = fstat(fileno(file_), &info);
#endif
    if (statResult != 0 || (info.st_mode & S_IFMT) != S_IFREG) {
        // Directories open fine on some systems but cannot be read as images.
        const int error =
            statResult != 0 ? errno : ((info.st_mode & S_IFMT) == S_IFDIR ? EISDIR : EINVAL);
        std::fclose(file_);
        file_ = nullptr;
        throw EFOpenError(OpenFailure(path, error));
    }
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
    if (SeekFile(file_, static_cast<std::int64_t>(position), SEEK_SET) != 0)
        throw EReadFailure("Cannot read file " + path_ + ": " + std::strerror(errno));
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file_);
    if (count < buffer.size() && std::ferror(file_)) {
        const int error = errno;
        std::clearerr(file_);
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
