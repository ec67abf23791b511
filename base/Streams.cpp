#include "base/Streams.h"

#include "base/ByteSource.h"
#include "base/FilePosition.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillet {

std::int64_t TStream::Remaining() const {
    return std::max<std::int64_t>(0, Size() - Position());
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError();
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    const auto size = static_cast<std::int64_t>(data_.size());
    if (position_ >= size || count == 0)
        return 0;
    const auto available = static_cast<std::size_t>(size - position_);
    const std::size_t n = std::min(count, available);
    std::memcpy(buffer, data_.data() + position_, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0)
        return 0;
    const auto end = static_cast<std::size_t>(position_) + count;
    if (end > data_.size())
        data_.resize(end);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ = static_cast<std::int64_t>(end);
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const std::int64_t base = origin == SeekOrigin::Beginning ? 0
                              : origin == SeekOrigin::Current ? position_
                                                              : Size();
    position_ = std::max<std::int64_t>(0, base + offset);
    return position_;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

TFileStream::TFileStream(const std::string& fileName, FileMode mode) : fileName_(fileName) {
    file_ = std::fopen(fileName.c_str(), mode == FileMode::OpenRead ? "rb" : "w+b");
    if (file_ == nullptr) {
        if (mode == FileMode::OpenRead)
            throw EFOpenError(fileName);
        throw EFCreateError(fileName);
    }
}

TFileStream::~TFileStream() {
    std::fclose(file_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    const std::size_t got = std::fread(buffer, 1, count, file_);
    // Fewer bytes are the end of the file, or a failure: the caller must not take a failure
    // for the end, or go on reading what follows into the wrong place.
    if (got < count && std::ferror(file_)) {
        const int error = errno;
        std::clearerr(file_);
        throw EReadFailure("Cannot read file " + fileName_ + ": " + std::strerror(error));
    }
    return got;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    return std::fwrite(buffer, 1, count, file_);
}

std::int64_t TFileStream::Seek(std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Beginning ? SEEK_SET
                       : origin == SeekOrigin::Current ? SEEK_CUR
                                                       : SEEK_END;
    if (SeekFile(file_, offset, whence) != 0)
        return -1;
    return TellFile(file_);
}

std::int64_t TFileStream::Size() const {
    const std::int64_t here = TellFile(file_);
    SeekFile(file_, 0, SEEK_END);
    const std::int64_t size = TellFile(file_);
    SeekFile(file_, here, SEEK_SET);
    return size;
}

std::int64_t TFileStream::Position() const {
    return TellFile(file_);
}

} // namespace quillet
