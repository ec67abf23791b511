// The file layer on Windows.
#include "files/SafeWrite.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace quillet {

namespace {

// The attributes a replaced file passes on. Read-only is not among them: such a file is not
// replaced at all.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// WriteFile takes a DWORD count; the files here are far smaller, but stay within it anyway.
constexpr std::size_t kLargestWrite = 1 << 30;
// How long a hold waits for another run that holds the file, and how often it looks.
constexpr ULONGLONG kHoldPatienceMs = 30000;
constexpr DWORD kHoldRetryMs = 20;
// How long a name that vanished is looked for again: Wine replaces a file by removing it and
// then renaming the new one, so another run may find no file for a moment.
constexpr ULONGLONG kVanishedPatienceMs = 2000;

std::string SystemMessage(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string message = length > 0 && buffer != nullptr ? std::string(buffer, length) : "";
    LocalFree(buffer);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? "system error " + std::to_string(error) : message;
}

[[noreturn]] void Fail(DWORD error) {
    throw EWriteFailure(SystemMessage(error));
}

// Wine keeps a file's Unix mode as its access list: the owner's rights become the owner's and
// the group's, everyone's become everyone's. It can neither keep a group out nor say what the
// group may do, so a list passed on there would open a private file to its group.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Whether the file's access list lets everyone read it.
bool EveryoneMayRead(const std::string& path) {
    DWORD size = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    std::vector<std::uint8_t> descriptor(size);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    ACL* list = nullptr;
    if (size == 0 ||
        !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size,
                          &size) ||
        !GetSecurityDescriptorDacl(descriptor.data(), &present, &list, &defaulted))
        return false;
    if (!present || list == nullptr)
        return true; // no list at all: anyone may do anything
    std::uint8_t everyone[SECURITY_MAX_SID_SIZE];
    DWORD everyoneSize = sizeof everyone;
    if (!CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize))
        return false;
    constexpr DWORD kReading = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
    for (DWORD i = 0; i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry))
            return false;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0)
            continue;
        // Allowed and denied entries share their layout up to the SID.
        const auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!EqualSid(const_cast<DWORD*>(&ace->SidStart), everyone) || (ace->Mask & kReading) == 0)
            continue;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            return false;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE)
            return true;
    }
    return false;
}

