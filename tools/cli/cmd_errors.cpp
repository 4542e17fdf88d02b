// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-cli errors [--clear] [--demo]: the controller's stored errors, one
// decoded text per line; --clear then clears them with the restart the info
// page uses, switching back to AUTO when the controller was not on petrol.
#include "cli.h"

#include <app/device/writesession.h>

#include <app/data/readblocks.h>
#include "cli_connect.h"

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/demostate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <iostream>

namespace {

void showError(const wchar_t* text)
{
    userInteraction().message(translate(text), L"KORVANA", MsgIcon::Error);
}

} // namespace

int cmdErrors(const CliContext& context)
{
    std::vector<std::string> args = context.args;
    const bool demo = takeDemoOption(args);
    bool clear = false;
    for (const auto& arg : args) {
        if (arg == "--clear")
            clear = true;
        else
            return usageError("errors", "unexpected argument " + arg);
    }
    try {
        CLPGDevice device(*context.ports);
        if (const int code = connectDevice(context, demo, device))
            return code;
        if (const int code = requireRead(device, CReadBlocks::DevInfo | CReadBlocks::Base))
            return code;
        std::array<uint8_t, 4> bytes {};
        if (!device.readErrors(bytes)) {
            showError(L"Nie można wczytać błędów urządzenia");
            return kExitFailed;
        }
        for (const auto& text : device.decode(bytes))
            std::cout << toUtf8(text) << "\n";
        std::cout.flush();
        if (!clear)
            return kExitOk;

        // The restart on petrol clears them; the car gets its fuel mode back.
        CWriteSession session(device, L"korvana-cli errors --clear");
        if (!session.restart()) {
            showError(L"Nie można skasować błędów urządzenia");
            return writeFailed(session.finish(), device);
        }
        return writeFailed(session.finish(), device);
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
