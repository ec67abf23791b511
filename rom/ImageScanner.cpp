#include "rom/ImageScanner.h"

#include "base/Exceptions.h"
#include "base/NumberFormat.h"
#include "rom/CopierFormats.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

namespace quillet {

namespace {

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
// A cartridge holds at most 8 MiB: no repeat looks back further, and the ring holds that.
constexpr std::uint64_t kRingSize = 8 * kMiB;
// Data is handled in pieces no longer than the shortest repeat period, so that the bytes a
// piece is compared with are always already in the ring.
constexpr std::uint64_t kShortestRepeat = 32 * kKiB;
constexpr std::uint64_t kPiece = kShortestRepeat;
// All three header places, with the vectors and reset targets, lie before this data offset.
constexpr std::uint64_t kDecisionPoint = 0x410000;

// A copier header of another size than the analysis' makes the file that many bytes over
// whole units of this.
constexpr std::uint64_t kOtherHeaderUnit = 32 * kKiB;

// Where each byte of the data lies in the bytes given: as it is, or interleaved.
using Mapping = std::uint64_t (*)(std::uint64_t offset, std::uint64_t dataSize);
std::uint64_t AsStored(std::uint64_t offset, std::uint64_t) {
    return offset;
}

struct PlaceScore {
    std::optional<CartridgeHeader> header; // empty when the bytes end before the place
    int score = 0;
};

// The header at `place` of data of `dataSize` bytes whose first bytes are `known`, and how much
// it looks like one; the first instruction counts only where it is among the known bytes.
PlaceScore ScorePlace(std::span<const std::uint8_t> known, std::uint64_t dataSize,
                      HeaderPlace place, Mapping map) {
    const std::uint32_t address = HeaderAddress(place);
    if (dataSize < std::uint64_t{address} + kHeaderWithVectorsSize)
        return {};
    std::array<std::uint8_t, kHeaderWindowSize> window{};
    for (std::size_t i = 0; i < window.size(); ++i) {
        const std::uint64_t at = map(address - kExtendedHeaderSize + i, dataSize);
        if (at >= known.size())
            return {};
        window[i] = known[static_cast<std::size_t>(at)];
    }
    PlaceScore result{DecodeCartridgeHeader(window, address), 0};
    std::optional<std::uint8_t> first;
    if (const auto target = ResetTarget(place, *result.header); target && *target < dataSize) {
        const std::uint64_t at = map(*target, dataSize);
        if (at < known.size())
            first = known[static_cast<std::size_t>(at)];
    }
    result.score = ScoreHeaderPlace(place, *result.header, first);
    return result;
}

// Whether the data may be interleaved: whole banks, all of them kept in the ring.
bool MayBeInterleaved(std::uint64_t dataSize) {
    return CanInterleave(dataSize) && dataSize <= kRingSize;
}

std::string Hex16(std::uint16_t value) {
    return "0x" + FormatHex(value, 4);
}

struct Evidence {
    std::uint64_t dataSize;
    std::uint16_t computed;
    const CartridgeHeader* header;
    std::optional<std::uint64_t> declared;
    std::optional<std::uint16_t> declaredSum; // of the declared part, when there is more
    bool padded;
    std::uint8_t fill;
    bool repeats;
};

ChecksumReport Diagnose(const Evidence& e) {
    ChecksumReport report;
    report.computed = e.computed;
    std::vector<std::string> sentences;
    if (e.header == nullptr) {
        report.diagnosis.push_back(ChecksumDiagnosis::Underdump);
        report.explanation = "The data (" + FormatByteCount(e.dataSize) +
                             ") ends before the first place of an internal header, 0x7FC0: "
                             "too short for a cartridge image.";
        return report;
    }
    const CartridgeHeader& h = *e.header;
    report.header = h.checksum;
    report.complement = h.complement;

    const bool surplus = e.declared && e.dataSize > *e.declared;
    const bool matchesAll = e.computed == h.checksum;
    const bool matchesDeclared = surplus && e.declaredSum == h.checksum;
    const bool valid = ChecksumPairValid(h);
    if (!valid) {
        report.diagnosis.push_back(ChecksumDiagnosis::Placeholder);
        sentences.push_back("The checksum " + Hex16(h.checksum) + " and its complement " +
                            Hex16(h.complement) +
                            " are not a valid pair: the fields were never filled in, as homebrew "
                            "tools leave them, so they say nothing about the data.");
    } else if (matchesAll) {
        report.diagnosis.push_back(ChecksumDiagnosis::Matches);
        sentences.push_back("The checksum in the header matches the data.");
    } else if (matchesDeclared) {
        report.diagnosis.push_back(ChecksumDiagnosis::Matches);
        sentences.push_back("The checksum in the header matches the first " +
                            FormatByteCount(*e.declared) + ", the size the header declares.");
    } else {
        report.diagnosis.push_back(ChecksumDiagnosis::DataChanged);
        sentences.push_back("The header holds a valid checksum, " + Hex16(h.checksum) +
                            ", but the data sums to " + Hex16(e.computed) +
                            ": the image was patched or hacked, or is a bad dump.");
    }

    if (e.declared && e.dataSize < *e.declared) {
        // Cartridges of 12, 20, 24 or 48 megabits declare the next power of two, so only data
        // that could not fill half of it, or that fails a valid checksum, is missing some.
        if (e.dataSize <= *e.declared / 2 || (valid && !matchesAll)) {
            report.diagnosis.push_back(ChecksumDiagnosis::Underdump);
            sentences.push_back("The image holds " + FormatByteCount(e.dataSize) +
                                " of data, less than the " + FormatByteCount(*e.declared) +
                                " its size byte declares: part of the cartridge is missing.");
        }
    } else if (surplus) {
        const std::string extra = FormatByteCount(e.dataSize - *e.declared) + " beyond the " +
                                  FormatByteCount(*e.declared) + " its size byte declares";
        if (e.padded) {
            report.diagnosis.push_back(ChecksumDiagnosis::Padded);
            sentences.push_back("The " + extra + " are all 0x" + FormatHex(e.fill, 2) +
                                ": padding, which can be cut off.");
        } else if (e.repeats) {
            report.diagnosis.push_back(ChecksumDiagnosis::Overdump);
            sentences.push_back("The " + extra +
                                " repeat earlier data: an overdump, which can be cut off.");
        } else {
            sentences.push_back("The " + extra +
                                " neither repeat earlier data nor are padding: the size byte may "
                                "be wrong.");
        }
    }
    for (const std::string& sentence : sentences)
        report.explanation += (report.explanation.empty() ? "" : " ") + sentence;
    return report;
}

} // namespace

const char* DiagnosisCode(ChecksumDiagnosis diagnosis) {
    switch (diagnosis) {
    case ChecksumDiagnosis::Matches:
        return "matches";
    case ChecksumDiagnosis::Placeholder:
        return "placeholder";
    case ChecksumDiagnosis::DataChanged:
        return "data-changed";
    case ChecksumDiagnosis::Underdump:
        return "underdump";
    case ChecksumDiagnosis::Overdump:
        return "overdump";
    case ChecksumDiagnosis::Padded:
        return "padded";
    }
    return "";
}

ImageScanner::ImageScanner(std::uint64_t fileSize, std::uint64_t dataOffset, ScanHashes hashes)
    : ImageScanner(fileSize, dataOffset, hashes, true) {
}

ImageScanner::ImageScanner(std::uint64_t fileSize, std::uint64_t dataOffset, ScanHashes hashes,
                           bool lookForInterleaving)
    : fileSize_(fileSize), hashes_(hashes), lookForInterleaving_(lookForInterleaving),
      analysisOffset_(std::min(dataOffset, fileSize)) {
    if (hashes_ == ScanHashes::Computed)
        fileDigests_.emplace();
    const std::uint64_t other = fileSize % kOtherHeaderUnit;
    if (other == analysisOffset_ || other == 0 || fileSize < other + kShortestRepeat) {
        Start(analysisOffset_);
        return;
    }
    // Both places of a header after either offset lie in the 64 KiB after it, and so do the
    // interleaved data's.
    otherOffset_ = other;
    holdUntil_ = std::min(fileSize, std::max(other, analysisOffset_) + kInterleaveBank);
}

void ImageScanner::Start(std::uint64_t dataOffset) {
    started_ = true;
    dataOffset_ = dataOffset;
    dataSize_ = fileSize_ - dataOffset;
    decisionPoint_ = std::min(dataSize_, kDecisionPoint);
    runs_ = MirroredRuns(dataSize_);
    ring_.resize(static_cast<std::size_t>(std::min(dataSize_, kRingSize)));
    if (dataOffset_ > 0 && hashes_ == ScanHashes::Computed)
        dataDigests_.emplace();
}

// The other size counts only where it puts a header that the analysis' size does not match.
void ImageScanner::ChooseCopierHeader() {
    const auto bestAfter = [&](std::uint64_t offset) {
        const std::span<const std::uint8_t> known =
            std::span<const std::uint8_t>(held_).subspan(static_cast<std::size_t>(offset));
        const std::uint64_t dataSize = fileSize_ - offset;
        int best = 0;
        for (const HeaderPlace place : {HeaderPlace::LoRom, HeaderPlace::HiRom})
            best = std::max(best, ScorePlace(known, dataSize, place, AsStored).score);
        if (lookForInterleaving_ && MayBeInterleaved(dataSize))
            best = std::max(
                best, ScorePlace(known, dataSize, HeaderPlace::HiRom, InterleavedOffset).score);
        return best;
    };
    const int other = bestAfter(otherOffset_);
    Start(other >= kFoundScore && other > bestAfter(analysisOffset_) ? otherOffset_
                                                                     : analysisOffset_);
}

void ImageScanner::Feed(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > fileSize_ - received_)
        throw Exception("More bytes than the file's " +
                        FormatDecimal(static_cast<std::int64_t>(fileSize_)) +
                        " were read: it grew while it was read");
    received_ += bytes.size();
    if (fileDigests_)
        fileDigests_->Update(bytes);
    if (!started_) {
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(bytes.size(), holdUntil_ - held_.size()));
        held_.insert(held_.end(), bytes.begin(),
                     bytes.begin() + static_cast<std::ptrdiff_t>(count));
        bytes = bytes.subspan(count);
        if (held_.size() < holdUntil_)
            return;
        ChooseCopierHeader();
        const std::vector<std::uint8_t> held = std::move(held_);
        FeedFile(held);
    }
    FeedFile(bytes);
}

