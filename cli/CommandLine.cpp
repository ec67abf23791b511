#include "cli/CommandLine.h"

#include "base/Exceptions.h"

#include <algorithm>
#include <exception>
#include <new>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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

std::string OptionHelpLines(std::span<const std::string_view> names, std::string_view value,
                            std::string_view help, std::size_t column) {
    std::string text;
    std::string line = "  ";
    for (std::size_t i = 0; i < names.size(); ++i)
        line.append(i == 0 ? "" : ", ").append(names[i]);
    if (!value.empty())
        line.append(" ").append(value);
    if (help.empty() || line.size() >= column) {
        text += line + '\n';
        line.clear();
    }
    for (std::size_t start = 0; !help.empty() && start <= help.size();) {
        const std::size_t end = std::min(help.find('\n', start), help.size());
        line.resize(column, ' ');
        text += line.append(help.substr(start, end - start)) + '\n';
        line.clear();
        start = end + 1;
    }
    return text;
}

int UsageError(std::ostream& err, std::string_view tool, std::string_view problem) {
    err << tool << ": " << TerminalText(problem) << '\n' << "Try '" << tool << " --help'.\n";
    return kExitUsage;
}

int RunGuarded(std::ostream& err, std::string_view tool, const std::function<int()>& run) {
    std::string problem;
    try {
        return run();
    } catch (const Exception& failure) {
        problem = failure.Message();
    } catch (const std::bad_alloc&) {
        problem = "out of memory";
    } catch (const std::exception& failure) {
        problem = failure.what();
    } catch (...) {
        problem = "an unexpected failure";
    }
    err << tool << ": " << TerminalText(problem) << '\n';
    return kExitUsage;
}

std::string TerminalText(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const auto escape = [](std::string& out, unsigned char byte) {
        out += "\\x";
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c1) {
            escape(out, byte);
            escape(out, static_cast<unsigned char>(text[++i]));
        } else if ((byte < 0x20 && byte != '\n') || byte == 0x7F) {
            escape(out, byte);
        } else {
            out += text[i];
        }
    }
    return out;
}

#ifdef _WIN32
namespace {
UINT consoleCodePageBefore = 0;
void RestoreConsoleCodePage() {
    SetConsoleOutputCP(consoleCodePageBefore);
}
} // namespace
#endif

void UseBinaryStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // The text is UTF-8, as the process's code page is; a console reads bytes in a code page
    // of its own, and keeps it after the program: UTF-8 while the program runs.
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) ||
        GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode)) {
        consoleCodePageBefore = GetConsoleOutputCP();
        if (consoleCodePageBefore != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
            std::atexit(RestoreConsoleCodePage);
    }
#endif
}

} // namespace quillet
