// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/settingsdiff.h>

#include <app/data/settingfields.h>
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <app/data/translate.h>
#include <errkit/utf8.h>

#include <cstdio>
#include <cstring>

namespace {

const wchar_t* const kSeparator = L" \u203A ";

// What the pages outside the settings table show of the file's keys: the
// dialogs' boxes (a bit of a word), the identity, the car, the values the
// pages leave alone (named after the page whose block carries them), and a
// flag word's bits that no box shows.
struct SOtherName {
    const char* key;
    uint32_t bit; // a box's bit of the word; 0 for the whole member
    const wchar_t* page;
    const wchar_t* label;
    const wchar_t* unit;
};
constexpr SOtherName kOtherNames[] = {
    { "m_base.m_flags", 0x08, L"Ustawienia konsolki", L"Sygnalizacja przełączenia", L"" },
    { "m_base.m_flags", 0x04, L"Ustawienia konsolki", L"Sygnał buzzera ciągły", L"" },
    { "m_advancedSetup.m_advancedFlags3", 0x0020, L"Ustawienia konsolki", L"Ukrywanie przełączenia na benzynę", L"" },
    { "m_advancedSetup.m_advancedFlags3", 0x0001, L"Ustawienia konsolki", L"Konsolka 7 LED", L"" },
    { "m_advancedSetup.m_advancedFlags3", 0x0002, L"Ustawienia konsolki",
      L"Przycisk multipleksowany z czujnikiem temperatury (do 2012 r)", L"" },
    { "m_advancedSetup.m_advancedFlags2", 0x20, L"Czujnik poziomu gazu", L"Zasilanie z zaworu:", L"" },
    { "m_advancedSetup.m_advancedFlags2", 0x08, L"Czujnik poziomu gazu",
      L"Start w trybie AUTO po opróżnieniu zbiornika:", L"" },
    { "m_advancedSetup.m_advancedFlags2", 0x10, L"Czujnik poziomu gazu",
      L"Nie pozwalaj na wzrost poziomu wskazywanego:", L"" },
    { "m_advancedSetup.m_advancedFlags2", 0x40, L"Ustawienia", L"Typ sygnału RPM", L"" },
    { "m_advancedSetup.m_advancedFlags", kAdvInspectionReminder, L"Info", L"Inspekcja", L"" },
    // The words themselves: only the bits no box shows differ.
    { "m_base.m_flags", 0, L"Ustawienia", L"Opcje podstawowe", L"" },
    { "m_adv.m_flags", 0, L"Zaawansowane", L"Opcje wtrysku", L"" },
    { "m_adv.m_engineSignalBehavior", 0, L"Zaawansowane", L"Sygnał wtryskiwaczy benzynowych", L"" },
    { "m_advancedSetup.m_advancedFlags", 0, L"Ustawienia", L"Opcje dodatkowe", L"" },
    { "m_advancedSetup.m_advancedFlags2", 0, L"Czujnik poziomu gazu", L"Opcje dodatkowe", L"" },
    { "m_advancedSetup.m_advancedFlags3", 0, L"Ustawienia konsolki", L"Opcje dodatkowe", L"" },
    { "m_corrMap.m_flags", 0, L"Mapa 2D", L"Opcje dodatkowe", L"" },
    { "m_devInfo.m_version", 0, L"Info", L"Wersja sterownika", L"" },
    { "m_devInfo.m_injCount", 0, L"Info", L"Liczba wtryskiwaczy", L"" },
    { "m_devInfo.m_serial", 0, L"Info", L"Nr seryjny", L"" },
    { "m_devInfo.m_prodDate", 0, L"Info", L"Data produkcji", L"" },
    { "m_devInfo.m_deviceID", 0, L"Info", L"Model sterownika", L"" },
    { "m_devInfo.m_statistic.gas", 0, L"Info", L"Czas pracy na benzynie [h:m:s]:", L"" },
    { "m_devInfo.m_statistic.lpg", 0, L"Info", L"Czas pracy na gazie [h:m:s]:", L"" },
    { "m_devInfo.m_statistic.modify", 0, L"Info", L"Licznik zmian ustawień", L"" },
    { "m_carInfo.m_vendor", 0, L"Samochód", L"Marka", L"" },
    { "m_carInfo.m_model", 0, L"Samochód", L"Model", L"" },
    { "m_carInfo.m_engine", 0, L"Samochód", L"Silnik", L"" },
    { "m_carInfo.m_power", 0, L"Samochód", L"Moc", L"" },
    { "m_carInfo.m_prodYear", 0, L"Samochód", L"Rok produkcji", L"" },
    { "m_carInfo.m_injectors", 0, L"Samochód", L"Wtryskiwacze", L"" },
    { "m_carInfo.m_reductorPress", 0, L"Samochód", L"Ciśnienie reduktora [kPa]", L"" },
    { "m_base.m_pressureGain", 0, L"Kalibracja", L"Wzmocnienie korekty ciśnienia", L"" },
    { "m_base.m_pressAverageCount", 0, L"Ustawienia", L"Uśrednianie ciśnienia", L"" },
    { "m_base.m_rpmSignalLevel", 0, L"Ustawienia", L"Próg sygnału RPM", L"V" },
    { "m_adv.m_injectorWarmingImpulse", 0, L"Zaawansowane", L"Impuls rozgrzewania wtryskiwaczy", L"ms" },
    { "m_sensorsSetup.m_lambdaType", 0, L"Ustawienia", L"Typ sondy lambda", L"" },
    { "m_sensorsSetup.m_lambdaSecond", 0, L"Ustawienia", L"Druga sonda lambda", L"" },
    { "m_sensorsSetup.m_fuelFull", 0, L"Czujnik poziomu gazu", L"F", L"" },
    { "m_sensorsSetup.m_fuelHgw", 0, L"Czujnik poziomu gazu", L"3/4", L"" },
    { "m_sensorsSetup.m_fuelHalf", 0, L"Czujnik poziomu gazu", L"1/2", L"" },
    { "m_sensorsSetup.m_fuelQuarter", 0, L"Czujnik poziomu gazu", L"1/4", L"" },
    { "m_sensorsSetup.m_fuelRes", 0, L"Czujnik poziomu gazu", L"Rezerwa", L"" },
    { "m_sensorsSetup.m_fuelType", 0, L"Czujnik poziomu gazu", L"Kierunek progów", L"" },
    { "m_tableMask", 0, L"Mapa", L"Maska tabeli korekt", L"" },
};

// The tables shown point by point: "Kalibracja › Korekty główne 3".
struct SIndexedName {
    const char* prefix;
    const wchar_t* page;
    const wchar_t* label;
    const wchar_t* suffix; // after the label, before the point's number
    int firstNumber; // the number the key's first index is shown as
    const wchar_t* unit;
};
constexpr SIndexedName kIndexedNames[] = {
    { "m_mainCorr.m_mainCorr[", L"Kalibracja", L"Korekty główne", L"", 1, L"ms" },
    { "m_setupTimes1[", L"Mapa", L"Korekty", L"", 0, L"%" },
    { "m_setupTimes2[", L"Mapa", L"Korekty", L" (2)", 0, L"%" },
    { "m_adv.m_injConfMap[", L"Odczyty", L"Wyjście wtryskiwacza", L"", 1, L"" },
    { "m_devInfo.m_flags", L"Info", L"Flagi sterownika", L"", 0, L"" }, // m_flags1, m_flags2
};

std::wstring pageAndLabel(const wchar_t* page, const wchar_t* label)
{
    std::wstring text = translate(label);
    while (!text.empty() && (text.back() == L':' || text.back() == L' '))
        text.pop_back();
    return translate(page) + kSeparator + text;
}

// The bit a key names ("m_base.m_flags:0x04" → "m_base.m_flags", 4); 0 without one.
std::pair<std::string, uint32_t> splitBit(const std::string& key)
{
    const auto colon = key.find(":0x");
    if (colon == std::string::npos)
        return { key, 0 };
    return { key.substr(0, colon), static_cast<uint32_t>(std::strtoul(key.c_str() + colon + 3, nullptr, 16)) };
}

} // namespace