void ImageScanner::FeedFile(std::span<const std::uint8_t> bytes) {
    if (position_ < dataOffset_) {
        const auto header = static_cast<std::size_t>(
            std::min<std::uint64_t>(bytes.size(), dataOffset_ - position_));
        copierHeader_.insert(copierHeader_.end(), bytes.begin(),
                             bytes.begin() + static_cast<std::ptrdiff_t>(header));
        position_ += header;
        bytes = bytes.subspan(header);
    }
    if (dataDigests_)
        dataDigests_->Update(bytes);
    while (!bytes.empty()) {
        const std::uint64_t at = DataFed();
        // Pieces end where a sum is recorded, and at the decision point.
        std::uint64_t length = std::min<std::uint64_t>(bytes.size(), kPiece);
        length = std::min(length, (at == 0 ? 1 : std::bit_floor(at) << 1) - at);
        if (run_ < runs_.size())
            length = std::min(length, runs_[run_].start + runs_[run_].length - at);
        if (!decided_ && at < decisionPoint_)
            length = std::min(length, decisionPoint_ - at);
        const auto count = static_cast<std::size_t>(length);
        AddData(bytes.first(count));
        bytes = bytes.subspan(count);
        if (!decided_ && DataFed() == decisionPoint_)
            Decide();
    }
}

