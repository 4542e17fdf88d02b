// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/settingfields.h>
#include <app/data/translate.h>

#include <app/data/blockcodec.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <type_traits>

namespace {

template <class T>
void assignStored(T& to, double v)
{
    if constexpr (std::is_integral_v<T>)
        to = static_cast<T>(std::llround(v));
    else
        to = v;
}

#define MEMBER(path)                                                                                                   \
    [](const CSettingsImage& i) { return static_cast<double>(i.path); },                                             \
        [](CSettingsImage& i, double v) { assignStored(i.path, v); }

using Get = double (*)(const CSettingsImage&);
using Put = void (*)(CSettingsImage&, double);

CSettingField spinField(SettingsPage page, int edit, int spin, const wchar_t* label, const char* key, Get get,
                        Put put, uint8_t blocks, double step, double min, double max, const char* format,
                        const wchar_t* unit, double scale = 1)
{
    CSettingField f;
    f.key = key;
    f.kind = SettingKind::Spin;
    f.page = page;
    f.controlId = edit;
    f.spinId = spin;
    f.label = label;
    f.blocks = blocks;
    f.step = step;
    f.min = min;
    f.max = max;
    f.scale = scale;
    f.format = format;
    f.unit = unit;
    f.get = get;
    f.put = put;
    return f;
}

CSettingField checkField(SettingsPage page, int box, const wchar_t* label, const char* key, uint32_t bit, Get get,
                         Put put, uint8_t blocks, bool restart = false)
{
    CSettingField f;
    f.key = key;
    f.bit = bit;
    f.kind = SettingKind::Check;
    f.page = page;
    f.controlId = box;
    f.label = label;
    f.blocks = blocks;
    f.restart = restart;
    f.get = get;
    f.put = put;
    return f;
}

CSettingField listField(int combo, const wchar_t* label, const char* key, uint32_t bit, Get get, Put put,
                        uint8_t blocks, std::vector<CSettingItem> items, bool restart = false)
{
    CSettingField f;
    f.key = key;
    f.bit = bit;
    f.kind = SettingKind::List;
    f.page = SettingsPage::Settings;
    f.controlId = combo;
    f.label = label;
    f.blocks = blocks;
    f.restart = restart;
    f.items = std::move(items);
    f.get = get;
    f.put = put;
    return f;
}

std::vector<CSettingField> buildFields()
{
    constexpr auto S = SettingsPage::Settings;
    constexpr auto A = SettingsPage::Advanced;
    constexpr uint8_t kAllBlocks = kBlockBase | kBlockAdv | kBlockAdvancedSetup | kBlockSensorsSetup;
    const std::vector<CSettingItem> temprSensors
        = { { L"10 kOhm", 0 }, { L"2.2 kOhm", 3 }, { L"4.7 kOhm", 2 }, { L"6.8 kOhm", 1 } };
    std::vector<CSettingField> t;

    // "Ustawienia": spins.
    t.push_back(spinField(S, 1149, 1116, L"Obroty automatycznego przełączenia", "m_base.m_switchRPM",
                          MEMBER(m_base.m_switchRPM), kBlockBase, 20, 500, 4000, "%.0f", L"rpm"));
    t.push_back(spinField(S, 1150, 1117, L"Temperatura automatycznego przełączenia", "m_base.m_switchTempr",
                          MEMBER(m_base.m_switchTempr), kBlockBase, 1, 0, 70, "%.0f", L"°C"));
    t.push_back(spinField(S, 1151, 1118, L"Przełączanie cylindrów", "m_base.m_emulatorDelay",
                          MEMBER(m_base.m_emulatorDelay), kBlockBase, 0.1, 0, 5, "%.1f", L"s"));
    t.push_back(spinField(S, 1152, 1126, L"Opóźnienie przełączania", "m_base.m_switchDelay",
                          MEMBER(m_base.m_switchDelay), kBlockBase, 1, 0, 120, "%.0f", L"s"));
    t.push_back(spinField(S, 1153, 1138, L"Dzielnik sygnału", "m_base.m_sparkDivider", MEMBER(m_base.m_sparkDivider),
                          kBlockBase, 1, 1, 200, "%u", L""));
    t.push_back(spinField(S, 1014, 1127, L"Ciśnienie robocze", "m_base.m_pressureRef", MEMBER(m_base.m_pressureRef),
                          kBlockBase, 0.01, 0, 2, "%.2f", L"bar", 100));
    t.push_back(spinField(S, 1020, 1128, L"Ciśnienie minimalne", "m_base.m_switchPressure",
                          MEMBER(m_base.m_switchPressure), kBlockBase, 0.01, 0, 1, "%.2f", L"bar", 100));
    t.push_back(spinField(S, 1030, 1131, L"Przełączanie", "m_base.m_maxRPMHigh", MEMBER(m_base.m_maxRPMHigh),
                          kBlockBase, 50, 3000, 8000, "%.0f", L"rpm"));
    t.push_back(spinField(S, 1056, 1132, L"Powrót", "m_base.m_maxRPMLow", MEMBER(m_base.m_maxRPMLow), kBlockBase, 50,
                          3000, 7900, "%.0f", L"rpm"));
    t.push_back(spinField(S, 1059, 1133, L"Maksymalne obciążenie na gazie", "m_advancedSetup.m_maxLoadTime",
                          MEMBER(m_advancedSetup.m_maxLoadTime), kBlockAdvancedSetup, 0.5, 5, 40, "%.1f", L"ms"));
    t.back().zeroIsOff = true;
    t.push_back(spinField(S, 1061, 1135, L"Minimalne obroty na gazie", "m_advancedSetup.m_minimalLPGRPM",
                          MEMBER(m_advancedSetup.m_minimalLPGRPM), kBlockAdvancedSetup, 20, 500, 2000, "%.0f",
                          L"rpm"));
    t.push_back(spinField(S, 1062, 1136, L"Minimalna temperatura gazu", "m_advancedSetup.m_minLpgTempr",
                          MEMBER(m_advancedSetup.m_minLpgTempr), kBlockAdvancedSetup, 1, 0, 20, "%.0f", L"°C"));
    t.push_back(spinField(S, 1063, 1139, L"Udział lubrifikacji", "m_advancedSetup.m_lubricationShare",
                          MEMBER(m_advancedSetup.m_lubricationShare), kBlockAdvancedSetup, 1, 0, 100, "%u", L"%"));
    t.back().inFile = false;

    // "Ustawienia": check boxes.
    t.push_back(checkField(S, 1057, L"Maksymalne obroty na gazie", "m_base.m_flags", kBaseMaxRpmActive,
                           MEMBER(m_base.m_flags), kBlockBase));
    t.push_back(checkField(S, 1058, L"Maksymalne obciążenie na gazie", "m_advancedSetup.m_maxLoadTime", 0,
                           MEMBER(m_advancedSetup.m_maxLoadTime), kBlockAdvancedSetup));
    t.back().special = SettingSpecial::MaxLoadOnOff;
    t.back().inFile = false;

    // "Ustawienia": value lists, in the order the page builds them.
    t.push_back(listField(1148, L"Typ paliwa", "m_advancedSetup.m_advancedFlags", kAdvFuelCng,
                          MEMBER(m_advancedSetup.m_advancedFlags), kBlockAdvancedSetup, { { L"LPG", 0 }, { L"CNG", 1 } },
                          true));
    t.push_back(listField(1092, L"Typ sygnału RPM", "m_base.m_sparkDivider", 0, nullptr, nullptr,
                          kBlockAdvancedSetup | kBlockBase,
                          { { L"1 cewka na 1 cylinder", 1 }, { L"1 cewka na 2 cylindry", 2 },
                            { L"1 cewka na 3 cylindry", 3 }, { L"1 cewka na 4 cylindry", 4 },
                            { L"1 cewka na 5 cylindrów", 5 }, { L"1 cewka na 6 cylindrów", 6 },
                            { L"1 cewka na 8 cylindrów", 8 }, { L"Wtryskiwacze", 9 }, { L"Z wału korbowego", 10 } }));
    t.back().special = SettingSpecial::RpmSource;
    t.back().inFile = false;
    t.push_back(listField(1093, L"Poziom sygnału RPM", "m_advancedSetup.m_advancedFlags", kAdvRpmSignal5V,
                          MEMBER(m_advancedSetup.m_advancedFlags), kBlockAdvancedSetup, { { L"12V", 0 }, { L"5V", 1 } }));
    t.push_back(listField(1107, L"Wtryskiwacz", "m_adv.m_injectorType", 0, MEMBER(m_adv.m_injectorType), kBlockAdv,
                          { { L"Korvana VARN 01 3 Ohm", 29 }, { L"Korvana VARN 01 2 Ohm", 30 },
                            { L"Korvana VARN 01 1 Ohm", 31 }, { L"Valtek 3 Ohm", 1 }, { L"OMVL/OMVL Fast", 2 },
                            { L"Barracuda 1.9 Ohm", 26 }, { L"APIS SOLO FAST 1.6 OHM", 14 }, { L"Hana 3 Ohm", 25 },
                            { L"Hana 1.9 Ohm", 18 }, { L"Hana 1.3 Ohm", 19 }, { L"Matrix", 4 }, { L"Keihin", 5 },
                            { L"Rail IG1 3 Ohm", 15 }, { L"Rail IG1 2 Ohm", 20 }, { L"Rail IG5 3 Ohm", 21 },
                            { L"Rail IG5 2 Ohm", 22 }, { L"Rail IG3 Horizon E3 2.8 Ohm", 16 },
                            { L"Rail IG3 Horizon E2 2 Ohm", 17 }, { L"Rail IG2 3 Ohm", 23 }, { L"Rail IG2 2 Ohm", 24 },
                            { L"Valtek 1 Ohm", 9 }, { L"Zavoli Pan 3 Ohm", 6 }, { L"PlaniJet", 10 },
                            { L"Magic Jet", 12 } }));
    t.push_back(listField(1114, L"Typ czujnika ciśnienia", "m_advancedSetup.m_advancedFlags", kAdvPressureSensorAbs4Bar,
                          MEMBER(m_advancedSetup.m_advancedFlags), kBlockAdvancedSetup,
                          { { L"ABS 4 bar", 1 }, { L"PS4250DP", 0 } }, true));
    // The sensor column changes how every temperature of the blocks is encoded: all four go again.
    t.push_back(listField(1129, L"Typ czujnika temperatury reduktora", "m_sensorsSetup.m_temprEngineSensor", 0,
                          MEMBER(m_sensorsSetup.m_temprEngineSensor), kAllBlocks, temprSensors));
    t.push_back(listField(1130, L"Typ czujnika temperatury gazu", "m_sensorsSetup.m_temprLPGSensor", 0,
                          MEMBER(m_sensorsSetup.m_temprLPGSensor), kAllBlocks, temprSensors));
    t.push_back(listField(1115, L"Typ czujnika poziomu gazu", "m_sensorsSetup", 0, nullptr, nullptr,
                          kBlockSensorsSetup,
                          { { L"10 - 90 Ohm (1090)", 4 }, { L"OMB 0 90 Ohm", 11 }, { L"110-0 Ohm", 5 },
                            { L"AEB 1050", 1 }, { L"CNG MANSI PG", 12 }, { L"Rezerwa", 9 },
                            { L"Napięciowy - CNG", 10 } }));
    t.back().special = SettingSpecial::LevelSensor;
    t.back().inFile = false;

    // "Zaawansowane": spins.
    t.push_back(spinField(A, 1010, 1096, L"Ograniczenie prądu", "m_adv.m_pwm", MEMBER(m_adv.m_pwm), kBlockAdv, 1, 15,
                          50, "%.0f", L"%"));
    t.push_back(spinField(A, 1011, 1097, L"Impuls pełnego napięcia", "m_adv.m_pwmOffset", MEMBER(m_adv.m_pwmOffset),
                          kBlockAdv, 0.1, 1, 6, "%.1f", L"ms"));
    t.push_back(spinField(A, 1012, 1098, L"Czas rozgrzewania", "m_adv.m_warmingTime", MEMBER(m_adv.m_warmingTime),
                          kBlockAdv, 1, 0, 120, "%.0f", L"s"));
    t.push_back(spinField(A, 1029, 1107, L"Temperatura wyłączenia rozgrzewania", "m_adv.m_warmingUpperTempr",
                          MEMBER(m_adv.m_warmingUpperTempr), kBlockAdv, 1, 20, 70, "%.0f", L"°C"));
    t.push_back(spinField(A, 1013, 1099, L"Minimalny czas wtrysku gazu", "m_adv.m_minLPGTime",
                          MEMBER(m_adv.m_minLPGTime), kBlockAdv, 0.1, 0, 6, "%.1f", L"ms"));
    t.push_back(spinField(A, 1005, 1095, L"Opóźnienie początku wtrysku", "m_base.m_baseExtraTime",
                          MEMBER(m_base.m_baseExtraTime), kBlockBase, 0.1, 0.5, 4, "%.1f", L"ms"));
    t.back().inFile = false;
    t.push_back(spinField(A, 1014, 1100, L"Ciśnienie przy CUT-OFF", "m_adv.m_cutOffPressSwitch",
                          MEMBER(m_adv.m_cutOffPressSwitch), kBlockAdv, 0.01, 1, 2, "%.2f", L"bar", 100));
    t.push_back(spinField(A, 1020, 1101, L"Czas powrotu na gaz", "m_adv.m_cutOffExitDelay",
                          MEMBER(m_adv.m_cutOffExitDelay), kBlockAdv, 1, 0, 20, "%.0f", L"s"));
    t.push_back(spinField(A, 1030, 1102, L"Przełączanie cylindrów przy powrocie", "m_adv.m_cutOffExitEmulatorDelay",
                          MEMBER(m_adv.m_cutOffExitEmulatorDelay), kBlockAdv, 0.1, 0, 5, "%.1f", L"s"));
    t.push_back(spinField(A, 1000, 1090, L"Ignorowanie wtrysków benzynowych", "m_adv.m_ignoreLPGTime",
                          MEMBER(m_adv.m_ignoreLPGTime), kBlockAdv, 0.1, 0, 6, "%.1f", L"ms"));
    t.push_back(spinField(A, 1001, 1091, L"Referencja", "m_base.m_temprRef", MEMBER(m_base.m_temprRef), kBlockBase, 1,
                          0, 40, "%.0f", L"°C"));
    t.push_back(spinField(A, 1002, 1092, L"Nachylenie", "m_base.m_temprGain", MEMBER(m_base.m_temprGain), kBlockBase,
                          0.1, 0, 1, "%.1f", L""));
    t.push_back(spinField(A, 1003, 1093, L"Dolna temperatura korekt", "m_base.m_temprBottom",
                          MEMBER(m_base.m_temprBottom), kBlockBase, 1, 0, 40, "%.0f", L"°C"));
    t.push_back(spinField(A, 1004, 1094, L"Górna temperatura korekt", "m_base.m_temprUpper",
                          MEMBER(m_base.m_temprUpper), kBlockBase, 1, 0, 80, "%.0f", L"°C"));
    t.push_back(spinField(A, 1059, 1103, L"Minimalny czas wtrysku przy przełączeniu", "m_base.m_switchMinGasTime",
                          MEMBER(m_base.m_switchMinGasTime), kBlockBase, 0.1, 0, 10, "%.1f", L"ms"));
    t.push_back(spinField(A, 1060, 1104, L"Wzbogacenie przy przełączeniu", "m_advancedSetup.m_switchCorr",
                          MEMBER(m_advancedSetup.m_switchCorr), kBlockAdvancedSetup, 1, -50, 50, "%.0f", L"%"));
    t.push_back(spinField(A, 1061, 1106, L"przez s", "m_advancedSetup.m_switchCorrTime",
                          MEMBER(m_advancedSetup.m_switchCorrTime), kBlockAdvancedSetup, 1, 20, 120, "%.0f", L"s"));
    t.push_back(spinField(A, 1062, 1108, L"Minimalne napięcie", "m_base.m_minVCC", MEMBER(m_base.m_minVCC), kBlockBase,
                          0.1, 8, 12, "%.1f", L"V"));

    // "Zaawansowane": check boxes.
    t.push_back(checkField(A, 1070, L"Włącz rozgrzewanie", "m_adv.m_flags", 0x01, MEMBER(m_adv.m_flags), kBlockAdv));
    t.push_back(checkField(A, 1056, L"Wyjscie z CUT-OFF przez benzynę", "m_adv.m_flags", 0x04, MEMBER(m_adv.m_flags),
                           kBlockAdv));
    t.push_back(checkField(A, 1007, L"Obsługa wtrysku ciagłego", "m_adv.m_flags", 0x08, MEMBER(m_adv.m_flags),
                           kBlockAdv));
    t.push_back(checkField(A, 1006, L"Wtryskiwacze benzynowe załączane 12V", "m_adv.m_engineSignalBehavior", 0x01,
                           MEMBER(m_adv.m_engineSignalBehavior), kBlockAdv, true));
    t.push_back(checkField(A, 1008, L"Szybkie wykrywanie braku RPM", "m_adv.m_engineSignalBehavior", 0x02,
                           MEMBER(m_adv.m_engineSignalBehavior), kBlockAdv, true));
    t.push_back(checkField(A, 1068, L"Opóźnienie czytania ciśnienia", "m_base.m_flags", kBaseDelayedPressure,
                           MEMBER(m_base.m_flags), kBlockBase));
    t.push_back(checkField(A, 1057, L"Szybkie przejście na gaz", "m_base.m_flags", kBaseFastSwitchToLpg,
                           MEMBER(m_base.m_flags), kBlockBase));
    t.push_back(checkField(A, 1058, L"Włączenie zaworu dopiero przy przejściu na gaz", "m_base.m_flags",
                           kBaseValveAtSwitchOnly, MEMBER(m_base.m_flags), kBlockBase));
    t.push_back(checkField(A, 1069, L"Wzbogacenie przy przełączeniu", "m_advancedSetup.m_advancedFlags",
                           kAdvEnrichAtSwitch, MEMBER(m_advancedSetup.m_advancedFlags), kBlockAdvancedSetup));
    return t;
}

int decimalsOf(const char* format)
{
    const char* dot = std::strchr(format, '.');
    return dot ? dot[1] - '0' : 0;
}

double roundDecimals(double v, int decimals)
{
    const double f = std::pow(10.0, decimals);
    return std::round(v * f) / f;
}

bool isKey(const CSettingField& f, const char* key)
{
    return f.kind == SettingKind::Spin && std::strcmp(f.key, key) == 0;
}

std::wstring widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// Tolerance of the range ends: the shown values have at most two decimals.
constexpr double kEpsilon = 1e-7;
// A read of a written value may give another, whose write reads back as itself.
constexpr int kRoundTrips = 8;

// The blocks encoded as a write sends them and decoded as a read stores them.
void roundTrip(CSettingsImage& image, uint8_t blocks)
{
    if (blocks & kBlockBase)
        decodeBase(encodeBase(image), image);
    if (blocks & kBlockAdv)
        decodeAdv(encodeAdv(image), image);
    if (blocks & kBlockAdvancedSetup)
        decodeAdvancedSetup(encodeAdvancedSetup(image), image);
    if (blocks & kBlockSensorsSetup)
        decodeSensorsSetup(encodeSensorsSetup(image), image);
}

} // namespace

