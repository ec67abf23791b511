#include "cli/SafeWrite.h"

#include <filesystem>
#include <random>

namespace quillet {

namespace {

namespace fs = std::filesystem;

// Names of new files are tried in turn until one is free.
constexpr int kNameAttempts = 100;
// Long enough to tell whose it is, short enough to stay within the system's name limit.
constexpr std::size_t kLongestStem = 100;

// A link is followed, so that the file it names is replaced and the link stays.
fs::path ResolveLinks(const std::string& target) {
    std::error_code error;
    const fs::path path(target);
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
        file.reset(); // closed first: an open file cannot be removed everywhere
        if (!path.empty())
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
    } catch (const EWriteFailure& failure) {
        throw EWriteFailure(doing + ": " + failure.Message());
    }
}

} // namespace

void WriteFileSafely(FileLayer& files, const std::string& target,
                     std::span<const std::uint8_t> bytes, bool replace) {
    const fs::path resolved = ResolveLinks(target);
    const std::string destination = resolved.string();
    const fs::path folder = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
    std::string stem = resolved.filename().string();
    if (stem.size() > kLongestStem)
        stem.resize(kLongestStem);

    if (!replace && files.Exists(destination))
        throw ETargetExists(target);
    const bool replacing = files.Exists(destination);

    Temporary temporary(files);
    const unsigned start = std::random_device{}();
    Attempt("cannot create a file in " + folder.string(), [&] {
        for (int attempt = 0; attempt < kNameAttempts && !temporary.file; ++attempt) {
            const std::string name = stem + ".quillet-" + std::to_string(start + attempt) + ".tmp";
            temporary.file = files.CreateNew((folder / name).string());
            if (temporary.file)
                temporary.path = (folder / name).string();
        }
        if (!temporary.file)
            throw EWriteFailure("no free name for a temporary file");
    });

    Attempt("cannot write " + target, [&] {
        if (replacing)
            temporary.file->TakePermissionsOf(destination);
        temporary.file->Write(bytes);
        temporary.file->Flush();
        temporary.file->Close();
    });
    temporary.file.reset();
    Attempt((replacing ? "cannot replace " : "cannot create ") + target,
            [&] { files.Rename(temporary.path, destination, replace); });
    temporary.Keep();
}

} // namespace quillet