void ImageScanner::AddData(std::span<const std::uint8_t> piece) {
    const std::uint64_t at = DataFed();
    const std::uint64_t end = at + piece.size();

    const std::uint64_t sum = SumOfBytes(piece);
    sum_ += sum;
    runSum_ += sum;
    if (std::has_single_bit(end))
        prefixSums_[static_cast<std::size_t>(std::countr_zero(end))] = sum_;
    if (run_ < runs_.size() && end == runs_[run_].start + runs_[run_].length) {
        mirroredSum_ += (runSum_ & 0xFFFF) * (runs_[run_].repeat & 0xFFFF);
        runSum_ = 0;
        ++run_;
    }

    // The run of equal bytes at the end: continued, or started again inside this piece.
    const std::uint8_t last = piece.back();
    std::size_t start = piece.size() - 1;
    while (start > 0 && piece[start - 1] == last)
        --start;
    if (!(start == 0 && at > 0 && tailByte_ == last)) {
        tailByte_ = last;
        tailStart_ = at + start;
    }

    if (decided_)
        CheckRepeats(at, piece);
    StoreInRing(at, piece);
    position_ += piece.size();
}

bool ImageScanner::RingEquals(std::uint64_t at, std::span<const std::uint8_t> bytes) const {
    const std::size_t size = ring_.size();
    auto slot = static_cast<std::size_t>(at % size);
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), size - slot);
        if (std::memcmp(ring_.data() + slot, bytes.data(), count) != 0)
            return false;
        bytes = bytes.subspan(count);
        slot = 0;
    }
    return true;
}

