// The file layer on POSIX systems.
#include "files/SafeWrite.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillet {

namespace {

namespace fs = std::filesystem;

// How long a hold waits for another run that holds the file, and how often it looks.
constexpr auto kHoldPatience = std::chrono::seconds(30);
constexpr auto kHoldRetry = std::chrono::milliseconds(20);

[[noreturn]] void Fail(int error) {
    throw EWriteFailure(std::strerror(error));
}

// While a new file has a name, the signals that ask a program to stop wait: they are taken
// once the layer has renamed or removed it, so an interrupted run leaves nothing behind.
class Deferral {
public:
    Deferral() = default;
    Deferral(const Deferral&) = delete;
    Deferral& operator=(const Deferral&) = delete;
    ~Deferral() { End(); }

    void Begin() {
        if (saved_)
            return;
        sigset_t stops;
        sigemptyset(&stops);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&stops, signal);
        sigset_t saved;
        pthread_sigmask(SIG_BLOCK, &stops, &saved);
        saved_ = saved;
    }
    void End() noexcept {
        if (saved_)
            pthread_sigmask(SIG_SETMASK, &*saved_, nullptr);
        saved_.reset();
    }

private:
    std::optional<sigset_t> saved_;
};

// A new file that, where the system allows, has no name until it is complete (O_TMPFILE), so
// that nothing is left behind however the program ends; elsewhere one made under its name.
class PosixFile final : public NewFile {
public:
    PosixFile(int descriptor, std::string path, bool unnamed, Deferral& deferral)
        : descriptor_(descriptor), path_(std::move(path)), unnamed_(unnamed), deferral_(deferral) {}
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;
    ~PosixFile() override {
        if (descriptor_ < 0)
            return;
        ::close(descriptor_); // an unnamed file is gone with it
        if (!unnamed_)
            Discard();
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

    void Flush() override {
        if (::fsync(descriptor_) != 0)
            Fail(errno);
    }

    void Close() override {
        if (unnamed_) {
            deferral_.Begin();
            const std::string self = "/proc/self/fd/" + std::to_string(descriptor_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                const int error = errno;
                deferral_.End();
                Fail(error); // the destructor closes the file, and it is gone
            }
            unnamed_ = false;
        }
        const int descriptor = descriptor_;
        descriptor_ = -1;
        if (::close(descriptor) != 0) {
            const int error = errno;
            Discard();
            Fail(error);
        }
    }

private:
    void Discard() noexcept {
        ::unlink(path_.c_str());
        deferral_.End();
    }

    int descriptor_;
    std::string path_;
    bool unnamed_;
    Deferral& deferral_;
};

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity Of(const struct stat& info) {
        return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
    }
    bool SameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    bool SameContents(const FileIdentity& other) const {
        const auto same = [](const timespec& a, const timespec& b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return SameFile(other) && size == other.size && same(modified, other.modified);
    }
};

// flock: held by whoever else repairs the file, and gone with the descriptor.
class PosixHeldFile final : public HeldFile {
public:
    PosixHeldFile(int descriptor, std::string path, const struct stat& info)
        : descriptor_(descriptor), path_(std::move(path)), links_(info.st_nlink),
          identity_(FileIdentity::Of(info)) {}
    PosixHeldFile(const PosixHeldFile&) = delete;
    PosixHeldFile& operator=(const PosixHeldFile&) = delete;
    ~PosixHeldFile() override { ::close(descriptor_); }

    std::uint64_t LinkCount() const override { return links_; }

    void CheckUnchanged() override {
        struct stat now {};
        struct stat named {};
        if (::fstat(descriptor_, &now) != 0 || ::stat(path_.c_str(), &named) != 0 ||
            !identity_.SameContents(FileIdentity::Of(now)) ||
            !identity_.SameFile(FileIdentity::Of(named)))
            throw ETargetChanged(path_ + " was changed by another program while it was repaired");
    }

private:
    int descriptor_;
    std::string path_;
    nlink_t links_;
    FileIdentity identity_;
};

bool UnnamedFilesWork() {
    std::error_code error;
    return fs::exists("/proc/self/fd", error);
}

class PosixFileLayer final : public FileLayer {
public:
    bool Exists(const std::string& path) override {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0;
    }

