// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/switchbuttons.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/userinteraction.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/qtinteraction.h>

namespace {

const wchar_t* const kCaption = L"KORVANA";

void switchFuel(
    CMultiPageIndependentBtn* owner, const wchar_t* handler, CWriteSession::Command command, const wchar_t* failure)
{
    if (!owner->context())
        return;
    CkorvanaDoc& doc = owner->context()->doc;
    CLPGDevice& device = owner->context()->device;
    if (!device.isConnected())
        return;
    COwnerScope scope(owner);
    // Switching to petrol may wait for the car, pumping events meanwhile.
    doc.runOperation(
        L"Przełączanie paliwa", handler,
        [&] {
            bool done = false;
            {
                CWaitCursor wait;
                // The fitter's own choice: the car keeps it.
                CWriteSession session(device, handler);
                done = session.send(command);
            }
            if (!done)
                userInteraction().message(translate(failure), kCaption, MsgIcon::Error);
        },
        owner);
}

} // namespace

void CSwitchToAutoBtn::onClick()
{
    switchFuel(
        this, L"CSwitchToAutoBtn::onClick()", CWriteSession::Command::Auto, L"Nie powiodło się przełączenie w tryb AUTO!");
}

void CSwitchToGasBtn::onClick()
{
    switchFuel(this, L"CSwitchToGasBtn::onClick()", CWriteSession::Command::Lpg, L"Nie powiodło się przełączenie na LPG!");
}

void CSwitchToPetrolBtn::onClick()
{
    switchFuel(this, L"CSwitchToPetrolBtn::onClick()", CWriteSession::Command::Petrol,
        L"Nie powiodło się przełączenie na benzynę!");
}
