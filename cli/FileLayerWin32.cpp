// The file layer on Windows.
#include "cli/SafeWrite.h"

#include <windows.h>

#include <algorithm>

namespace quillet {

namespace {

// The attributes a replaced file passes on. Read-only is not among them: such a file is not
// replaced at all.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// WriteFile takes a DWORD count; the files here are far smaller, but stay within it anyway.
constexpr std::size_t kLargestWrite = 1 << 30;

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

class Win32File final : public NewFile {
public:
    explicit Win32File(HANDLE handle) : handle_(handle) {}
    Win32File(const Win32File&) = delete;
    Win32File& operator=(const Win32File&) = delete;
    ~Win32File() override {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }

    void TakePermissionsOf(const std::string& model) override {
        const DWORD attributes = GetFileAttributesA(model.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            Fail(GetLastError());
        const DWORD kept = attributes & kKeptAttributes;
        if (kept == 0)
            return;              // a plain file, as the new one is already
        FILE_BASIC_INFO basic{}; // times of zero stay as they are
        basic.FileAttributes = kept;
        if (!SetFileInformationByHandle(handle_, FileBasicInfo, &basic, sizeof basic))
            Fail(GetLastError());
    }

    void Write(std::span<const std::uint8_t> bytes) override {
        while (!bytes.empty()) {
            const auto wanted = static_cast<DWORD>(std::min(bytes.size(), kLargestWrite));
            DWORD written = 0;
            if (!WriteFile(handle_, bytes.data(), wanted, &written, nullptr))
                Fail(GetLastError());
            if (written == 0)
                Fail(ERROR_DISK_FULL);
            bytes = bytes.subspan(written);
        }
    }

    void Flush() override {
        if (!FlushFileBuffers(handle_))
            Fail(GetLastError());
    }

    void Close() override {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(handle))
            Fail(GetLastError());
    }

private:
    HANDLE handle_;
};

class Win32FileLayer final : public FileLayer {
public:
    bool Exists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::unique_ptr<NewFile> CreateNew(const std::string& path) override {
        const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                return nullptr;
            Fail(error);
        }
        return std::make_unique<Win32File>(handle);
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
        if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
            throw ETargetExists(to);
        Fail(error);
    }

    void Remove(const std::string& path) noexcept override { DeleteFileA(path.c_str()); }
};

} // namespace

std::unique_ptr<FileLayer> MakeSystemFileLayer() {
    return std::make_unique<Win32FileLayer>();
}

} // namespace quillet