std::string CSettingField::cliKey() const
{
    switch (special) {
    case SettingSpecial::RpmSource: return std::string(key) + ":source";
    case SettingSpecial::LevelSensor: return std::string(key) + ":levelSensor";
    case SettingSpecial::MaxLoadOnOff: return std::string(key) + ":on";
    case SettingSpecial::None: break;
    }
    if (bit == 0)
        return key;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ":0x%02X", static_cast<unsigned>(bit));
    return std::string(key) + suffix;
}

const std::vector<CSettingField>& CSettingsTable::fields()
{
    static const std::vector<CSettingField> table = buildFields();
    return table;
}

const CSettingField* CSettingsTable::find(const std::string& cliKey)
{
    for (const auto& f : fields())
        if (f.cliKey() == cliKey)
            return &f;
    return nullptr;
}

const CSettingField* CSettingsTable::byControl(SettingsPage page, int controlId)
{
    for (const auto& f : fields())
        if (f.page == page && (f.controlId == controlId || (f.spinId != 0 && f.spinId == controlId)))
            return &f;
    return nullptr;
}

const CSettingsTable::LevelPreset* CSettingsTable::levelPreset(int code)
{
    static const LevelPreset presets[] = {
        { 1, 45, 140, 180, 230, 1 }, { 4, 65, 55, 42, 30, 0 }, { 5, 15, 25, 40, 85, 0 }, { 9, 215, 180, 140, 45, 1 },
        { 10, 220, 170, 120, 70, 2 }, { 11, 90, 65, 35, 5, 0 }, { 12, 110, 150, 190, 240, 1 },
    };
    for (const auto& p : presets)
        if (p.code == code)
            return &p;
    return nullptr;
}