    FileKind KindOf(const std::string& path) override {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            return errno == ENOENT ? FileKind::Missing : FileKind::Other;
        return S_ISREG(info.st_mode) ? FileKind::Regular : FileKind::Other;
    }

    std::unique_ptr<NewFile> CreateNew(const std::string& path,
                                       const std::string* replaced) override {
        const mode_t mode = replaced != nullptr ? 0600 : 0666; // less the user's mask
        if (Exists(path))
            return nullptr;
#ifdef O_TMPFILE
        if (unnamedFilesWork_) {
            const fs::path folder = fs::path(path).parent_path();
            const int descriptor = ::open(folder.empty() ? "." : folder.c_str(),
                                          O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
            if (descriptor >= 0)
                return std::make_unique<PosixFile>(descriptor, path, true, deferral_);
            // Not every file system has unnamed files; a named one does as well.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
                Fail(errno);
        }
#endif
        deferral_.Begin();
        const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor < 0) {
            const int error = errno;
            deferral_.End();
            if (error == EEXIST)
                return nullptr;
            Fail(error);
        }
        return std::make_unique<PosixFile>(descriptor, path, false, deferral_);
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
        deferral_.End();
        SyncFolderOf(to);
    }

    void Remove(const std::string& path) noexcept override {
        ::unlink(path.c_str());
        deferral_.End();
    }

    std::unique_ptr<HeldFile> Hold(const std::string& path) override {
        const auto deadline = std::chrono::steady_clock::now() + kHoldPatience;
        for (;;) {
            if (std::chrono::steady_clock::now() >= deadline)
                throw EWriteFailure("another program has held it for " +
                                    std::to_string(kHoldPatience.count()) + " seconds");
            // A device is not even opened: that alone can do something.
            if (KindOf(path) == FileKind::Other)
                throw EWriteFailure("not a regular file");
            // Without blocking: a pipe put in the file's place must not stop the program.
            const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (descriptor < 0)
                Fail(errno);
            struct stat held {};
            if (::fstat(descriptor, &held) != 0) {
                const int error = errno;
                ::close(descriptor);
                Fail(error);
            }
            if (!S_ISREG(held.st_mode)) {
                ::close(descriptor);
                throw EWriteFailure("not a regular file");
            }
            const bool locked = ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
            const int error = errno;
            // A file system without locks: the look before the rename still sees a change.
            if (locked || (error != EWOULDBLOCK && error != EINTR)) {
                // The one that held it before may have replaced it: hold the file the name
                // stands for now.
                struct stat named {};
                if (::stat(path.c_str(), &named) == 0 &&
                    FileIdentity::Of(named).SameFile(FileIdentity::Of(held))) {
                    ::fstat(descriptor, &held); // as it is now that nobody else holds it
                    return std::make_unique<PosixHeldFile>(descriptor, path, held);
                }
                ::close(descriptor);
                continue;
            }
            ::close(descriptor);
            std::this_thread::sleep_for(kHoldRetry);
        }
    }

private:
    // After a rename, the folder's entry is what must reach the disk. Not every file system
    // can sync a folder, and the rename has happened either way, so a failure here is none.
    static void SyncFolderOf(const std::string& path) {
        const fs::path parent = fs::path(path).parent_path();
        const int folder =
            ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }

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

    const bool unnamedFilesWork_ = UnnamedFilesWork();
    Deferral deferral_;
};

} // namespace

std::unique_ptr<FileLayer> MakeSystemFileLayer() {
    return std::make_unique<PosixFileLayer>();
}

} // namespace quillet
