// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/languages.h>

#include <app/platform/locale.h>
#include <app/platform/programdir.h>

#include <array>
#include <atomic>

namespace {

std::array<CLangFile, kLangSlotCount>& slots()
{
    static std::array<CLangFile, kLangSlotCount> files;
    return files;
}

std::atomic<int> g_currentLanguage { 0 };
std::atomic<bool> g_fuelWordCng { false };

// Slot of each language index; −1: shown as written.
constexpr int kSlotOfIndex[kLanguageCount] = { -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, -1, 10, 11, 13, 12, 14, 15, 16, 17, 18 };

struct StartupFile {
    const char* name;
    int slot;
};

constexpr StartupFile kStartupFiles[] = {
    { "ENGLISH.txt", 0 },
    { "RUSSIAN.txt", 1 },
    { "ITALIAN.txt", 2 },
    { "GERMAN.txt", 3 },
    { "THAI.txt", 4 },
    { "FRENCH.txt", 7 },
    { "CROATIAN.txt", 12 },
    { "SERBIAN.txt", 13 },
    { "BOSNIAN.txt", 14 },
    { "SPAIN.txt", 6 },
    { "GREEK.txt", 10 },
    { "SPAIN.txt", 6 },
    { "BULGARIAN.txt", 17 },
    { "SLOVENIAN.txt", 18 },
    { "TURKISH.txt", 5 },
};

bool isSpanish(uint16_t langId)
{
    // 0x040A, 0x080A … 0x500A: Spanish with sublanguages 1 … 20.
    const unsigned sub = langId >> 10;
    return (langId & 0x3FF) == 0x0A && sub >= 1 && sub <= 20;
}

} // namespace

CLangFile* langSlot(int slot)
{
    return slot >= 0 && slot < kLangSlotCount ? &slots()[static_cast<std::size_t>(slot)] : nullptr;
}

int langSlotOfIndex(int languageIndex)
{
    return languageIndex >= 0 && languageIndex < kLanguageCount ? kSlotOfIndex[languageIndex] : -1;
}

void openLanguageFiles(const std::filesystem::path& dir)
{
    for (const auto& file : kStartupFiles)
        langSlot(file.slot)->openLater((dir / file.name).string());
}

void initLanguages()
{
    openLanguageFiles(programDir() / "KOR_LANG");
    setCurrentLanguage(languageIndexForLangId(userDefaultLangId()));
}

int languageIndexForLangId(uint16_t langId)
{
    switch (langId) {
    case 0x0415:
        return 0;
    case 0x0419:
        return 2;
    case 0x0410:
        return 3;
    case 0x0407:
        return 4;
    case 0x041E:
        return 5;
    case 0x041F:
        return 6;
    case 0x0416:
    case 0x0816:
        return 9;
    case 0x0404:
    case 0x0804:
    case 0x0C04:
    case 0x1004:
    case 0x1404:
        return 10;
    case 0x0408:
        return 11;
    default:
        return isSpanish(langId) ? 7 : 1;
    }
}

int currentLanguage()
{
    return g_currentLanguage.load(std::memory_order_relaxed);
}

void setCurrentLanguage(int languageIndex)
{
    g_currentLanguage.store(languageIndex, std::memory_order_relaxed);
}

bool fuelWordFlag()
{
    return g_fuelWordCng.load(std::memory_order_relaxed);
}

void setFuelWordFlag(bool cng)
{
    g_fuelWordCng.store(cng, std::memory_order_relaxed);
}

void mirrorFuelWordFlag(uint8_t advancedFlags)
{
    setFuelWordFlag((advancedFlags & 0x08) != 0);
}