double CSettingsTable::value(const CSettingField& f, const CSettingsImage& image)
{
    switch (f.special) {
    case SettingSpecial::RpmSource:
        if (image.m_advancedSetup.m_advancedFlags2 & 0x40)
            return 9;
        return image.m_base.m_sparkDivider == 62 ? 10 : image.m_base.m_sparkDivider;
    case SettingSpecial::LevelSensor: {
        const auto& s = image.m_sensorsSetup;
        for (const auto& item : f.items) {
            const LevelPreset* p = levelPreset(item.value);
            if (p && p->full == s.m_fuelFull && p->hgw == s.m_fuelHgw && p->half == s.m_fuelHalf
                && p->quarter == s.m_fuelQuarter)
                return item.value;
        }
        return -1;
    }
    case SettingSpecial::MaxLoadOnOff: return f.get(image) != 0 ? 1 : 0;
    case SettingSpecial::None: break;
    }
    const double raw = f.get(image);
    if (f.bit != 0)
        return (static_cast<uint32_t>(raw) & f.bit) ? 1 : 0;
    return f.kind == SettingKind::Spin ? raw / f.scale : raw;
}

void CSettingsTable::setValue(const CSettingField& f, CSettingsImage& image, double value)
{
    switch (f.special) {
    case SettingSpecial::RpmSource: {
        auto& flags2 = image.m_advancedSetup.m_advancedFlags2;
        const int v = static_cast<int>(std::lround(value));
        flags2 = static_cast<uint8_t>(v == 9 ? flags2 | 0x40 : flags2 & ~0x40);
        image.m_base.m_sparkDivider = static_cast<uint8_t>(v == 9 ? 1 : v == 10 ? 62 : v);
        return;
    }
    case SettingSpecial::LevelSensor: {
        const LevelPreset* p = levelPreset(static_cast<int>(std::lround(value)));
        if (!p)
            return;
        auto& s = image.m_sensorsSetup;
        s.m_fuelFull = p->full;
        s.m_fuelHgw = p->hgw;
        s.m_fuelHalf = p->half;
        s.m_fuelQuarter = p->quarter;
        s.m_fuelRes = p->res;
        s.m_fuelType = p->full < p->quarter ? 1 : 0;
        return;
    }
    case SettingSpecial::MaxLoadOnOff: f.put(image, value != 0 ? 20 : 0); return;
    case SettingSpecial::None: break;
    }
    if (f.bit != 0) {
        const auto raw = static_cast<uint32_t>(f.get(image));
        f.put(image, static_cast<double>(value != 0 ? raw | f.bit : raw & ~f.bit));
        return;
    }
    if (f.kind == SettingKind::Spin)
        value = roundDecimals(snap(f, image, value) * f.scale, 6);
    f.put(image, value);
}

