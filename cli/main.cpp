#include "cli/QuilletInfo.h"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Byte-for-byte the same output as on other systems: no CR added before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return quillet::RunQuilletInfo(arguments, std::cout, std::cerr);
}
