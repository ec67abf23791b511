// What the command-line tools share: exit statuses, the version, how a command line is read and
// how a wrong one is answered.
#pragma once

#include "base/Version.h"

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

// Answers --help (or -h) with `usage` and --version with the tool's name and version; true
// when the option was one of them, and the tool has nothing more to do.
bool AnswerHelpOrVersion(const ArgumentReader& reader, std::ostream& out, std::string_view tool,
                         std::string_view usage);

// Says what is wrong and where help is, the way GNU tools do; returns kExitUsage.
int UsageError(std::ostream& err, std::string_view tool, std::string_view problem);

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