double CSettingsTable::snap(const CSettingField& f, const CSettingsImage& image, double value)
{
    if (f.kind != SettingKind::Spin || f.special != SettingSpecial::None || !f.get || !f.put || !std::isfinite(value))
        return value;
    // Only this member takes the trip: the block's others stay as the image holds them.
    CSettingsImage held = image;
    double stored = roundDecimals(value * f.scale, 6);
    for (int i = 0; i < kRoundTrips; ++i) {
        f.put(held, stored);
        roundTrip(held, f.blocks);
        const double back = f.get(held);
        if (back == stored)
            break;
        stored = back;
    }
    return roundDecimals(stored / f.scale, 6);
}

double CSettingsTable::rangeMin(const CSettingField& f, const CSettingsImage& image)
{
    // The switch to petrol stays at least 100 rpm above the return to LPG.
    if (isKey(f, "m_base.m_maxRPMHigh"))
        return std::max(f.min, image.m_base.m_maxRPMLow + 100);
    if (isKey(f, "m_base.m_temprUpper"))
        return image.m_base.m_temprBottom;
    return f.min;
}

double CSettingsTable::rangeMax(const CSettingField& f, const CSettingsImage& image)
{
    if (isKey(f, "m_base.m_maxRPMLow"))
        return std::min(f.max, image.m_base.m_maxRPMHigh - 100);
    return f.max;
}

