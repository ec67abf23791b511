// One patch reader on arbitrary bytes: the input is an image and a patch body, and the patch
// gets its format's magic and, for BPS and UPS, CRC32s that let it past the checks to the
// records. Applying it is refused with a reason or gives a result a cartridge can hold; a patch
// made from the same two pieces gives the second back. QUILLET_PATCH_FORMAT picks the format.
#include "rom/Digests.h"
#include "rom/PatchApply.h"
#include "rom/PatchFormats.h"
#include "rom/PatchMaker.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

using namespace quillet;

namespace {

using Bytes = std::vector<std::uint8_t>;

void AppendLe32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes PatchFrom(std::span<const std::uint8_t> image, std::span<const std::uint8_t> body) {
    constexpr PatchFormat kFormat = static_cast<PatchFormat>(QUILLET_PATCH_FORMAT);
    const char* magic = kFormat == PatchFormat::Ips   ? "PATCH"
                        : kFormat == PatchFormat::Bps ? "BPS1"
                                                      : "UPS1";
    Bytes patch(magic, magic + (kFormat == PatchFormat::Ips ? 5 : 4));
    patch.insert(patch.end(), body.begin(), body.end());
    if (kFormat == PatchFormat::Ips)
        return patch;
    // The source CRC32 of the whole image, or of its data after a copier header, as the
    // body's last byte says; the target CRC32 as the fuzzer gave it.
    const bool data = !body.empty() && (body.back() & 1) != 0 && image.size() >= 512;
    AppendLe32(patch, Crc32Of(data ? image.subspan(512) : image));
    AppendLe32(patch, body.size() >= 4 ? Crc32Of(body.first(4)) : 0);
    AppendLe32(patch, Crc32Of(patch));
    return patch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const std::size_t imageSize = (std::size_t{data[0]} << 8 | data[1]) % (size - 1);
    const std::span<const std::uint8_t> image(data + 2, imageSize);
    const std::span<const std::uint8_t> body(data + 2 + imageSize, size - 2 - imageSize);
    const Bytes patch = PatchFrom(image, body);
    for (const PatchWay way : {PatchWay::Choose, PatchWay::File, PatchWay::Data}) {
        try {
            const PatchOutcome outcome = ApplyPatch(image, patch, way);
            if (outcome.image.size() > 8 * 1024 * 1024 + 512 || outcome.reason.empty() ||
                DescribePatching(outcome, true).empty())
                std::abort();
        } catch (const EPatchRefused& refusal) {
            if (refusal.Message().empty())
                std::abort();
        }
    }
    // Made patches give the target back.
    if (QUILLET_PATCH_FORMAT == 1) {
        const Bytes bps = MakeBps(image, body);
        const CheckedPatch header = ReadCheckedPatch(bps);
        if (ApplyCheckedPatch(header, bps, image) != Bytes(body.begin(), body.end()))
            std::abort();
    } else if (QUILLET_PATCH_FORMAT == 0) {
        const Bytes ips = MakeIps(image, body);
        if (ApplyIps(ReadIps(ips), ips, image) != Bytes(body.begin(), body.end()))
            std::abort();
    }
    return 0;
}
