#include "cli/CommandLine.h"
#include "cli/QuilletFix.h"
#include "cli/QuilletInfo.h"
#include "files/SafeWrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace quillet {
namespace {

struct Settings {
    bool all = false;
    std::string file;
    std::string name;
};

std::string TakeFile(Settings& settings, const std::string& given, const std::string& file) {
    if (file.empty())
        return given + " needs a file";
    settings.file = file;
    return {};
}

const CommandLine<Settings>& Sample() {
    static const CommandLine<Settings> commandLine{
        "sample",
        "Usage: sample [OPTION]... FILE...\n\n",
        14,
        {
            Option<Settings>{
                .names = {"--all"}, .help = "take all\nof them", .apply = Switch(&Settings::all)},
            Option<Settings>{.names = {"-f", "--file"}, .value = "FILE", .apply = TakeFile},
            Option<Settings>{.names = {"--long-name"},
                             .value = "NAME",
                             .help = "a name",
                             .apply =
                                 [](Settings& settings, const std::string&, const std::string& v) {
                                     settings.name = v;
                                     return std::string();
                                 }},
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
    EXPECT_EQ(ReadSample({"--file", "three"}).settings.file, "three");

    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out;
        std::string err;
    } ends[] = {
        {{"-h", "--all"}, kExitSuccess, HelpText(Sample()), ""},
        {{"--version"}, kExitSuccess, std::string("sample ") + kProgramVersion + "\n", ""},
        {{"--file="}, kExitUsage, "", "sample: --file= needs a file\nTry 'sample --help'.\n"},
        {{"--all=1"}, kExitUsage, "", "sample: unknown option --all=1\nTry 'sample --help'.\n"},
        // Only a one-letter option takes a value joined without '='.
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

struct Tool {
    const char* name;
    std::vector<OptionSpelling> options;
    std::function<int(const std::vector<std::string>&, std::ostream&, std::ostream&)> run;
};

std::vector<Tool> Tools() {
    return {
        {"quillet-info", QuilletInfoOptions(),
         [](const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
             return RunQuilletInfo(arguments, out, err);
         }},
        {"quillet-fix", QuilletFixOptions(),
         [](const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
             const std::unique_ptr<FileLayer> files = MakeSystemFileLayer();
             return RunQuilletFix(arguments, out, err, *files);
         }},
    };
}

TEST(CommandLineTable, EveryOptionTheToolsListTheyTakeAndHelpShows) {
    for (const Tool& tool : Tools()) {
        std::ostringstream help;
        std::ostringstream ignored;
        ASSERT_EQ(tool.run({"--help"}, help, ignored), kExitSuccess);
        for (const OptionSpelling& option : tool.options) {
            std::string line = "\n  ";
            for (std::string_view name : option.names)
                line.append(line.size() > 3 ? ", " : "").append(name);
            if (!option.value.empty())
                line.append(" ").append(option.value);
            const bool listed = help.str().find(line + ' ') != std::string::npos ||
                                help.str().find(line + '\n') != std::string::npos;
            EXPECT_TRUE(listed) << tool.name << " --help has no line for" << line;
            for (std::string_view name : option.names) {
                std::vector<std::string> arguments{std::string(name)};
                if (!option.value.empty())
                    arguments.push_back("missing.value");
                arguments.push_back("missing.sfc");
                std::ostringstream out;
                std::ostringstream err;
                tool.run(arguments, out, err);
                EXPECT_EQ(err.str().find("unknown option"), std::string::npos)
                    << tool.name << " does not take " << name << ": " << err.str();
            }
        }
    }
}

#ifndef _WIN32 // the pages are read from the sources, which a run under Wine need not see

std::vector<std::string> Strings(const std::vector<std::string_view>& views) {
    return {views.begin(), views.end()};
}

// The option entries of a manual page's OPTIONS section: the options on each tag line after
// .TP, and the other words there (the value's name).
struct PageEntry {
    std::vector<std::string> options;
    std::vector<std::string> words;
};

std::vector<PageEntry> PageOptions(const std::string& path) {
    std::ifstream page(path);
    EXPECT_TRUE(page) << "cannot read " << path;
    std::vector<PageEntry> entries;
    bool inOptions = false;
    bool tag = false;
    for (std::string line; std::getline(page, line);) {
        if (line.starts_with(".SH")) {
            inOptions = line == ".SH OPTIONS";
            continue;
        }
        if (!inOptions)
            continue;
        if (line.starts_with(".TP")) {
            tag = true;
            continue;
        }
        if (!tag)
            continue;
        tag = false;
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
        PageEntry entry;
        for (std::string word; words >> word;) {
            const bool option =
                word.starts_with('-') && word.find_first_not_of('-') != std::string::npos;
            (option ? entry.options : entry.words).push_back(word);
        }
        if (!entry.options.empty()) // not "--", which ends the options
            entries.push_back(entry);
    }
    return entries;
}

TEST(CommandLineTable, EachManualPageDescribesTheOptionsOfItsTool) {
    for (const Tool& tool : Tools()) {
        const std::string path =
            std::string(QUILLET_SOURCE_DIR) + "/packaging/man/" + tool.name + ".1";
        const std::vector<PageEntry> entries = PageOptions(path);
        for (const OptionSpelling& option : tool.options) {
            const std::vector<std::string> names = Strings(option.names);
            const auto entry = std::ranges::find(entries, names, &PageEntry::options);
            if (entry == entries.end()) {
                ADD_FAILURE() << path << " has no entry for " << names.back();
                continue;
            }
            const std::vector<std::string> value =
                option.value.empty() ? std::vector<std::string>{}
                                     : std::vector<std::string>{std::string(option.value)};
            EXPECT_EQ(entry->words, value) << path << ", the value of " << names.back();
        }
        for (const PageEntry& entry : entries) {
            const bool known = std::ranges::any_of(tool.options, [&](const OptionSpelling& o) {
                return Strings(o.names) == entry.options;
            });
            EXPECT_TRUE(known) << path << " describes " << entry.options.back() << ", which "
                               << tool.name << " does not list";
        }
    }
}

#endif

} // namespace
} // namespace quillet