bool CSettingsTable::allows(const CSettingField& f, const CSettingsImage& image, double v)
{
    if (!std::isfinite(v))
        return false;
    switch (f.kind) {
    case SettingKind::Spin:
        if (f.zeroIsOff && v == 0)
            return true;
        return v >= rangeMin(f, image) - kEpsilon && v <= rangeMax(f, image) + kEpsilon;
    case SettingKind::Check: return v == 0 || v == 1;
    case SettingKind::List:
        for (const auto& item : f.items)
            if (item.value == v)
                return true;
        return false;
    }
    return false;
}

std::optional<double> CSettingsTable::spin(const CSettingField& f, const CSettingsImage& image, int delta)
{
    if (f.kind != SettingKind::Spin || delta == 0)
        return std::nullopt;
    const double old = value(f, image);
    // A step the controller would read back as the old value (speeds read to
    // 100 rpm) takes the next one, until one moves or the range ends.
    for (int steps = 1;; ++steps) {
        const double next = roundDecimals(old - delta * steps * f.step, decimalsOf(f.format));
        // "Off" is the check box's to set; the spin itself keeps to the range.
        if (next == 0 && f.zeroIsOff && f.min > 0)
            return std::nullopt;
        if (!allows(f, image, next))
            return std::nullopt;
        const double held = snap(f, image, next);
        if (delta < 0 ? held > old + kEpsilon : held < old - kEpsilon)
            return allows(f, image, held) ? std::optional<double>(held) : std::nullopt;
    }
}