void ImageScanner::StoreInRing(std::uint64_t at, std::span<const std::uint8_t> bytes) {
    const std::size_t size = ring_.size();
    auto slot = static_cast<std::size_t>(at % size);
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), size - slot);
        std::memcpy(ring_.data() + slot, bytes.data(), count);
        bytes = bytes.subspan(count);
        slot = 0;
    }
}

// Compares data from `from` on with the data one period earlier, for each period still held.
void ImageScanner::CheckRepeats(std::uint64_t from, std::span<const std::uint8_t> bytes) {
    if (!declared_ || from + bytes.size() <= *declared_)
        return;
    if (from < *declared_) {
        const auto skip = static_cast<std::size_t>(*declared_ - from);
        bytes = bytes.subspan(skip);
        from += skip;
    }
    for (Repeat& repeat : repeats_) {
        if (repeat.holds)
            repeat.holds = RingEquals(from - repeat.period, bytes);
    }
}

void ImageScanner::Decide() {
    decided_ = true;
    // Everything fed so far is still in the ring.
    const std::span<const std::uint8_t> known(ring_.data(), static_cast<std::size_t>(DataFed()));

    std::size_t best = 0;
    for (std::size_t i = 0; i < kHeaderPlaces.size(); ++i) {
        const PlaceScore place = ScorePlace(known, dataSize_, kHeaderPlaces[i], AsStored);
        headers_[i] = place.header;
        opinion_.scores[i] = place.score;
        if (opinion_.scores[i] > opinion_.scores[best])
            best = i; // ties go to the smaller map
    }
    if (lookForInterleaving_ && MayBeInterleaved(dataSize_)) {
        // The data is interleaved where, undone, the HiROM place holds the header: it must win
        // there as it would in the scan of the data de-interleaved, and beat every place as the
        // data is. All three places lie in the first 0x408000 bytes of interleaved data.
        std::array<int, 3> undone{};
        for (std::size_t i = 0; i < kHeaderPlaces.size(); ++i)
            undone[i] = ScorePlace(known, dataSize_, kHeaderPlaces[i], InterleavedOffset).score;
        const int hiRom = undone[1];
        interleaved_ = hiRom >= kFoundScore && hiRom > opinion_.scores[best] && hiRom > undone[0] &&
                       hiRom >= undone[2];
        if (interleaved_)
            return; // Finish scans the data de-interleaved
    }
    opinion_.place = kHeaderPlaces[best];
    if (!headers_[best])
        return;

    declared_ = DeclaredRomBytes(*headers_[best]);
    if (!declared_ || *declared_ >= dataSize_)
        return;
    for (std::uint64_t period = kShortestRepeat;
         period <= std::min<std::uint64_t>(*declared_, ring_.size()); period *= 2)
        repeats_.push_back({period, true});
    // What lies past the declared size so far is all in the ring, unwrapped.
    if (known.size() > *declared_)
        CheckRepeats(*declared_, known.subspan(static_cast<std::size_t>(*declared_)));
}

