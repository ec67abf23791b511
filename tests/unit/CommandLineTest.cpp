#include "cli/CommandLine.h"
#include "cli/QuilletFix.h"
#include "cli/QuilletInfo.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace quillet {
namespace {

struct Settings {
    bool all = false;
    std::string file;
    std::string name;
};

// Takes the value into `field`; an empty one is wrong.
auto Take(std::string Settings::*field) {
    return [field](Settings& settings, const std::string& given, const std::string& value) {
        settings.*field = value;
        return value.empty() ? given + " needs a value" : std::string();
    };
}

const CommandLine<Settings>& Sample() {
    static const CommandLine<Settings> commandLine{
        "sample",
        "Usage: sample [OPTION]... FILE...\n\n",
        14,
        {
            Option<Settings>{
                .names = {"--all"}, .help = "take all\nof them", .apply = Switch(&Settings::all)},
            Option<Settings>{
                .names = {"-f", "--file"}, .value = "FILE", .apply = Take(&Settings::file)},
            Option<Settings>{.names = {"--long-name"},
                             .value = "NAME",
                             .help = "a name",
                             .apply = Take(&Settings::name)},
            HelpOption<Settings>(),
            VersionOption<Settings>(),
        },
        "\nThe end.\n",
    };
    return commandLine;
}

struct Read {
    bool goOn;
    int status;
    Settings settings;
    std::vector<std::string> operands;
    std::string out;
    std::string err;
};

Read ReadSample(const std::vector<std::string>& arguments) {
    Read read{false, -1, {}, {}, {}, {}};
    std::ostringstream out;
    std::ostringstream err;
    read.goOn =
        ReadCommandLine(Sample(), arguments, read.settings, read.operands, out, err, read.status);
    read.out = out.str();
    read.err = err.str();
    return read;
}

TEST(CommandLineTable, HelpAndParserComeFromTheOneTable) {
    // Spellings that reach the description column put the description on the next line.
    EXPECT_EQ(HelpText(Sample()), "Usage: sample [OPTION]... FILE...\n"
                                  "\n"
                                  "  --all       take all\n"
                                  "              of them\n"
                                  "  -f, --file FILE\n"
                                  "  --long-name NAME\n"
                                  "              a name\n"
                                  "  --help      show this help and exit\n"
                                  "  --version   show the version and exit\n"
                                  "\n"
                                  "The end.\n");

    const Read values = ReadSample({"a", "-fone", "--long-name", "x", "--all", "b", "--", "-c"});
    EXPECT_TRUE(values.goOn);
    EXPECT_TRUE(values.settings.all);
    EXPECT_EQ(values.settings.file, "one");
    EXPECT_EQ(values.settings.name, "x");
    EXPECT_EQ(values.operands, (std::vector<std::string>{"a", "b", "-c"}));
    EXPECT_EQ(ReadSample({"--file=two"}).settings.file, "two");

    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } ends[] = {
        {{"-h", "--all"}, kExitSuccess, HelpText(Sample()), ""},
        {{"--version"}, kExitSuccess, std::string("sample ") + kProgramVersion + "\n", ""},
        {{"--file="}, kExitUsage, "", "sample: --file= needs a value\nTry 'sample --help'.\n"},
        // A switch takes no value; a long option takes one after '=' only.
        {{"--all=1"}, kExitUsage, "", "sample: unknown option --all=1\n"},
        {{"--long-namex"}, kExitUsage, "", "sample: unknown option --long-namex\n"},
    };
    for (const auto& end : ends) {
        SCOPED_TRACE(end.arguments.front());
        const Read read = ReadSample(end.arguments);
        EXPECT_FALSE(read.goOn);
        EXPECT_EQ(read.status, end.status);
        EXPECT_EQ(read.out, end.out);
        EXPECT_TRUE(read.err.starts_with(end.err)) << read.err;
    }
}

#ifndef _WIN32 // the pages are read from the sources, which a run under Wine need not see

// The tag lines after .TP in a manual page's OPTIONS section, as plain words: "--dat FILE".
std::set<std::string> PageOptions(const std::string& path) {
    std::ifstream page(path);
    EXPECT_TRUE(page) << "cannot read " << path;
    std::set<std::string> entries;
    bool inOptions = false;
    bool tag = false;
    for (std::string line; std::getline(page, line);) {
        if (line.starts_with(".SH")) {
            inOptions = line == ".SH OPTIONS";
        } else if (inOptions && line.starts_with(".TP")) {
            tag = true;
        } else if (std::exchange(tag, false)) {
            std::string plain;
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (line.compare(i, 2, "\\-") == 0)
                    plain += line[++i];
                else
                    plain += line[i] == '"' || line[i] == ',' ? ' ' : line[i];
            }
            std::istringstream words(plain);
            std::string macro; // .B, .BI
            words >> macro;
            std::string entry;
            for (std::string word; words >> word;)
                entry += (entry.empty() ? "" : " ") + word;
            if (entry != "--") // which ends the options
                entries.insert(entry);
        }
    }
    return entries;
}

TEST(CommandLineTable, EachManualPageDescribesTheOptionsOfItsToolAndNoOthers) {
    for (const auto& [tool, options] : {std::pair{"quillet-info", QuilletInfoOptions()},
                                        std::pair{"quillet-fix", QuilletFixOptions()}}) {
        std::set<std::string> listed;
        for (const OptionSpelling& option : options) {
            std::string entry;
            for (std::string_view name : option.names)
                entry.append(entry.empty() ? "" : " ").append(name);
            listed.insert(option.value.empty() ? entry : entry + " " + std::string(option.value));
        }
        EXPECT_EQ(PageOptions(std::string(QUILLET_SOURCE_DIR) + "/packaging/man/" + tool + ".1"),
                  listed)
            << tool;
    }
}

#endif

} // namespace
} // namespace quillet
