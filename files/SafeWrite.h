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

// The file was changed, or its name given to another file, while it was held for a rewrite.
class ETargetChanged : public EWriteFailure {
public:
    using EWriteFailure::EWriteFailure;
};

// Another program has the target open, which on Windows keeps it from being replaced; it may
// well be gone a moment later.
class ETargetBusy : public EWriteFailure {
public:
    using EWriteFailure::EWriteFailure;
};

// A file being written. Closing is a step of its own, since
// some systems report write errors only then; one that is not closed is closed on
// destruction, errors ignored, and the new file is then gone.
class NewFile {
public:
    virtual ~NewFile() = default;
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    // Takes the permissions (and, where allowed, the owner) of the file `model`. Throws
    // EWriteFailure rather than leave the new file more open to others than `model` is.
    virtual void TakePermissionsOf(const std::string& model) = 0;
    virtual void Flush() = 0; // through to the disk, not only to the system's cache
    virtual void Close() = 0;
};

// A file held for a rewrite: others who hold it wait until it is let go, which happens on
// destruction.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    // How many names (hard links) the file has.
    virtual std::uint64_t LinkCount() const = 0;
    // Throws ETargetChanged when the held name now stands for another file, or the file was
    // written to since it was held. Called last thing before the rename, and again before
    // each try of a rename that found the file busy.
    virtual void CheckUnchanged() = 0;
};

enum class FileKind { Missing, Regular, Other };

// The file-system operations a safe write is made of. Each throws EWriteFailure whose message
// is the system's reason alone; tests put in one that fails at a chosen step.
class FileLayer {
public:
    virtual ~FileLayer() = default;
    // Whether anything has the name, a link that leads nowhere included.
    virtual bool Exists(const std::string& path) = 0;
    // What the name stands for, following links.
    virtual FileKind KindOf(const std::string& path) = 0;
    // A new file that has the name `path` once closed; null when something already has that
    // name. One that is to replace the file `replaced` is closed to everyone but its owner
    // until it takes that file's permissions, so that the bytes of a private file are never
    // open to others; without `replaced` it has the permissions any new file of the user's
    // gets.
    virtual std::unique_ptr<NewFile> CreateNew(const std::string& path,
                                               const std::string* replaced) = 0;
    // Renames `from` to `to` in the same folder. An existing `to` is replaced only with
    // `replace`, and then only if the user may write to it; otherwise ETargetExists. Throws
    // ETargetBusy when something has `to` open just then.
    virtual void Rename(const std::string& from, const std::string& to, bool replace) = 0;
    virtual void Remove(const std::string& path) noexcept = 0;
    // Holds the existing regular file `path`, waiting a while for others who hold it. Throws
    // EWriteFailure when it cannot be held.
    virtual std::unique_ptr<HeldFile> Hold(const std::string& path) = 0;
};

// The system's own: POSIX calls, or Win32 on Windows.
std::unique_ptr<FileLayer> MakeSystemFileLayer();

// The name a new file for `target` gets in the target's folder, with `number` to make it
// unique; a name of this form is recognised as one of ours.
std::string TemporaryNameFor(const std::string& targetFileName, unsigned number);
bool IsTemporaryNameFor(const std::string& targetFileName, const std::string& name);

// Writes `bytes` to `target` through `files`, following a symbolic link to the file it names.
// Throws ETargetExists when `target` exists and `replace` is false, EWriteFailure otherwise;
// an existing target that is not a regular file is never replaced. With `held`, the held
// target is checked unchanged just before it is replaced, and new files that earlier runs
// left beside it are removed.
void WriteFileSafely(FileLayer& files, const std::string& target,
                     std::span<const std::uint8_t> bytes, bool replace, HeldFile* held = nullptr);

} // namespace quillet
