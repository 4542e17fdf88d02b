// korvana-sim: the LPG injection controller on a pseudo-terminal.
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
            return 0;
        }
        std::fprintf(stderr, "korvana-sim: %s\n%s", message.c_str(), kSimUsage);
        return 2;
    }
    return runSimulator(*options);
}
