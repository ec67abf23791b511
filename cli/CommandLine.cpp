#include "cli/CommandLine.h"

#ifdef _WIN32
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#endif

namespace quillet {

bool ArgumentReader::NextOption() {
    while (next_ < arguments_.size()) {
        const std::string& argument = arguments_[next_++];
        if (optionsEnded_ || argument.empty() || argument[0] != '-' || argument == "-") {
            operands_.push_back(argument);
        } else if (argument == "--") {
            optionsEnded_ = true;
        } else {
            current_ = next_ - 1;
            return true;
        }
    }
    return false;
}

std::optional<std::string> ArgumentReader::ValueOf(std::string_view name) {
    const std::string& option = Option();
    if (option == name)
        return next_ < arguments_.size() ? arguments_[next_++] : std::string();
    if (!option.starts_with(name))
        return std::nullopt;
    const std::string_view rest = std::string_view(option).substr(name.size());
    if (rest.starts_with('='))
        return std::string(rest.substr(1));
    if (name.size() == 2) // "-oFILE"
        return std::string(rest);
    return std::nullopt;
}

bool AnswerHelpOrVersion(const ArgumentReader& reader, std::ostream& out, std::string_view tool,
                         std::string_view usage) {
    if (reader.Is("--help") || reader.Is("-h")) {
        out << usage;
        return true;
    }
    if (reader.Is("--version")) {
        out << tool << ' ' << kQuilletVersion << '\n';
        return true;
    }
    return false;
}

int UsageError(std::ostream& err, std::string_view tool, std::string_view problem) {
    err << tool << ": " << problem << '\n' << "Try '" << tool << " --help'.\n";
    return kExitUsage;
}

void UseBinaryStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

} // namespace quillet
