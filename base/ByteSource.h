// Read-only, random-access byte sources: a file on disk, or bytes already in memory.
#pragma once

#include "base/Exceptions.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quillet {

// A read that failed for a reason other than the end of the data.
class EReadFailure : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads up to buffer.size() bytes from `position` into the start of `buffer` and returns how
    // many it read: fewer, or none, at the end of the data. The rest of the buffer is untouched.
    // Throws EReadFailure when the underlying read fails.
    virtual std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) = 0;
    // What messages call it: a file's path.
    virtual std::string Name() const { return "the image"; }
};

// Reads exactly buffer.size() bytes at `position`, which the source held when it was opened.
// Throws EReadFailure when it holds fewer now: the file changed while it was read.
void ReadExactly(ByteSource& source, std::uint64_t position, std::span<std::uint8_t> buffer);

// A file opened for reading only. Open throws EFOpenError with the system's reason.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override;
    std::string Name() const override { return path_; }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    // Where the stream stands: reads in order need no seek, which would drop the C library's
    // buffer on some platforms.
    std::uint64_t position_ = 0;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override;

private:
    std::span<const std::uint8_t> bytes_;
};

} // namespace quillet
