#include <app/shell/switchbuttons.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/platform/devicepointer.h>
#include <app/platform/userinteraction.h>
#include <app/shell/qtinteraction.h>
#include <errkit/ierror.h>

namespace {

const wchar_t* const kCaption = L"KORVANA";

void switchFuel(QWidget* owner, const wchar_t* handler, bool (CLPGDevice::*operation)(), const wchar_t* failure)
{
    CLPGDevice* device = g_lpgDevice;
    if (!device || !device->m_connected)
        return;
    COwnerScope scope(owner);
    try {
        bool done = false;
        {
            CWaitCursor wait;
            done = (device->*operation)();
        }
        if (!done)
            userInteraction().message(translate(failure), kCaption, MsgIcon::Error);
    } catch (IError* error) {
        userInteraction().message(std::wstring(handler) + L"\n" + error->format() + L"\n", kCaption, MsgIcon::Error);
        delete error;
    }
}

} // namespace

void CSwitchToAutoBtn::onClick()
{
    switchFuel(
        this, L"CSwitchToAutoBtn::onClick()", &CLPGDevice::switchToAuto, L"Nie powiodło się przełączenie w tryb AUTO!");
}

void CSwitchToGasBtn::onClick()
{
    switchFuel(this, L"CSwitchToGasBtn::onClick()", &CLPGDevice::switchToLpg, L"Nie powiodło się przełączenie na LPG!");
}

void CSwitchToPetrolBtn::onClick()
{
    switchFuel(this, L"CSwitchToPetrolBtn::onClick()", &CLPGDevice::switchToPetrol,
        L"Nie powiodło się przełączenie na benzynę!");
}
