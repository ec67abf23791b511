// Byte streams in the class library's manner: Read and Write move what they can, ReadBuffer and
// WriteBuffer move exactly the count asked for or raise "Stream read error" / "Stream write
// error".
#pragma once

#include "base/Exceptions.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace quillet {

class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(const std::string& fileName)
        : EStreamError("Cannot create file " + fileName) {}
};

enum class SeekOrigin { Beginning, Current, End };

class TStream {
public:
    virtual ~TStream() = default;

    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    virtual std::int64_t Size() const = 0;
    virtual std::int64_t Position() const = 0;

    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Beginning); }
    // Bytes between the position and the end: what a reader can still hope to get.
    std::int64_t Remaining() const;

    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    void ReadBuffer(std::span<std::uint8_t> bytes) { ReadBuffer(bytes.data(), bytes.size()); }
    void WriteBuffer(std::span<const std::uint8_t> bytes) {
        WriteBuffer(bytes.data(), bytes.size());
    }
};

// A growable block of memory.
class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::span<const std::uint8_t> bytes)
        : data_(bytes.begin(), bytes.end()) {}
    explicit TMemoryStream(std::vector<std::uint8_t>&& bytes) : data_(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
    std::int64_t Position() const override { return position_; }

    const std::vector<std::uint8_t>& Memory() const { return data_; }
    void Clear();

private:
    std::vector<std::uint8_t> data_;
    std::int64_t position_ = 0;
};

enum class FileMode { OpenRead, Create };

// A file on disk: opened for reading only (others may read it too), or created anew for
// writing. Raises "Cannot open file %s" or "Cannot create file %s" when the system refuses.
class TFileStream final : public TStream {
public:
    TFileStream(const std::string& fileName, FileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() const override;
    std::int64_t Position() const override;

private:
    std::string fileName_;
    std::FILE* file_ = nullptr;
};

} // namespace quillet
