#include <app/data/translate.h>

#include <app/data/languages.h>

std::wstring translate(const std::wstring& text)
{
    const int slot = langSlotOfIndex(currentLanguage());
    std::wstring result = slot < 0 ? text : langSlot(slot)->translate(text);
    if (fuelWordFlag()) {
        const auto at = result.find(L"LPG");
        if (at != std::wstring::npos)
            result.replace(at, 3, L"CNG");
    }
    return result;
}
