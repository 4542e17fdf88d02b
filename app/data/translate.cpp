// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/translate.h>

#include <app/data/languages.h>

#include <atomic>

namespace {

std::atomic<TranslateObserver> g_observer { nullptr };

} // namespace

void setTranslateObserver(TranslateObserver observer)
{
    g_observer.store(observer, std::memory_order_release);
}

std::wstring translate(const std::wstring& text)
{
    if (const TranslateObserver observer = g_observer.load(std::memory_order_acquire))
        observer(text);
    const int slot = langSlotOfIndex(currentLanguage());
    std::wstring result = slot < 0 ? text : langSlot(slot)->translate(text);
    if (fuelWordFlag()) {
        const auto at = result.find(L"LPG");
        if (at != std::wstring::npos)
            result.replace(at, 3, L"CNG");
    }
    return result;
}
