// What the image and sound library formats share: a four-character signature, counts and sizes
// read from untrusted files, and blocks of memory sized by them.
#pragma once

#include "base/Exceptions.h"
#include "base/NumberFormat.h"
#include "base/Streams.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace quillet::gamelib {

// The first four bytes against a signature, without regard to letter case.
inline bool SignatureMatches(std::span<const std::uint8_t> bytes, const char* signature) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (std::toupper(bytes[i]) != std::toupper(static_cast<unsigned char>(signature[i])))
            return false;
    }
    return true;
}

// A declared size the stream cannot hold fails as a short read would, before anything is
// allocated for it.
inline void RequireAvailable(TStream& stream, std::int64_t bytes) {
    if (bytes > stream.Remaining())
        throw EReadError();
}

// Memory for `size` bytes that are about to be overwritten; raises `failure` when there is none.
inline std::unique_ptr<std::uint8_t[]> AllocateBlock(std::int64_t size,
                                                     const std::string& failure) {
    // On a 32-bit system a size can be beyond what the address space could ever hold.
    if (static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max())
        throw Exception(failure);
    try {
        return std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        throw Exception(failure);
    }
}

// Reserves room for `count` entries of a list; raises `failure` when there is none.
template <typename List>
void ReserveEntries(List& list, std::size_t count, const std::string& failure) {
    try {
        list.reserve(count);
    } catch (const std::bad_alloc&) {
        throw Exception(failure);
    } catch (const std::length_error&) {
        throw Exception(failure);
    }
}

// A copy of `size` bytes in memory of its own; raises `failure` when there is none.
inline std::unique_ptr<std::uint8_t[]> CopyBlock(const std::uint8_t* bytes, std::int64_t size,
                                                 const std::string& failure) {
    auto copy = AllocateBlock(size, failure);
    if (size > 0)
        std::memcpy(copy.get(), bytes, static_cast<std::size_t>(size));
    return copy;
}

// Copies the entries of one list into another that was just cleared, counting them in `count`
// as they arrive, so that a copy that runs out of memory leaves a list that describes only what
// it holds. `copyEntry` copies one entry with its data block, raising the failure it is given.
template <typename Entry, typename CopyEntry>
void CopyEntries(const std::vector<Entry>& source, std::vector<Entry>& target, std::int32_t& count,
                 const std::string& listName, CopyEntry copyEntry) {
    ReserveEntries(target, source.size(),
                   listName + ".AssignTo failed (GetMem): " +
                       FormatDecimal(static_cast<std::int64_t>(source.size() * sizeof(Entry))));
    for (const Entry& entry : source) {
        target.push_back(copyEntry(entry, listName + ".AssignTo failed"));
        ++count;
    }
}

} // namespace quillet::gamelib
