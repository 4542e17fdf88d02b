// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-sim: the LPG injection controller on a pseudo-terminal.
#include <app/platform/buildinfo.h>
#include <tools/sim/simloop.h>
#include <tools/sim/simoptions.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string message;
    bool help = false;
    const auto options = parseSimOptions(args, message, help);
    if (!options) {
        if (help) {
            std::fputs(kSimUsage, stdout);
            std::fputs(kLicenceLine, stdout);
            return 0;
        }
        std::fprintf(stderr, "korvana-sim: %s\n%s", message.c_str(), kSimUsage);
        return 2;
    }
    if (options->printVersion) {
        std::fputs(versionText("korvana-sim").c_str(), stdout);
        return 0;
    }
    return runSimulator(*options);
}
