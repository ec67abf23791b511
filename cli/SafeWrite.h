// Writing a file so that no failure loses data: the bytes go to a new file in the target's
// folder, are flushed to the disk, and only then is the new file renamed over the target. A
// failure at any step leaves the target as it was and removes the new file.
#pragma once

#include "base/Exceptions.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillet {

// A step of a write failed; the message names the file and gives the system's reason.
class EWriteFailure : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// The target exists and was not to be replaced.
class ETargetExists : public EWriteFailure {
public:
    explicit ETargetExists(const std::string& path) : EWriteFailure(path + " exists") {}
};

// A file being written. Closing it is a step of its own, since some systems report write
// errors only then; one that is not closed is closed on destruction, errors ignored.
class NewFile {
public:
    virtual ~NewFile() = default;
    // Takes the permissions (and, where allowed, the owner) of the file `model`.
    virtual void TakePermissionsOf(const std::string& model) = 0;
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    virtual void Flush() = 0; // through to the disk, not only to the system's cache
    virtual void Close() = 0;
};

// The file-system operations a safe write is made of. Each throws EWriteFailure whose message
// is the system's reason alone; tests put in one that fails at a chosen step.
class FileLayer {
public:
    virtual ~FileLayer() = default;
    virtual bool Exists(const std::string& path) = 0;
    // A new file at `path`; null when something already has that name.
    virtual std::unique_ptr<NewFile> CreateNew(const std::string& path) = 0;
    // Renames `from` to `to` in the same folder. An existing `to` is replaced only with
    // `replace`, and then only if the user may write to it; otherwise ETargetExists.
    virtual void Rename(const std::string& from, const std::string& to, bool replace) = 0;
    virtual void Remove(const std::string& path) noexcept = 0;
};

// The system's own: POSIX calls, or Win32 on Windows.
std::unique_ptr<FileLayer> MakeSystemFileLayer();

// Writes `bytes` to `target` through `files`, following a symbolic link to the file it names.
// Throws ETargetExists when `target` exists and `replace` is false, EWriteFailure otherwise.
void WriteFileSafely(FileLayer& files, const std::string& target,
                     std::span<const std::uint8_t> bytes, bool replace);

} // namespace quillet
