#include "cli/QuilletInfo.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    quillet::UseBinaryStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return quillet::RunGuarded(std::cerr, "quillet-info", [&] {
        return quillet::RunQuilletInfo(arguments, std::cout, std::cerr);
    });
}