CShownSettingName shownSettingName(const std::string& key)
{
    if (const CSettingField* f = CSettingsTable::find(key))
        return { pageAndLabel(f->page == SettingsPage::Settings ? L"Ustawienia" : L"Zaawansowane", f->label), L"" };
    const auto [member, bit] = splitBit(key);
    for (const SOtherName& n : kOtherNames)
        if (member == n.key && bit == n.bit)
            return { pageAndLabel(n.page, n.label), n.unit };
    for (const SIndexedName& t : kIndexedNames) {
        const std::size_t length = std::strlen(t.prefix);
        if (key.compare(0, length, t.prefix) != 0)
            continue;
        std::string digits = key.substr(length);
        if (!digits.empty() && digits.back() == ']')
            digits.pop_back();
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        return { pageAndLabel(t.page, t.label) + t.suffix + L" " + std::to_wstring(std::stoi(digits) + t.firstNumber),
                 t.unit };
    }
    // A map cell, "m_injMapTable[ROW][RPM]": its row in ms and its column in rpm.
    static const std::string kMapCell = "m_injMapTable[";
    if (key.compare(0, kMapCell.size(), kMapCell) == 0) {
        const auto close = key.find("][", kMapCell.size());
        if (close != std::string::npos && key.back() == ']') {
            const std::string row = key.substr(kMapCell.size(), close - kMapCell.size());
            const std::string rpm = key.substr(close + 2, key.size() - close - 3);
            std::wstring name = translate(L"Mapa 2D");
            name += kSeparator + std::wstring(row.begin(), row.end()) + L" ms, " + std::wstring(rpm.begin(), rpm.end());
            name.append(L" ").append(translate(L"obr/min"));
            return { name, L"" };
        }
    }
    return {};
}

