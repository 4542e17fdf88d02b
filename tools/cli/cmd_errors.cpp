// korvana-cli errors [--clear] [--demo]: the controller's stored errors, one
// decoded text per line; --clear then clears them with the restart the info
// page uses, switching back to AUTO when the controller was not on petrol.
#include "cli.h"
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

constexpr uint8_t kPetrol = 2;
constexpr unsigned kAfterClearMs = 1000;

void showError(const wchar_t* text)
{
    userInteraction().message(translate(text), L"KORVANA", MsgIcon::Error);
}

// The fuel state now: the demo state, or one live reading (petrol when none came).
uint8_t currentFuelState(CLPGDevice& device)
{
    if (device.m_demo)
        return demoFuelState();
    CDiag record;
    if (device.readLiveData(record) != CLPGDevice::kLiveOk)
        return kPetrol;
    const uint8_t state = record.fuelState();
    return state == 4 || state == 5 ? 3 : state;
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
        CLPGDevice device;
        if (const int code = connectDevice(context, demo, device))
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

        const bool wasOffPetrol = currentFuelState(device) != kPetrol;
        if (!device.command0AOnPetrol()) {
            showError(L"Nie można skasować błędów urządzenia");
            return kExitFailed;
        }
        userInteraction().sleep(kAfterClearMs);
        if (wasOffPetrol)
            device.switchToAuto();
        return kExitOk;
    } catch (IError* e) {
        CErrorGuard error(e);
        return failed(error);
    }
}
