#include "cli_connect.h"

#include "cli.h"

#include <app/data/languages.h>
#include <app/device/controllersearch.h>
#include <app/device/lpgdevice.h>
#include <app/platform/porttable.h>

#include <algorithm>

bool takeDemoOption(std::vector<std::string>& args)
{
    const auto it = std::find(args.begin(), args.end(), "--demo");
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

void initCliLanguage()
{
    static bool done = false;
    if (!done)
        initLanguages();
    done = true;
}

int connectDevice(const CliContext& context, bool demo, CLPGDevice& device)
{
    initCliLanguage();
    if (demo) {
        device.startDemoMode();
        return kExitOk;
    }
    if (!context.port.empty()) {
        std::string message;
        const uint32_t n = resolvePort(context.port, message);
        if (n == 0)
            return failed(message);
        if (!device.connectOnPort(n))
            return failed("no controller answered on " + context.port);
        return kExitOk;
    }
    if (!searchController(device)) {
        std::string tried;
        for (const auto& port : portTable().presentPorts())
            tried += (tried.empty() ? "" : ", ") + port.path;
        return failed("no controller answered on any port (" + (tried.empty() ? std::string("none present") : tried)
                      + "); give one with --port or KORVANA_PORTS");
    }
    return kExitOk;
}
