#include "rom/PatchMaker.h"

#include "base/NumberFormat.h"
#include "rom/Digests.h"

#include <divsufsort.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace quillet {

namespace {

// A copy shorter than this costs more than the bytes it saves, with the action that must
// follow it.
constexpr std::uint64_t kShortestCopy = 6;
// A run from the same offset this long is taken without looking for a longer one elsewhere.
constexpr std::uint64_t kGoodSourceRead = 32;
// Matches are looked for only where the next bytes may occur in the source: a bit per hash
// of every fourth window of four bytes, so that the bits stay few enough to be cached. A match
// of eleven bytes or more holds two such windows one after the other in its first bytes, and
// asking for both keeps the searches that find nothing rare.
constexpr std::size_t kWindow = 4;
constexpr std::size_t kWindowStep = 4;
constexpr unsigned kFilterBits = 23;

void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::size_t NumberBytes(std::uint64_t value) {
    std::size_t bytes = 1;
    while ((value >>= 7) != 0) {
        --value;
        ++bytes;
    }
    return bytes;
}

std::uint64_t SignedNumber(std::int64_t offset) {
    return offset < 0 ? (static_cast<std::uint64_t>(-offset) << 1) | 1
                      : static_cast<std::uint64_t>(offset) << 1;
}

std::size_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
    std::size_t n = 0;
    // Eight bytes at a time until they differ.
    while (n + 8 <= limit) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            if constexpr (std::endian::native == std::endian::little)
                return n + static_cast<std::size_t>(std::countr_zero(x ^ y) / 8);
            break;
        }
        n += 8;
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

std::uint32_t WindowHash(const std::uint8_t* bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, kWindow);
    return static_cast<std::uint32_t>(((word + 1) * 0x9E3779B97F4A7C15ull) >> (64 - kFilterBits));
}

// The longest match of a target's bytes anywhere in the source, through the source's suffix
// array.
class SourceIndex {
public:
    explicit SourceIndex(std::span<const std::uint8_t> source)
        : source_(source), suffixes_(source.size()), seen_(std::size_t{1} << kFilterBits) {
        if (source.size() > static_cast<std::size_t>(std::numeric_limits<saidx_t>::max()))
            throw EPatchRefused("the original is too large to make a BPS patch from");
        if (!source.empty() &&
            divsufsort(source.data(), suffixes_.data(), static_cast<saidx_t>(source.size())) != 0)
            throw EPatchRefused("cannot sort the original's suffixes");
        for (std::size_t i = 0; i + kWindow <= source.size(); i += kWindowStep)
            seen_[WindowHash(source.data() + i)] = true;
    }

    struct Match {
        std::size_t at = 0;
        std::size_t length = 0;
    };

    Match Longest(std::span<const std::uint8_t> wanted) const {
        if (source_.empty() || !MaySeeMatch(wanted))
            return {};
        // Binary search for where `wanted` sorts among the suffixes; the longest match is
        // beside that place.
        std::size_t low = 0;
        std::size_t high = suffixes_.size() - 1;
        while (high - low > 1) {
            const std::size_t middle = low + (high - low) / 2;
            const auto at = static_cast<std::size_t>(suffixes_[middle]);
            const std::size_t limit = std::min(source_.size() - at, wanted.size());
            const std::size_t same = CommonLength(source_.data() + at, wanted.data(), limit);
            const bool before =
                same == limit ? limit < wanted.size() : source_[at + same] < wanted[same];
            (before ? low : high) = middle;
        }
        Match best;
        for (const std::size_t rank : {low, high}) {
            const auto at = static_cast<std::size_t>(suffixes_[rank]);
            const std::size_t length = CommonLength(source_.data() + at, wanted.data(),
                                                    std::min(source_.size() - at, wanted.size()));
            if (length > best.length)
                best = {at, length};
        }
        return best;
    }

private:
    bool MaySeeMatch(std::span<const std::uint8_t> wanted) const {
        for (std::size_t i = 0; i < kWindowStep && i + kWindowStep + kWindow <= wanted.size();
             ++i) {
            if (seen_[WindowHash(wanted.data() + i)] &&
                seen_[WindowHash(wanted.data() + i + kWindowStep)])
                return true;
        }
        return false;
    }

    std::span<const std::uint8_t> source_;
    std::vector<saidx_t> suffixes_;
    std::vector<bool> seen_;
};

class BpsWriter {
public:
    explicit BpsWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void Action(std::uint64_t action, std::uint64_t length) {
        AppendPatchNumber(out_, (length - 1) << 2 | action);
    }
    void Offset(std::int64_t offset) { AppendPatchNumber(out_, SignedNumber(offset)); }
    void Bytes(std::span<const std::uint8_t> bytes) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }

private:
    std::vector<std::uint8_t>& out_;
};

} // namespace

