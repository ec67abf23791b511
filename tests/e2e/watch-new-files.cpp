// Watches a folder the way another user of the machine could, and reads every file that
// appears in it, for as long as it can. Says how many it could open and how many bytes it read
// once a file named "stop" appears.
//
// Usage: watch-new-files FOLDER READY_FILE
//   READY_FILE is made once the watch is in place.
#include <sys/inotify.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// Reads what it can of the file: a file is read while it is being written, again and again.
long ReadWhatItCan(const std::string& path, int& opened) {
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return 0;
    ++opened;
    long total = 0;
    std::array<char, 65536> buffer{};
    for (int rounds = 0; rounds < 1000; ++rounds) {
        const ssize_t got = ::read(file, buffer.data(), buffer.size());
        if (got > 0)
            total += got;
        else if (got == 0)
            break;
        else if (errno != EINTR)
            break;
    }
    ::close(file);
    return total;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: watch-new-files FOLDER READY_FILE\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_CREATE | IN_MOVED_TO) < 0) {
        std::fprintf(stderr, "watch-new-files: %s: %s\n", folder.c_str(), std::strerror(errno));
        return 2;
    }
    const int ready = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (ready < 0) {
        std::fprintf(stderr, "watch-new-files: %s: %s\n", argv[2], std::strerror(errno));
        return 2;
    }
    ::close(ready);

    int opened = 0;
    long bytes = 0;
    alignas(inotify_event) std::array<char, 16384> events{};
    for (;;) {
        const ssize_t got = ::read(watch, events.data(), events.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "watch-new-files: %s\n", std::strerror(errno));
            return 2;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events.data() + at);
            const std::string name = event->len > 0 ? event->name : "";
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (name == "stop") {
                std::printf("opened %d files, read %ld bytes\n", opened, bytes);
                return 0;
            }
            if (!name.empty())
                bytes += ReadWhatItCan(folder + "/" + name, opened);
        }
    }
}
