#include "files/SafeWrite.h"

#include "base/Utf8.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

namespace quillet {

namespace {

namespace fs = std::filesystem;

// A target that another program has open is tried again, for a while: a virus scanner, or
// another run looking whether it may hold the file yet, has it open for a moment.
constexpr auto kBusyPatience = std::chrono::seconds(2);
constexpr auto kBusyRetry = std::chrono::milliseconds(10);
// Names of new files are tried in turn until one is free.
constexpr int kNameAttempts = 100;
// Long enough to tell whose it is, short enough to stay within the system's name limit.
constexpr std::size_t kLongestStem = 100;
constexpr std::string_view kMarker = ".quillet-";
constexpr std::string_view kSuffix = ".tmp";

std::string StemOf(const std::string& targetFileName) {
    return targetFileName.substr(0, kLongestStem);
}

// A link is followed, so that the file it names is replaced and the link stays.
fs::path ResolveLinks(const std::string& target) {
    std::error_code error;
    const fs::path path = PathFromUtf8(target);
    if (fs::is_symlink(path, error)) {
        const fs::path resolved = fs::canonical(path, error);
        if (!error)
            return resolved;
    }
    return path;
}

// The new file: closed and removed unless the write got through.
class Temporary {
public:
    explicit Temporary(FileLayer& files) : files_(files) {}
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        const bool named = !file; // a file not yet closed may have no name of its own yet
        file.reset();             // closed first: an open file cannot be removed everywhere
        if (named && !path.empty())
            files_.Remove(path);
    }
    void Keep() { path.clear(); }

    std::string path;
    std::unique_ptr<NewFile> file;

private:
    FileLayer& files_;
};

// Runs one step; a failure's reason gets the words that say what was being done.
template <typename Step> void Attempt(const std::string& doing, Step step) {
    try {
        step();
    } catch (const ETargetExists&) {
        throw;
    } catch (const ETargetChanged&) {
        throw;
    } catch (const EWriteFailure& failure) {
        throw EWriteFailure(doing + ": " + failure.Message());
    }
}

// Whether a new file may still be a live run's. Windows cannot rename over a file held open,
// so there a run lets the target go just before its rename, and the next run may be holding
// the target while the new file waits for its rename: one written in the last minute is left
// alone. Elsewhere the hold lasts through the rename, and what is there is a leftover.
bool MayBeLive([[maybe_unused]] const fs::directory_entry& entry) {
#ifdef _WIN32
    std::error_code error;
    const fs::file_time_type written = entry.last_write_time(error);
    return error || fs::file_time_type::clock::now() - written < std::chrono::minutes(1);
#else
    return false;
#endif
}

// New files that a run killed before it could clean up left beside the target. Only called
// while the target is held.
void RemoveLeftovers(FileLayer& files, const fs::path& folder, const std::string& fileName) {
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        std::error_code typeError;
        const std::string name = Utf8FromPath(entries->path().filename());
        if (IsTemporaryNameFor(fileName, name) && entries->is_regular_file(typeError) &&
            !entries->is_symlink(typeError) && !MayBeLive(*entries))
            files.Remove(Utf8FromPath(entries->path()));
    }
}

} // namespace

std::string TemporaryNameFor(const std::string& targetFileName, unsigned number) {
    return StemOf(targetFileName) + std::string(kMarker) + std::to_string(number) +
           std::string(kSuffix);
}

bool IsTemporaryNameFor(const std::string& targetFileName, const std::string& name) {
    const std::string start = StemOf(targetFileName) + std::string(kMarker);
    if (!name.starts_with(start) || !name.ends_with(kSuffix))
        return false;
    const std::string_view number =
        std::string_view(name).substr(start.size(), name.size() - start.size() - kSuffix.size());
    return !number.empty() && number.size() <= 10 &&
           number.find_first_not_of("0123456789") == std::string_view::npos;
}

void WriteFileSafely(FileLayer& files, const std::string& target,
                     std::span<const std::uint8_t> bytes, bool replace, HeldFile* held) {
    const fs::path resolved = ResolveLinks(target);
    const std::string destination = Utf8FromPath(resolved);
    const fs::path folder = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    const std::string fileName = Utf8FromPath(resolved.filename());

    if (!replace && files.Exists(destination))
        throw ETargetExists(target);
    const bool replacing = files.Exists(destination);
    // A device or a pipe would turn into a plain file, and /dev/null would be gone.
    if (replacing && files.KindOf(destination) != FileKind::Regular)
        throw EWriteFailure("cannot replace " + target + ": not a regular file");
    if (held != nullptr)
        RemoveLeftovers(files, folder, fileName);

    Temporary temporary(files);
    const unsigned start = std::random_device{}();
    Attempt("cannot create a file in " + Utf8FromPath(folder), [&] {
        for (int attempt = 0; attempt < kNameAttempts && !temporary.file; ++attempt) {
            const std::string name = Utf8FromPath(
                folder /
                PathFromUtf8(TemporaryNameFor(fileName, start + static_cast<unsigned>(attempt))));
            temporary.file = files.CreateNew(name, replacing ? &destination : nullptr);
            if (temporary.file)
                temporary.path = name;
        }
        if (!temporary.file)
            throw EWriteFailure("no free name for a temporary file");
    });

    Attempt("cannot write " + target, [&] {
        temporary.file->Write(bytes);
        if (replacing)
            temporary.file->TakePermissionsOf(destination);
        temporary.file->Flush();
        temporary.file->Close();
    });
    temporary.file.reset();
    Attempt((replacing ? "cannot replace " : "cannot create ") + target, [&] {
        for (std::chrono::milliseconds waited{0};; waited += kBusyRetry) {
            // Looked at again before each try: whoever had the file open may have replaced it.
            if (held != nullptr)
                held->CheckUnchanged();
            try {
                files.Rename(temporary.path, destination, replace);
                return;
            } catch (const ETargetBusy&) {
                if (waited >= kBusyPatience)
                    throw;
            }
            std::this_thread::sleep_for(kBusyRetry);
        }
    });
    temporary.Keep();
}

} // namespace quillet
