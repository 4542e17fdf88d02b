// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_connect.h"

#include "cli.h"

#include <app/data/languages.h>
#include <app/device/controllersearch.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/platform/iporttable.h>
#include <app/platform/profilestore.h>
#include <app/platform/serialdiagnosis.h>

#include <algorithm>
#include <errkit/utf8.h>
#include <iostream>

bool takeOption(std::vector<std::string>& args, const char* option)
{
    const auto it = std::find(args.begin(), args.end(), option);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

bool takeDemoOption(std::vector<std::string>& args)
{
    return takeOption(args, "--demo");
}

namespace {

int g_cliLanguage = -1; // from --lang; −1: the locale's
std::wstring g_changedSince;

// The point "connected", what changed since, and once a store that does not work.
int connected(CLPGDevice& device)
{
    CHistoryRecorder* history = CHistoryRecorder::installed();
    if (!history)
        return kExitOk;
    g_changedSince = history->connected(device);
    const std::wstring problem = history->problemOnce();
    if (!problem.empty())
        std::cerr << "korvana-cli: " << toUtf8(problem)
                  << (history->store().writable() ? "" : "\n  writes are refused without restore points; --no-history writes anyway")
                  << "\n";
    return kExitOk;
}

// Why a search found nothing: each port's reason, and what may hold it.
std::string searchFailure(const CliContext& context, const std::vector<SearchAttempt>& attempts)
{
    std::string why = "no controller found; give the port with --port or KORVANA_PORTS:";
    for (const auto& a : attempts) {
        why += "\n  " + describeConnectFailure(a.failure, a.path, a.detail);
        // The port is closed again by now, so a fresh look shows who else has it.
        for (const auto& line : CSerialDiagnosis::advice(context.diagnosis->probe(a.path)))
            why += "\n    " + line;
    }
    if (!CSerialDiagnosis::hasUsbSerialAdapter(context.ports->presentPorts()))
        why += "\n  " + CSerialDiagnosis::noAdapterAdvice();
    return why;
}

} // namespace

void setCliLanguage(int languageIndex)
{
    g_cliLanguage = languageIndex;
}

void initCliLanguage()
{
    static bool done = false;
    if (!done) {
        initLanguages();
        if (g_cliLanguage >= 0)
            setCurrentLanguage(g_cliLanguage);
    }
    done = true;
}

int connectDevice(const CliContext& context, bool demo, CLPGDevice& device)
{
    initCliLanguage();
    if (demo) {
        device.session().startDemoMode();
        return kExitOk;
    }
    // The store opens while the controller is looked for and read.
    if (CHistoryRecorder* history = CHistoryRecorder::installed())
        history->openAhead();
    std::vector<SearchAttempt> attempts;
    if (!context.searchPorts.empty()) {
        std::vector<PortEntry> given;
        for (const auto& value : context.searchPorts) {
            std::string message;
            const uint32_t n = resolvePort(*context.ports, value, message);
            if (n == 0)
                return failed(message);
            if (std::none_of(given.begin(), given.end(), [n](const PortEntry& e) { return e.number == n; }))
                given.push_back({ n, context.ports->pathOf(n), {} });
        }
        if (searchController(device, given, profileStore(), &attempts))
            return connected(device);
        return failed(searchFailure(context, attempts));
    }
    if (!context.port.empty()) {
        std::string message;
        const uint32_t n = resolvePort(*context.ports, context.port, message);
        if (n == 0)
            return failed(message);
        // A number without a port behind it: there is no path to check or advise on.
        if (context.ports->pathOf(n).empty())
            return failed("COM" + std::to_string(n) + " is not present; korvana-cli ports lists the present ports");
        if (!device.session().connectOnPort(n)) {
            std::string why
                = describeConnectFailure(device.session().lastConnectFailure(), context.port, device.session().lastConnectDetail());
            for (const auto& line : CSerialDiagnosis::advice(context.diagnosis->probe(context.ports->pathOf(n))))
                why += "\n  " + line;
            return failed(why);
        }
        return connected(device);
    }
    if (!searchController(device, &attempts)) {
        if (attempts.empty())
            return failed("no serial port present; give one with --port or KORVANA_PORTS\n  "
                + CSerialDiagnosis::noAdapterAdvice());
        return failed(searchFailure(context, attempts));
    }
    return connected(device);
}

const std::wstring& changedSinceLine()
{
    return g_changedSince;
}