double CSettingsTable::clamp(const CSettingField& f, const CSettingsImage& image, double v)
{
    switch (f.kind) {
    case SettingKind::Spin:
        if (allows(f, image, v))
            return v;
        if (std::isnan(v))
            return rangeMin(f, image);
        return std::min(std::max(v, rangeMin(f, image)), rangeMax(f, image));
    case SettingKind::Check: return v != 0 ? 1 : 0;
    case SettingKind::List: break;
    }
    return v;
}

std::wstring CSettingsTable::formatValue(const CSettingField& f, double v)
{
    char text[64];
    // A number far outside every range (a damaged file's) in short form, not in hundreds of digits.
    if (!std::isfinite(v) || std::fabs(v) >= 1e9) {
        std::snprintf(text, sizeof text, "%g", v);
        return widen(text);
    }
    if (f.kind == SettingKind::Spin) {
        if (std::strcmp(f.format, "%u") == 0)
            std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(std::lround(v)));
        else
            std::snprintf(text, sizeof text, f.format, v);
        return widen(text);
    }
    if (f.kind == SettingKind::List) {
        for (const auto& item : f.items)
            if (item.value == v)
                return item.text;
    }
    std::snprintf(text, sizeof text, "%g", v);
    return widen(text);
}

std::wstring CSettingsTable::text(const CSettingField& f, const CSettingsImage& image)
{
    return formatValue(f, value(f, image));
}

