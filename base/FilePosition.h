// 64-bit positions in C stdio files, whatever the system calls its functions for them.
#pragma once

#include <cstdint>
#include <cstdio>

namespace quillet {

inline int SeekFile(std::FILE* file, std::int64_t offset, int origin) {
#ifdef _WIN32
    return _fseeki64(file, offset, origin);
#else
    return fseeko(file, static_cast<off_t>(offset), origin);
#endif
}

inline std::int64_t TellFile(std::FILE* file) {
#ifdef _WIN32
    return _ftelli64(file);
#else
    return static_cast<std::int64_t>(ftello(file));
#endif
}

} // namespace quillet