// Owning handles: the file, the process token, memory from LocalAlloc.
struct HandleClose {
    void operator()(HANDLE handle) const noexcept {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
            CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleClose>;

Handle OpenHandle(HANDLE handle) {
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// A security descriptor that lets the user, and nobody else, do anything with a file; its
// list is not widened by what the folder passes on.
class PrivateSecurity {
public:
    PrivateSecurity() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            Fail(GetLastError());
        const Handle owned(token);
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        if (size == 0 || !GetTokenInformation(token, TokenUser, user_.data(), size, &size))
            Fail(GetLastError());
        PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        if (!InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
            !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
            !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
            Fail(GetLastError());
        attributes_.lpSecurityDescriptor = &descriptor_;
    }
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    std::vector<std::uint8_t> user_;
    std::vector<std::uint8_t> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Marks the file to go when its handle closes, or takes the mark away.
bool MarkForDeletion(HANDLE handle, bool marked) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = marked ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// A new file, marked to be deleted when its handle closes until it is complete, so that a
// program ended in the middle leaves nothing behind.
class Win32File final : public NewFile {
public:
    Win32File(Handle handle, std::string path)
        : handle_(std::move(handle)), path_(std::move(path)) {
        marked_ = MarkForDeletion(handle_.get(), true);
    }
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;
    ~Win32File() override {
        if (!handle_)
            return;
        handle_.reset();
        if (!marked_)
            DeleteFileA(path_.c_str());
    }

    void TakePermissionsOf(const std::string& model) override {
        const DWORD attributes = GetFileAttributesA(model.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            Fail(GetLastError());
        // Under Wine the new file keeps the mode Wine gives it: a list passed on would open
        // it to the owner's group.
        if (!UnderWine())
            TakeSecurityOf(model);
        const DWORD kept = attributes & kKeptAttributes;
        if (kept == 0)
            return;              // a plain file, as the new one is already
        FILE_BASIC_INFO basic{}; // times of zero stay as they are
        basic.FileAttributes = kept;
        if (!SetFileInformationByHandle(handle_.get(), FileBasicInfo, &basic, sizeof basic))
            Fail(GetLastError());
    }

    void Write(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            const auto wanted = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
            DWORD written = 0;
            if (!WriteFile(handle_.get(), bytes.data(), wanted, &written, nullptr))
                Fail(GetLastError());
            if (written == 0)
                Fail(ERROR_DISK_FULL);
            bytes = bytes.subspan(written);
        }
    }

    void Flush() override {
        if (!FlushFileBuffers(handle_.get()))
            Fail(GetLastError());
    }

    void Close() override {
        if (marked_ && !MarkForDeletion(handle_.get(), false))
            Fail(GetLastError());
        marked_ = false;
        if (!CloseHandle(handle_.release())) {
            const DWORD error = GetLastError();
            DeleteFileA(path_.c_str());
            Fail(error);
        }
    }

private:
    // Who may do what with the file, as with the file it replaces. A list that cannot be
    // passed on leaves the new file the user's alone, and the write fails.
    void TakeSecurityOf(const std::string& model) {
        DWORD size = 0;
        GetFileSecurityA(model.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
        std::vector<std::uint8_t> descriptor(size);
        if (size == 0 || !GetFileSecurityA(model.c_str(), DACL_SECURITY_INFORMATION,
                                           descriptor.data(), size, &size))
            Fail(GetLastError());
        if (!SetKernelObjectSecurity(handle_.get(), DACL_SECURITY_INFORMATION, descriptor.data()))
            Fail(GetLastError());
        // The owner too, where the user may give it away; otherwise the file is theirs.
        size = 0;
        GetFileSecurityA(model.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
        std::vector<std::uint8_t> owner(size);
        if (size > 0 &&
            GetFileSecurityA(model.c_str(), OWNER_SECURITY_INFORMATION, owner.data(), size, &size))
            SetKernelObjectSecurity(handle_.get(), OWNER_SECURITY_INFORMATION, owner.data());
    }

    Handle handle_;
    std::string path_;
    bool marked_ = false;
};

struct FileIdentity {
    BY_HANDLE_FILE_INFORMATION info{};

    bool SameFile(const FileIdentity& other) const {
        return info.dwVolumeSerialNumber == other.info.dwVolumeSerialNumber &&
               info.nFileIndexHigh == other.info.nFileIndexHigh &&
               info.nFileIndexLow == other.info.nFileIndexLow;
    }
    bool SameContents(const FileIdentity& other) const {
        return SameFile(other) && info.nFileSizeHigh == other.info.nFileSizeHigh &&
               info.nFileSizeLow == other.info.nFileSizeLow &&
               CompareFileTime(&info.ftLastWriteTime, &other.info.ftLastWriteTime) == 0;
    }
};

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
    FileIdentity identity;
    if (!GetFileInformationByHandle(handle, &identity.info))
        return std::nullopt;
    return identity;
}

// Opens what the name stands for to read its facts only; any other use of it may go on.
Handle OpenToLookAt(const std::string& path) {
    return OpenHandle(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    const Handle handle = OpenToLookAt(path);
    return handle ? IdentityOf(handle.get()) : std::nullopt;
}

// A lock on one byte far past the end of any image: it keeps other repairs off without
// keeping anyone from reading the file.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

class Win32HeldFile final : public HeldFile {
public:
    Win32HeldFile(Handle handle, std::string path, const FileIdentity& identity)
        : handle_(std::move(handle)), path_(std::move(path)), identity_(identity) {}

    std::uint64_t LinkCount() const override { return identity_.info.nNumberOfLinks; }

    void CheckUnchanged() override {
        const std::optional<FileIdentity> named = IdentityOf(path_);
        // A file still open here could not be renamed over on Windows: the hold ends at the
        // first look, a moment before the rename. Another run may hold it then, and even
        // replace it: that shows at the next look, before the rename is tried again.
        handle_.reset();
        if (!named || !identity_.SameContents(*named))
            throw ETargetChanged(path_ + " was changed by another program while it was repaired");
    }

private:
    Handle handle_;
    std::string path_;
    FileIdentity identity_;
};

FileKind KindOfOpened(HANDLE handle) {
    const std::optional<FileIdentity> identity = IdentityOf(handle);
    if (GetFileType(handle) != FILE_TYPE_DISK || !identity ||
        (identity->info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return FileKind::Other;
    return FileKind::Regular;
}

class Win32FileLayer final : public FileLayer {
public:
    bool Exists(const std::string& path) override {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        // Wine gives no attributes for a pipe or a device, but they are there all the same.
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
               error != ERROR_INVALID_NAME;
    }

    FileKind KindOf(const std::string& path) override {
        const Handle handle = OpenToLookAt(path);
        if (!handle) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? FileKind::Missing
                       : FileKind::Other;
        }
        return KindOfOpened(handle.get());
    }

    std::unique_ptr<NewFile> CreateNew(const std::string& path,
                                       const std::string* replaced) override {
        std::optional<PrivateSecurity> security;
        if (replaced != nullptr && UnderWine()) {
            // Refused before a byte is written: the new file would be open to others at once.
            if (!EveryoneMayRead(*replaced))
                throw EWriteFailure("Wine cannot make a file as private as " + *replaced +
                                    ", which others may not read; the native quillet-fix can");
        } else if (replaced != nullptr) {
            security.emplace();
        }
        Handle handle = OpenHandle(CreateFileA(
            path.c_str(), GENERIC_WRITE | DELETE | WRITE_DAC | WRITE_OWNER | READ_CONTROL, 0,
            security ? security->Attributes() : nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
            nullptr));
        if (!handle) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                return nullptr;
            Fail(error);
        }
        return std::make_unique<Win32File>(std::move(handle), path);
    }

    void Rename(const std::string& from, const std::string& to, bool replace) override {
        // Windows refuses to replace a read-only file; Wine, run by root, does not.
        const DWORD existing = GetFileAttributesA(to.c_str());
        if (replace && existing != INVALID_FILE_ATTRIBUTES &&
            (existing & FILE_ATTRIBUTE_READONLY) != 0)
            Fail(ERROR_ACCESS_DENIED);
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (MoveFileExA(from.c_str(), to.c_str(), flags))
            return;
        const DWORD error = GetLastError();
        // A file open elsewhere cannot be renamed over.
        if (replace && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION))
            throw ETargetBusy(SystemMessage(error));
        if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
            throw ETargetExists(to);
        Fail(error);
    }

    void Remove(const std::string& path) noexcept override { DeleteFileA(path.c_str()); }

    std::unique_ptr<HeldFile> Hold(const std::string& path) override {
        const ULONGLONG start = GetTickCount64();
        const ULONGLONG deadline = start + kHoldPatienceMs;
        for (;;) {
            if (GetTickCount64() >= deadline)
                throw EWriteFailure("another program has held it for " +
                                    std::to_string(kHoldPatienceMs / 1000) + " seconds");
            // Every kind of sharing: others read it meanwhile, and it can still be replaced.
            Handle handle = OpenHandle(CreateFileA(
                path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            if (!handle) {
                const DWORD error = GetLastError();
                const bool vanished =
                    error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
                if (!vanished || GetTickCount64() >= start + kVanishedPatienceMs)
                    Fail(error);
                Sleep(kHoldRetryMs);
                continue;
            }
            if (KindOfOpened(handle.get()) != FileKind::Regular)
                throw EWriteFailure("not a regular file");
            OVERLAPPED place{};
            place.OffsetHigh = kLockOffsetHigh;
            if (LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                           0, &place)) {
                // The one that held it before may have replaced it: hold the file the name
                // stands for now.
                const std::optional<FileIdentity> held = IdentityOf(handle.get());
                const std::optional<FileIdentity> named = IdentityOf(path);
                if (held && named && held->SameFile(*named))
                    return std::make_unique<Win32HeldFile>(std::move(handle), path, *held);
                continue;
            }
            // Not held open while waiting: on Windows that would keep the one who holds it
            // from renaming over it.
            handle.reset();
            Sleep(kHoldRetryMs);
        }
    }
};

} // namespace

std::unique_ptr<FileLayer> MakeSystemFileLayer() {
    return std::make_unique<Win32FileLayer>();
}

} // namespace quillet
