// The baseline bench_patch times applying against: what any program that applies a patch does
// besides applying it. It reads the image and the patch whole into memory, as applying must
// (a patch may read any part of its source), holds the result's bytes (read here from the file
// that has them), and writes them as the safe write does: to a new file in the target's folder,
// flushed, renamed over the target, and the folder flushed.
// Usage: bench_read_write IMAGE PATCH RESULT TARGET
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_read_write: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

std::vector<std::uint8_t> ReadWhole(const std::string& path) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (file < 0 || ::fstat(file, &info) != 0)
        Fail(path);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file, bytes.data() + done, bytes.size() - done);
        if (got <= 0)
            Fail(path);
        done += static_cast<std::size_t>(got);
    }
    ::close(file);
    return bytes;
}

void WriteSafely(const fs::path& target, const std::vector<std::uint8_t>& bytes) {
    const std::string temporary = target.string() + ".new";
    const int file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        Fail(temporary);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(file, bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            Fail(temporary);
        done += static_cast<std::size_t>(written);
    }
    if (::fsync(file) != 0 || ::close(file) != 0)
        Fail(temporary);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        Fail(target.string());
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int folder = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || ::fsync(folder) != 0)
        Fail(parent.string());
    ::close(folder);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_read_write IMAGE PATCH RESULT TARGET\n");
        return 2;
    }
    // Both inputs stay in memory until the result is written, as they do while applying.
    const std::vector<std::uint8_t> image = ReadWhole(argv[1]);
    const std::vector<std::uint8_t> patch = ReadWhole(argv[2]);
    const std::vector<std::uint8_t> result = ReadWhole(argv[3]);
    WriteSafely(argv[4], result);
    return 0;
}
