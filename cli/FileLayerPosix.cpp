// The file layer on POSIX systems.
#include "cli/SafeWrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

[[noreturn]] void Fail(int error) {
    throw EWriteFailure(std::strerror(error));
}

class PosixFile final : public NewFile {
public:
    explicit PosixFile(int descriptor) : descriptor_(descriptor) {}
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;
    ~PosixFile() override {
        if (descriptor_ >= 0)
            ::close(descriptor_);
    }

    void TakePermissionsOf(const std::string& model) override {
        struct stat info {};
        if (::stat(model.c_str(), &info) != 0)
            Fail(errno);
        // The mode comes after the owner, since chown clears the set-user-ID bits.
        if (::fchown(descriptor_, info.st_uid, info.st_gid) != 0) {
            // Only root, or an owner for a group of theirs, may keep the owner. The new file
            // is then the user's own, like any file they write.
        }
        if (::fchmod(descriptor_, info.st_mode & 07777) != 0)
            Fail(errno);
    }

    void Write(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                Fail(errno);
            }
            bytes = bytes.subspan(static_cast<std::size_t>(written));
        }
    }

    void Flush() override {
        if (::fsync(descriptor_) != 0)
            Fail(errno);
    }

    void Close() override {
        const int descriptor = descriptor_;
        descriptor_ = -1;
        if (::close(descriptor) != 0)
            Fail(errno);
    }

private:
    int descriptor_;
};

// After a rename, the folder's entry is what must reach the disk. Not every file system can
// sync a folder, and the rename has happened either way, so a failure here is no failure.
void SyncFolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const int folder =
        ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

class PosixFileLayer final : public FileLayer {
public:
    bool Exists(const std::string& path) override {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0;
    }

    std::unique_ptr<NewFile> CreateNew(const std::string& path) override {
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST)
                return nullptr;
            Fail(errno);
        }
        return std::make_unique<PosixFile>(descriptor);
    }

    void Rename(const std::string& from, const std::string& to, bool replace) override {
        if (replace) {
            // A rename needs only the folder's permission; the file's own says whether the
            // user may change it, as a write in place would.
            if (Exists(to) && ::access(to.c_str(), W_OK) != 0)
                Fail(errno);
            if (::rename(from.c_str(), to.c_str()) != 0)
                Fail(errno);
        } else {
            RenameWithoutReplacing(from, to);
        }
        SyncFolderOf(to);
    }

    void Remove(const std::string& path) noexcept override { ::unlink(path.c_str()); }

private:
    void RenameWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return;
        if (errno == EEXIST)
            throw ETargetExists(to);
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            Fail(errno);
#endif
        // A file system that cannot refuse to replace: look first.
        if (Exists(to))
            throw ETargetExists(to);
        if (::rename(from.c_str(), to.c_str()) != 0)
            Fail(errno);
    }
};

} // namespace

std::unique_ptr<FileLayer> MakeSystemFileLayer() {
    return std::make_unique<PosixFileLayer>();
}

} // namespace quillet
