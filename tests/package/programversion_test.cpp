// SPDX-License-Identifier: GPL-3.0-or-later
// What the three programs say about themselves: --version names the version,
// the commit the build was configured from and the licence; --help ends with
// the licence line; the program answers both without a display.
#include <childprocess.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct SProgram {
    const char* name;
    const char* binary;
};

const SProgram kPrograms[] {
    { "korvana", KORVANA_PROGRAM },
    { "korvana-cli", KORVANA_CLI },
    { "korvana-sim", KORVANA_SIM },
};

ProgramResult run(const SProgram& p, const std::vector<std::string>& args)
{
    return runProgram(p.binary, args, 20s,
        { "QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + fs::temp_directory_path().string() });
}

TEST(ProgramVersion, NamesVersionCommitAndLicence)
{
    const std::string firstLine
        = std::string(" " KORVANA_VERSION " (commit ") + KORVANA_COMMIT + ")\n";
    ASSERT_STRNE(KORVANA_COMMIT, "");
    for (const SProgram& p : kPrograms) {
        const ProgramResult r = run(p, { "--version" });
        EXPECT_EQ(r.exitCode, 0) << p.name << ": " << r.err;
        EXPECT_EQ(r.out.rfind(p.name + firstLine, 0), 0u) << r.out;
        EXPECT_NE(r.out.find("License GPL-3.0-or-later: GNU General Public License, version 3 or later"),
            std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("NO WARRANTY"), std::string::npos) << r.out;

        const ProgramResult help = run(p, { "--help" });
        EXPECT_EQ(help.exitCode, 0) << p.name;
        const std::string last = "korvana is free software under the GNU General Public License, version 3 or later; "
                                 "see --version.\n";
        ASSERT_GE(help.out.size(), last.size()) << p.name;
        EXPECT_EQ(help.out.substr(help.out.size() - last.size()), last) << p.name;
    }
}

// Over a remote shell there is no display: --version and --help must not need one.
TEST(ProgramVersion, ProgramAnswersWithoutADisplay)
{
    for (const char* option : { "--version", "--help" }) {
        const ProgramResult r = runProgram(KORVANA_PROGRAM, { option }, 20s,
            { "QT_QPA_PLATFORM=xcb", "DISPLAY=", "WAYLAND_DISPLAY=" });
        EXPECT_EQ(r.exitCode, 0) << option << ": " << r.err;
        EXPECT_NE(r.out.find("GNU General Public License"), std::string::npos) << option << ": " << r.out;
    }
}

// The simulator's --version also takes a firmware version: with one it still simulates.
TEST(ProgramVersion, SimulatorFirmwareVersionIsNotItsOwn)
{
    const ProgramResult r = run(kPrograms[2], { "--version", "3.6", "--model" });
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.err.find("--model needs a value"), std::string::npos) << r.err;
}

} // namespace
