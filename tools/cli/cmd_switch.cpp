// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli switch petrol|lpg|auto [--demo]: the fuel-mode buttons of the
// main view, with their failure messages.
#include "cli.h"

#include <app/device/writesession.h>

#include <app/data/readblocks.h>
#include "cli_connect.h"

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

int cmdSwitch(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    if (args.size() != 1)
        return usageError("switch", "give one of petrol, lpg, auto");
    struct Mode {
        const char* name;
        CWriteSession::Command command;
        const wchar_t* failure;
    };
    static const Mode kModes[] = {
        { "petrol", CWriteSession::Command::Petrol, L"Nie powiodło się przełączenie na benzynę!" },
        { "lpg", CWriteSession::Command::Lpg, L"Nie powiodło się przełączenie na LPG!" },
        { "auto", CWriteSession::Command::Auto, L"Nie powiodło się przełączenie w tryb AUTO!" },
    };
    const Mode* mode = nullptr;
    for (const auto& m : kModes) {
        if (args[0] == m.name)
            mode = &m;
    }
    if (!mode)
        return usageError("switch", "not a fuel mode: " + args[0]);
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CReadBlocks::DevInfo | CReadBlocks::Base))
            return code;
        // The fitter's own choice: the car keeps it.
        CWriteSession session(device, L"korvana-cli switch");
        if (!session.send(mode->command)) {
            userInteraction().message(translate(mode->failure), L"KORVANA", MsgIcon::Error);
            return kExitFailed;
        }
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