std::wstring CSettingsTable::rangeText(const CSettingField& f, const CSettingsImage& image)
{
    if (f.kind == SettingKind::Check)
        return L"0 … 1";
    if (f.kind == SettingKind::List) {
        std::wstring out;
        for (const auto& item : f.items)
            out += (out.empty() ? L"" : L", ") + std::wstring(item.text) + L" = " + std::to_wstring(item.value);
        return out;
    }
    const std::wstring unit = *f.unit ? L" " + std::wstring(f.unit) : L"";
    const double lo = rangeMin(f, image);
    const double hi = rangeMax(f, image);
    // A paired limit that leaves no room: the field's own range, and what it conflicts with.
    const bool empty = !(lo <= hi);
    std::wstring out = empty ? formatValue(f, f.min) + L" … " + formatValue(f, f.max)
                             : formatValue(f, lo) + L" … " + formatValue(f, hi);
    out += unit + L", step " + formatValue(f, f.step);
    if (f.zeroIsOff)
        out += L", 0 = off";
    if (empty) {
        if (const auto c = pairedConflict(f, image))
            out += L"; " + translate(L"sprzeczne z") + L" " + widen(c->key) + L" = " + formatValue(f, c->value) + unit
                + L", " + translate(c->atLeast ? L"które musi wynosić co najmniej" : L"które musi wynosić najwyżej")
                + L" " + formatValue(f, c->limit) + unit;
    }
    return out;
}