ImageDetails ImageScanner::Finish(const SNESImageInfo& info) {
    if (received_ != fileSize_)
        throw Exception("The file ended after " +
                        FormatDecimal(static_cast<std::int64_t>(received_)) + " of its " +
                        FormatDecimal(static_cast<std::int64_t>(fileSize_)) +
                        " bytes: it shrank while it was read");
    if (!decided_)
        Decide();

    ImageDetails details;
    details.file = {0, fileSize_, fileDigests_ ? fileDigests_->Finish() : Digests{}};
    details.data = {dataOffset_, dataSize_,
                    dataDigests_ ? dataDigests_->Finish() : details.file.digests};
    if (dataOffset_ > 0)
        details.copier = CopierHeader{IdentifyCopierHeader(copierHeader_), dataOffset_};

    if (interleaved_) {
        // The checksum, an overdump and the hashes DAT files give all follow the cartridge's
        // order, which the file's bytes come in only half by half. Interleaved images are rare
        // and at most 8 MiB, all of it in the ring: a second pass over that memory, in the
        // cartridge's order, is simpler than following both orders in the one pass.
        const std::vector<std::uint8_t> cartridge =
            Deinterleave(std::span(ring_).first(static_cast<std::size_t>(dataSize_)));
        ImageScanner undone(cartridge.size(), 0, hashes_, false);
        undone.Feed(cartridge);
        ImageDetails inOrder = undone.Finish(info);
        details.cartridge = std::move(inOrder.cartridge);
        details.opinion = inOrder.opinion;
        details.checksum = std::move(inOrder.checksum);
        details.interleaved = true;
        if (hashes_ == ScanHashes::Computed)
            details.deinterleaved = std::move(inOrder.data.digests);
        return details;
    }

    const auto best = static_cast<std::size_t>(
        std::find(kHeaderPlaces.begin(), kHeaderPlaces.end(), opinion_.place) -
        kHeaderPlaces.begin());
    details.cartridge = headers_[best];
    details.opinion = opinion_;
    details.opinion.agreesWithAnalysis = (opinion_.place != HeaderPlace::LoRom) == info.HiRom;

    Evidence evidence{.dataSize = dataSize_,
                      .computed = static_cast<std::uint16_t>(mirroredSum_),
                      .header = details.cartridge ? &*details.cartridge : nullptr,
                      .declared = declared_,
                      .declaredSum = std::nullopt,
                      .padded = false,
                      .fill = tailByte_,
                      .repeats = false};
    if (declared_ && *declared_ < dataSize_) {
        if (const auto& sum = prefixSums_[static_cast<std::size_t>(std::countr_zero(*declared_))])
            evidence.declaredSum = static_cast<std::uint16_t>(*sum);
        evidence.padded = tailStart_ <= *declared_;
        evidence.repeats = std::any_of(repeats_.begin(), repeats_.end(),
                                       [](const Repeat& repeat) { return repeat.holds; });
    }
    details.checksum = Diagnose(evidence);
    return details;
}

} // namespace quillet
