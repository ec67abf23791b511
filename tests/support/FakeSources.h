// Byte sources that real files cannot easily stand in for: huge sparse ones, failing ones.
#pragma once

#include "base/ByteSource.h"

#include <algorithm>
#include <map>
#include <vector>

namespace quillet::testing {

// A source of any size that is zero except for the blocks placed in it.
class SparseSource : public ByteSource {
public:
    explicit SparseSource(std::uint64_t size) : size_(size) {}
    void Place(std::uint64_t position, std::vector<std::uint8_t> bytes) {
        blocks_[position] = std::move(bytes);
    }
    std::uint64_t Size() const override { return size_; }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override {
        if (position >= size_)
            return 0;
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size_ - position));
        std::fill_n(buffer.begin(), count, std::uint8_t{0});
        for (const auto& [at, bytes] : blocks_) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const std::uint64_t p = at + i;
                if (p >= position && p < position + count)
                    buffer[static_cast<std::size_t>(p - position)] = bytes[i];
            }
        }
        return count;
    }

private:
    std::uint64_t size_;
    std::map<std::uint64_t, std::vector<std::uint8_t>> blocks_;
};

// Serves `goodReads` reads from the wrapped source, then fails every read.
class FailingSource : public ByteSource {
public:
    FailingSource(ByteSource& inner, int goodReads) : inner_(inner), goodReads_(goodReads) {}
    std::uint64_t Size() const override { return inner_.Size(); }
    std::size_t ReadAt(std::uint64_t position, std::span<std::uint8_t> buffer) override {
        if (goodReads_-- <= 0)
            throw EReadFailure("Cannot read file broken.smc: Input/output error");
        return inner_.ReadAt(position, buffer);
    }

private:
    ByteSource& inner_;
    int goodReads_;
};

} // namespace quillet::testing