std::optional<CSettingsTable::PairedConflict> CSettingsTable::pairedConflict(const CSettingField& f,
                                                                              const CSettingsImage& image)
{
    const auto& b = image.m_base;
    if (rangeMin(f, image) <= rangeMax(f, image))
        return std::nullopt;
    // The switch to petrol stays 100 rpm above the return to LPG, the upper
    // correction temperature not below the lower one.
    if (isKey(f, "m_base.m_maxRPMHigh"))
        return PairedConflict { "m_base.m_maxRPMLow", b.m_maxRPMLow, f.max - 100, false };
    if (isKey(f, "m_base.m_maxRPMLow"))
        return PairedConflict { "m_base.m_maxRPMHigh", b.m_maxRPMHigh, f.min + 100, true };
    if (isKey(f, "m_base.m_temprUpper"))
        return PairedConflict { "m_base.m_temprBottom", b.m_temprBottom, f.max, false };
    return std::nullopt;
}

bool CSettingsTable::parse(const CSettingField& f, const std::wstring& text, double& value)
{
    if (f.kind == SettingKind::List) {
        for (const auto& item : f.items) {
            if (text == item.text) {
                value = item.value;
                return true;
            }
        }
    }
    // A plain decimal number only: a sign, digits and one point. Hexadecimal,
    // exponents, inf and nan would be taken for values nobody meant; read
    // without the locale, so a decimal comma elsewhere cannot cut the number.
    std::string digits;
    bool point = false;
    bool anyDigit = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= L'0' && c <= L'9')
            anyDigit = true;
        else if (c == L'.' && !point)
            point = true;
        else if (!(i == 0 && (c == L'-' || c == L'+')))
            return false;
        if (c != L'+')
            digits.push_back(static_cast<char>(c));
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (!anyDigit || ec != std::errc() || end != digits.data() + digits.size())
        return false;
    // A typed value is taken as the edit would show it.
    value = f.kind == SettingKind::Spin && std::isfinite(v) ? roundDecimals(v, decimalsOf(f.format)) : v;
    return true;
}

bool CSettingsTable::dividerLocked(const CSettingsImage& image)
{
    return (image.m_advancedSetup.m_advancedFlags2 & 0x40) || image.m_base.m_sparkDivider == 62;
}
