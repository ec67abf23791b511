// What the command-line tools share: exit statuses, the version, how a command line is read and
// how a wrong one is answered.
#pragma once

#include "base/Version.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// Goes through the arguments after the program name the way every tool takes them: options and
// operands in any order, "--" ends the options, and "-" or a name without a leading '-' is an
// operand. An option's value follows it ("--dat FILE") or is joined to it ("--dat=FILE", and
// for a one-letter option "-oFILE").
class ArgumentReader {
public:
    explicit ArgumentReader(std::span<const std::string> arguments) : arguments_(arguments) {}

    // Moves to the next option, collecting the operands before it; false at the end.
    bool NextOption();
    const std::string& Option() const { return arguments_[current_]; }
    bool Is(std::string_view name) const { return Option() == name; }
    // The value when the option is `name` (empty when it is missing), nothing when it is not.
    std::optional<std::string> ValueOf(std::string_view name);
    // The same for an option of two names, such as "-o" and "--output".
    std::optional<std::string> ValueOf(std::string_view name, std::string_view alias) {
        std::optional<std::string> value = ValueOf(name);
        return value ? value : ValueOf(alias);
    }

    const std::vector<std::string>& Operands() const { return operands_; }

private:
    std::span<const std::string> arguments_;
    std::size_t next_ = 0;
    std::size_t current_ = 0;
    bool optionsEnded_ = false;
    std::vector<std::string> operands_;
};

// Says what is wrong and where help is, the way GNU tools do; returns kExitUsage.
int UsageError(std::ostream& err, std::string_view tool, std::string_view problem);

enum class OptionKind {
    Setting, // taken into the tool's settings by its `apply`
    Help,    // shows the help and ends the run
    Version, // shows the tool's name and version and ends the run
};

// One option of a tool: how it is spelled, what --help says of it and what it does. A tool's
// options are one table of these, which both the parser and --help read.
template <typename Settings> struct Option {
    // The spellings --help lists, in its order, such as "-o" and "--output".
    std::vector<std::string_view> names;
    // Further spellings that are taken but not listed.
    std::vector<std::string_view> unlisted = {};
    // The name of the value that follows, as --help shows it; empty for an option without.
    std::string_view value = {};
    // What --help says of it; each '\n' starts a line of the description column.
    std::string_view help = {};
    OptionKind kind = OptionKind::Setting;
    // Takes the option into the settings. `given` is the argument as it was written, `value`
    // the value (empty when it is missing); the result says what is wrong, empty when nothing.
    std::function<std::string(Settings&, const std::string& given, const std::string& value)>
        apply = {};
};

// A tool's command line: its help around the table of its options.
template <typename Settings> struct CommandLine {
    std::string_view tool;
    std::string_view helpBefore; // the usage line and what the tool does
    std::size_t helpColumn;      // where the descriptions of the options start
    std::vector<Option<Settings>> options;
    std::string_view helpAfter; // notes, examples, exit statuses
};

// One option's lines of --help: its spellings and value from the third column, its
// description from `column` on (from the next line when the spellings reach it).
std::string OptionHelpLines(std::span<const std::string_view> names, std::string_view value,
                            std::string_view help, std::size_t column);

template <typename Settings> std::string HelpText(const CommandLine<Settings>& commandLine) {
    std::string text(commandLine.helpBefore);
    for (const Option<Settings>& option : commandLine.options)
        text += OptionHelpLines(option.names, option.value, option.help, commandLine.helpColumn);
    text += commandLine.helpAfter;
    return text;
}

// Reads the options into `settings` and collects the operands. False when the tool has
// nothing more to do: help or the version was asked for and shown (exit status 0), or the
// command line is wrong and `err` says so (exit status kExitUsage).
template <typename Settings>
bool ReadCommandLine(const CommandLine<Settings>& commandLine,
                     std::span<const std::string> arguments, Settings& settings,
                     std::vector<std::string>& operands, std::ostream& out, std::ostream& err,
                     int& exitStatus) {
    ArgumentReader reader(arguments);
    while (reader.NextOption()) {
        const Option<Settings>* matched = nullptr;
        std::string value;
        for (const Option<Settings>& option : commandLine.options) {
            const auto matches = [&](std::string_view spelling) {
                if (option.value.empty())
                    return reader.Is(spelling);
                std::optional<std::string> found = reader.ValueOf(spelling);
                if (found)
                    value = std::move(*found);
                return found.has_value();
            };
            if (std::ranges::any_of(option.names, matches) ||
                std::ranges::any_of(option.unlisted, matches)) {
                matched = &option;
                break;
            }
        }
        std::string problem;
        if (matched == nullptr) {
            problem = "unknown option " + reader.Option();
        } else if (matched->kind == OptionKind::Help) {
            out << HelpText(commandLine);
        } else if (matched->kind == OptionKind::Version) {
            out << commandLine.tool << ' ' << kProgramVersion << '\n';
        } else {
            problem = matched->apply(settings, reader.Option(), value);
        }
        if (!problem.empty()) {
            exitStatus = UsageError(err, commandLine.tool, problem);
            return false;
        }
        if (matched->kind != OptionKind::Setting) {
            exitStatus = kExitSuccess;
            return false;
        }
    }
    operands = reader.Operands();
    return true;
}

// What an option that turns one setting on does.
template <typename Settings> auto Switch(bool Settings::*setting) {
    return [setting](Settings& settings, const std::string&, const std::string&) {
        settings.*setting = true;
        return std::string();
    };
}

// Each option's listed spellings and value, for checking other lists of the options
// against a tool's.
struct OptionSpelling {
    std::vector<std::string_view> names;
    std::string_view value;
};
template <typename Settings>
std::vector<OptionSpelling> ListedOptions(const CommandLine<Settings>& commandLine) {
    std::vector<OptionSpelling> listed;
    for (const Option<Settings>& option : commandLine.options)
        listed.push_back({option.names, option.value});
    return listed;
}

// The entries every tool has, as every tool's --help lists them.
template <typename Settings> Option<Settings> HelpOption() {
    return {.names = {"--help"},
            .unlisted = {"-h"},
            .help = "show this help and exit",
            .kind = OptionKind::Help};
}
template <typename Settings> Option<Settings> VersionOption() {
    return {
        .names = {"--version"}, .help = "show the version and exit", .kind = OptionKind::Version};
}

// Runs a tool's work and returns its exit status. Whatever escapes it (a failure nothing
// expected, memory running out) becomes a message on `err` and exit status 2, after the
// stack has been unwound, so that files being written are removed as on any failure.
int RunGuarded(std::ostream& err, std::string_view tool, const std::function<int()>& run);

// Text that is safe to show on a terminal: a control character, which a terminal would act on
// (an escape sequence can set its title or rewrite what it shows), is written as \xNN; so are
// the UTF-8 forms of the C1 controls. Line ends stay as they are.
std::string TerminalText(std::string_view text);

// Standard output and error as bytes: on Windows no CR is added before each LF, so that the
// output is the same on every system; a console there shows them as UTF-8.
void UseBinaryStandardStreams();

} // namespace quillet
