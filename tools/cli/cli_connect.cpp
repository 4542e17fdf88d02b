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
            return failed(describeConnectFailure(device.lastConnectFailure(), context.port, device.lastConnectDetail()));
        return kExitOk;
    }
    std::vector<SearchAttempt> attempts;
    if (!searchController(device, &attempts)) {
        if (attempts.empty())
            return failed("no serial port present; give one with --port or KORVANA_PORTS");
        std::string why = "no controller found; give the port with --port or KORVANA_PORTS:";
        for (const auto& a : attempts)
            why += "\n  " + describeConnectFailure(a.failure, a.path, a.detail);
        return failed(why);
    }
    return kExitOk;
}