std::vector<std::uint8_t> MakeBps(std::span<const std::uint8_t> source,
                                  std::span<const std::uint8_t> target) {
    std::vector<std::uint8_t> out = {'B', 'P', 'S', '1'};
    AppendPatchNumber(out, source.size());
    AppendPatchNumber(out, target.size());
    AppendPatchNumber(out, 0); // no metadata
    BpsWriter writer(out);
    const SourceIndex index(source);

    std::size_t at = 0;
    std::size_t literalFrom = 0;
    std::int64_t sourceRelative = 0;
    std::int64_t targetRelative = 0;
    const auto flushLiteral = [&] {
        if (at > literalFrom) {
            writer.Action(kTargetRead, at - literalFrom);
            writer.Bytes(target.subspan(literalFrom, at - literalFrom));
        }
    };
    while (at < target.size()) {
        const std::span<const std::uint8_t> rest = target.subspan(at);
        // Each candidate: bytes it covers less what it costs beyond a one-byte action.
        std::size_t sameOffset = 0;
        if (at < source.size()) {
            sameOffset = CommonLength(source.data() + at, rest.data(),
                                      std::min(source.size() - at, rest.size()));
        }
        std::uint64_t action = kSourceRead;
        std::size_t length = sameOffset;
        std::int64_t from = 0;
        std::int64_t gain = static_cast<std::int64_t>(sameOffset);
        const auto consider = [&](std::uint64_t kind, std::size_t matchLength,
                                  std::int64_t matchFrom, std::int64_t relative) {
            const std::int64_t cost =
                static_cast<std::int64_t>(NumberBytes(SignedNumber(matchFrom - relative)));
            const std::int64_t matchGain = static_cast<std::int64_t>(matchLength) - cost;
            if (matchLength >= kShortestCopy && matchGain > gain) {
                action = kind;
                length = matchLength;
                from = matchFrom;
                gain = matchGain;
            }
        };
        if (sameOffset < kGoodSourceRead) {
            // Going on where the last copy from the source ended, then anywhere in it.
            if (static_cast<std::size_t>(sourceRelative) < source.size()) {
                const auto next = static_cast<std::size_t>(sourceRelative);
                consider(kSourceCopy,
                         CommonLength(source.data() + next, rest.data(),
                                      std::min(source.size() - next, rest.size())),
                         sourceRelative, sourceRelative);
            }
            const SourceIndex::Match match = index.Longest(rest);
            consider(kSourceCopy, match.length, static_cast<std::int64_t>(match.at),
                     sourceRelative);
            // Repeats of the last few bytes made: runs of one byte or a short pattern.
            for (std::size_t distance = 1; distance <= 4 && distance <= at; ++distance) {
                const std::size_t repeat =
                    CommonLength(target.data() + at - distance, rest.data(), rest.size());
                consider(kTargetCopy, repeat, static_cast<std::int64_t>(at - distance),
                         targetRelative);
            }
        }
        const bool worthIt = action == kSourceRead ? length >= 4 : true;
        if (length == 0 || !worthIt) {
            ++at;
            continue;
        }
        flushLiteral();
        writer.Action(action, length);
        if (action == kSourceCopy) {
            writer.Offset(from - sourceRelative);
            sourceRelative = from + static_cast<std::int64_t>(length);
        } else if (action == kTargetCopy) {
            writer.Offset(from - targetRelative);
            targetRelative = from + static_cast<std::int64_t>(length);
        }
        at += length;
        literalFrom = at;
    }
    flushLiteral();

    AppendLe32(out, Crc32Of(source));
    AppendLe32(out, Crc32Of(target));
    AppendLe32(out, Crc32Of(out));
    return out;
}

std::vector<std::uint8_t> MakeIps(std::span<const std::uint8_t> source,
                                  std::span<const std::uint8_t> target) {
    if (source.size() > kLargestIpsFile || target.size() > kLargestIpsFile) {
        throw EPatchRefused("an IPS patch cannot describe files over " +
                            FormatByteCount(kLargestIpsFile) + "; make a BPS patch");
    }
    constexpr std::size_t kLongestRecord = 0xFFFF;
    constexpr std::size_t kEofOffset = 0x454F46;
    constexpr std::size_t kRecordCost = 5;  // offset and size
    constexpr std::size_t kShortestRun = 9; // an RLE record (8 bytes) beats the bytes
    std::vector<std::uint8_t> out = {'P', 'A', 'T', 'C', 'H'};
    const auto put = [&out](std::size_t value, int width) {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    // Bytes past the source's end are all written: what fills the gap is not the same in
    // every patcher.
    const auto differs = [&](std::size_t i) {
        return i >= source.size() || source[i] != target[i];
    };
    // A record whose offset reads "EOF" would end the patch: it starts a byte sooner, writing
    // that byte as it is in the target. At most one byte longer than asked.
    const auto literal = [&](std::size_t from, std::size_t to) {
        if (from == kEofOffset)
            --from;
        put(from, 3);
        put(to - from, 2);
        out.insert(out.end(), target.begin() + from, target.begin() + to);
    };

    std::size_t i = 0;
    while (i < target.size()) {
        if (!differs(i)) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        // Take differing bytes, and gaps too short to pay for a new record.
        std::size_t end = i + 1;
        while (end < target.size() && end - start < kLongestRecord - 1) {
            if (differs(end)) {
                ++end;
                continue;
            }
            std::size_t gap = end;
            while (gap < target.size() && gap - end < kRecordCost && !differs(gap))
                ++gap;
            if (gap - end >= kRecordCost || gap == target.size())
                break;
            end = std::min(gap, start + kLongestRecord - 1);
        }
        // Runs of one byte long enough go as RLE records, the rest as bytes.
        std::size_t j = start;
        while (j < end) {
            std::size_t literalEnd = j;
            while (literalEnd < end) {
                std::size_t next = literalEnd + 1;
                while (next < end && target[next] == target[literalEnd])
                    ++next;
                if (next - literalEnd >= kShortestRun)
                    break;
                literalEnd = next;
            }
            if (literalEnd > j) {
                literal(j, literalEnd);
                j = literalEnd;
                continue;
            }
            std::size_t run = j + 1;
            while (run < end && target[run] == target[j])
                ++run;
            if (j == kEofOffset) {
                literal(j, j + 1);
                ++j;
            }
            put(j, 3);
            put(0, 2);
            put(run - j, 2);
            out.push_back(target[j]);
            j = run;
        }
        i = end;
    }
    out.insert(out.end(), {'E', 'O', 'F'});
    if (target.size() < source.size())
        put(target.size(), 3);
    return out;
}

} // namespace quillet
