// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/settingsdiff.h>

#include <app/data/settingfields.h>
#include <app/data/settingsfile.h>
#include <app/data/settingsio.h>
#include <errkit/utf8.h>

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
