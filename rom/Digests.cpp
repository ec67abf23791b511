#include "rom/Digests.h"

#include "base/Exceptions.h"

#include <gcrypt.h>

#include <array>

namespace quillet {

namespace {

constexpr int kAlgorithms[] = {GCRY_MD_CRC32, GCRY_MD_MD5, GCRY_MD_SHA1, GCRY_MD_SHA256};

// libgcrypt must be initialised once before its first use; a function-local static makes that
// thread-safe, and every DigestSet goes through here.
void InitialiseLibgcrypt() {
    static const bool ready = [] {
        if (gcry_check_version(GCRYPT_VERSION) == nullptr)
            throw Exception(std::string("libgcrypt ") + GCRYPT_VERSION + " or later is needed");
        // Hashes of public data need no locked memory.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)ready;
}

std::string Hex(const unsigned char* bytes, unsigned int length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

void Check(gcry_error_t error, const char* what) {
    if (error != 0)
        throw Exception(std::string("Cannot ") + what + ": " + gcry_strerror(error));
}

// In the order of kAlgorithms.
std::array<bool, 4> Chosen(const DigestChoice& choice) {
    return {choice.crc32, choice.md5, choice.sha1, choice.sha256};
}

} // namespace

void DigestSet::Closer::operator()(gcry_md_handle* handle) const noexcept {
    gcry_md_close(handle);
}

DigestSet::DigestSet(DigestChoice choice) : choice_(choice) {
    InitialiseLibgcrypt();
    gcry_md_hd_t handle = nullptr;
    Check(gcry_md_open(&handle, 0, 0), "open the hashes");
    handle_.reset(handle);
    const std::array<bool, 4> chosen = Chosen(choice_);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (chosen[i])
            Check(gcry_md_enable(handle, kAlgorithms[i]), "enable a hash");
    }
}

void DigestSet::Update(std::span<const std::uint8_t> bytes) {
    if (finished_)
        throw Exception("Digests fed after they were finished");
    gcry_md_write(handle_.get(), bytes.data(), bytes.size());
}

Digests DigestSet::Finish() {
    if (finished_)
        throw Exception("Digests finished twice");
    finished_ = true;
    std::string texts[4];
    const std::array<bool, 4> chosen = Chosen(choice_);
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (!chosen[i])
            continue;
        const int algorithm = kAlgorithms[i];
        // libgcrypt gives CRC32 with its bytes most significant first, as it is written.
        texts[i] = Hex(gcry_md_read(handle_.get(), algorithm), gcry_md_get_algo_dlen(algorithm));
    }
    return {texts[0], texts[1], texts[2], texts[3]};
}

std::uint32_t Crc32Of(std::span<const std::uint8_t> bytes) {
    InitialiseLibgcrypt();
    unsigned char digest[4] = {};
    gcry_md_hash_buffer(GCRY_MD_CRC32, digest, bytes.data(), bytes.size());
    // Most significant byte first, as Finish writes it.
    return std::uint32_t{digest[0]} << 24 | std::uint32_t{digest[1]} << 16 |
           std::uint32_t{digest[2]} << 8 | std::uint32_t{digest[3]};
}

} // namespace quillet
