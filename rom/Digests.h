// The four digests that DAT files and ROM managers compare, computed in one pass by libgcrypt.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct gcry_md_handle;

namespace quillet {

// Lower-case hexadecimal. CRC32 is the zlib (IEEE) one that DAT files give.
struct Digests {
    std::string crc32;
    std::string md5;
    std::string sha1;
    std::string sha256;
    bool operator==(const Digests&) const = default;
};

// Which of the four a DigestSet computes; those left out come out empty.
struct DigestChoice {
    bool crc32 = true;
    bool md5 = true;
    bool sha1 = true;
    bool sha256 = true;
};

// One libgcrypt handle with CRC32, MD5, SHA-1 and SHA-256 enabled, or those chosen: each byte
// is fed once.
class DigestSet {
public:
    // Throws Exception when libgcrypt is unusable or cannot open the hashes.
    explicit DigestSet(DigestChoice choice = {});
    void Update(std::span<const std::uint8_t> bytes);
    // The digests of everything fed so far. The set is spent afterwards.
    Digests Finish();

private:
    struct Closer {
        void operator()(gcry_md_handle* handle) const noexcept;
    };
    std::unique_ptr<gcry_md_handle, Closer> handle_;
    DigestChoice choice_;
    bool finished_ = false;
};

// The zlib CRC32 of `bytes` alone, which patch formats store as a number: cheaper than a whole
// DigestSet where no other hash is wanted.
std::uint32_t Crc32Of(std::span<const std::uint8_t> bytes);

} // namespace quillet
