// SPDX-License-Identifier: GPL-3.0-or-later
// The man pages against the programs themselves: every long option that
// --help prints is in the page and the page names no option the program does
// not know; every command of korvana-cli has its entry; the pages carry the
// version and render without groff warnings.
#include <childprocess.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct SManCase {
    const char* program;
    const char* binary;
};

const SManCase kCases[] {
    { "korvana", KORVANA_PROGRAM },
    { "korvana-cli", KORVANA_CLI },
    { "korvana-sim", KORVANA_SIM },
};

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// roff writes a hyphen that must stay one as "\-".
std::string unescapeHyphens(std::string text)
{
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
        text.erase(at, 1);
    return text;
}

std::set<std::string> longOptions(const std::string& text)
{
    static const std::regex option("--[a-z][a-z0-9-]*[a-z0-9]");
    std::set<std::string> options;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    // Every program takes --help; not every --help lists itself.
    options.insert("--help");
    return options;
}

// korvana-cli's commands: the indented words under "commands:" in its help.
std::set<std::string> helpCommands(const std::string& help)
{
    std::set<std::string> commands;
    std::istringstream lines(help.substr(help.find("commands:")));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > 2 && line.compare(0, 2, "  ") == 0 && std::islower(static_cast<unsigned char>(line[2])))
            commands.insert(line.substr(2, line.find(' ', 2) - 2));
    }
    return commands;
}

// The first word of each .TP tag line, font requests and escapes taken off.
std::set<std::string> tagWords(const std::string& page)
{
    std::set<std::string> words;
    std::istringstream lines(page);
    std::string line;
    bool tag = false;
    while (std::getline(lines, line)) {
        if (tag) {
            std::string word = std::regex_replace(line, std::regex("^\\.(B|BR|BI|I|IR|RB)\\s+"), "");
            word = std::regex_replace(word, std::regex("\\\\f[BIRP]"), "");
            words.insert(word.substr(0, word.find_first_of(" \"[")));
        }
        tag = line.rfind(".TP", 0) == 0;
    }
    return words;
}

std::string helpOf(const SManCase& c)
{
    const ProgramResult r = runProgram(c.binary, { "--help" }, 20s,
        { "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + fs::temp_directory_path().string() });
    EXPECT_EQ(r.exitCode, 0) << c.program << ": " << r.err;
    return r.out;
}

void PrintTo(const SManCase& c, std::ostream* out)
{
    *out << c.program;
}

// The page up to its examples, which may show the other programs' options.
std::string withoutExamples(const std::string& page)
{
    return page.substr(0, page.find(".SH EXAMPLES"));
}

class ManPage : public ::testing::TestWithParam<SManCase> { };

TEST_P(ManPage, ListsExactlyTheOptionsOfHelp)
{
    const SManCase& c = GetParam();
    const std::string page = unescapeHyphens(readText(fs::path(KORVANA_MAN_DIR) / (std::string(c.program) + ".1")));
    ASSERT_FALSE(page.empty()) << c.program;
    const std::string help = helpOf(c);
    ASSERT_NE(help.find("usage:"), std::string::npos) << help;
    EXPECT_EQ(longOptions(withoutExamples(page)), longOptions(help)) << c.program;
    EXPECT_NE(page.find("\"korvana " KORVANA_VERSION "\""), std::string::npos) << c.program << " lacks the version";
    if (std::string(c.program) == "korvana-cli") {
        const std::set<std::string> commands = helpCommands(help);
        ASSERT_GE(commands.size(), 20u) << help;
        const std::set<std::string> entries = tagWords(page);
        for (const std::string& command : commands)
            EXPECT_TRUE(entries.count(command)) << "no entry for the command " << command;
    }
}

TEST_P(ManPage, RendersWithoutWarnings)
{
    const fs::path groff = "/usr/bin/groff";
    if (!fs::exists(groff))
        GTEST_SKIP() << "groff is not installed";
    const SManCase& c = GetParam();
    const ProgramResult r = runProgram(groff.string(),
        { "-man", "-Tutf8", "-ww", "-z", (fs::path(KORVANA_MAN_DIR) / (std::string(c.program) + ".1")).string() }, 20s);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "") << c.program;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ManPage, ::testing::ValuesIn(kCases), [](const ::testing::TestParamInfo<SManCase>& info) {
        std::string name = info.param.program;
        for (char& ch : name) {
            if (ch == '-')
                ch = '_';
        }
        return name;
    });

} // namespace
