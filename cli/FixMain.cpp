#include "cli/QuilletFix.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    quillet::UseBinaryStandardStreams();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return quillet::RunGuarded(std::cerr, "quillet-fix", [&] {
        const std::unique_ptr<quillet::FileLayer> files = quillet::MakeSystemFileLayer();
        return quillet::RunQuilletFix(arguments, std::cout, std::cerr, *files);
    });
}