std::vector<std::pair<std::string, std::string>> shownSettings(const CSettingsImage& image)
{
    std::vector<std::pair<std::string, std::string>> lines;
    for (const auto& [key, value] : settingsLines(image)) {
        const std::string k = toUtf8(key);
        const CSettingField* f = CSettingsTable::find(k);
        if (!f) {
            lines.emplace_back(k, toUtf8(value));
            continue;
        }
        std::wstring text = CSettingsTable::text(*f, image);
        if (f->kind == SettingKind::Spin && *f->unit)
            text += L" " + std::wstring(f->unit);
        lines.emplace_back(k, toUtf8(text));
    }
    return lines;
}

std::vector<CSettingDifference> compareSettings(const CSettingsImage& a, const CSettingsImage& b, bool withController)
{
    const auto fileA = settingsLines(a);
    const auto fileB = settingsLines(b);
    const auto shownA = shownSettings(a);
    const auto shownB = shownSettings(b);
    std::vector<CSettingDifference> differences;
    for (std::size_t i = 0; i < fileA.size() && i < fileB.size(); ++i) {
        const std::string& key = shownA[i].first;
        if (key == "m_timeStamp")
            continue;
        if (withController && (key.rfind("m_devInfo.", 0) == 0 || key.rfind("m_carInfo.", 0) == 0))
            continue;
        if (fileA[i].second == fileB[i].second)
            continue;
        // A flag word is shown as the boxes that changed in it, each by its own
        // name; the word itself only for bits no box shows.
        uint32_t named = 0;
        for (const CSettingField& f : CSettingsTable::fields()) {
            if (f.bit == 0 || key != f.key)
                continue;
            named |= f.bit;
            if (CSettingsTable::value(f, a) != CSettingsTable::value(f, b))
                differences.push_back({ f.cliKey(), toUtf8(CSettingsTable::text(f, a)), toUtf8(CSettingsTable::text(f, b)) });
        }
        // The other dialogs' boxes in the same word, as 0 and 1 like the table's.
        for (const SOtherName& n : kOtherNames) {
            if (n.bit == 0 || key != n.key)
                continue;
            named |= n.bit;
            const auto bitOf = [&n](const std::wstring& word) {
                try {
                    return (std::stoll(word) & static_cast<long long>(n.bit)) != 0 ? "1" : "0";
                } catch (const std::exception&) {
                    return "0";
                }
            };
            if (bitOf(fileA[i].second) != std::string(bitOf(fileB[i].second))) {
                char name[64];
                std::snprintf(name, sizeof name, "%s:0x%02X", n.key, static_cast<unsigned>(n.bit));
                differences.push_back({ name, bitOf(fileA[i].second), bitOf(fileB[i].second) });
            }
        }
        const auto rest = [named](const std::wstring& word) {
            try {
                return std::stoll(word) & ~static_cast<long long>(named);
            } catch (const std::exception&) {
                return -1LL;
            }
        };
        if (named == 0 || rest(fileA[i].second) != rest(fileB[i].second))
            differences.push_back({ key, shownA[i].second, shownB[i].second });
    }
    return differences;
}

bool readSettingsForComparison(const std::string& path, CSettingsImage& image)
{
    if (!readSettings(path, image))
        return false;
    CSettingsFile file;
    if (!file.open(path, false))
        return false;
    auto& a = image.m_advancedSetup;
    double v = 0;
    if (file.readDouble(L"m_advancedSetup.m_maxLoadTime", v))
        a.m_maxLoadTime = v;
    if (file.readDouble(L"m_advancedSetup.m_minLpgTempr", v))
        a.m_minLpgTempr = v;
    if (file.readDouble(L"m_advancedSetup.m_advancedFlags2", v))
        a.m_advancedFlags2 = static_cast<uint8_t>(static_cast<int64_t>(v));
    if (file.readDouble(L"m_advancedSetup.m_advancedFlags3", v))
        a.m_advancedFlags3 = static_cast<uint16_t>(static_cast<int64_t>(v));
    return true;
}
