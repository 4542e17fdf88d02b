#include <app/tuning/settingscheck.h>

#include <app/data/settingfields.h>
#include <app/data/settingsfile.h>
#include <app/tuning/maincorredits.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMapCellMin = -50;
constexpr double kMapCellMax = 50;

// Settings of the table that a settings file carries as numbers of their own.
bool checked(const CSettingField& f)
{
    if (!f.inFile || f.special != SettingSpecial::None || f.bit != 0)
        return false;
    // Sensor codes pick a column of the temperature table; injector codes are the controller's.
    return f.kind == SettingKind::Spin || std::string(f.key).rfind("m_sensorsSetup.", 0) == 0;
}

bool inside(double v, double lo, double hi)
{
    return std::isfinite(v) && v >= lo && v <= hi;
}

std::string mapKey(int r, int c)
{
    return "m_injMapTable[" + std::to_string(r + 2) + "][" + std::to_string(1000 + 500 * c) + "]";
}

std::wstring number(double v)
{
    const std::string s = CSettingsFile::formatNumber(v);
    return std::wstring(s.begin(), s.end());
}

std::wstring plainRange(double lo, double hi, const wchar_t* unit)
{
    return number(lo) + L" … " + number(hi) + L" " + unit;
}

} // namespace

std::vector<CSettingProblem> checkLoadedSettings(const CSettingsImage& image)
{
    std::vector<CSettingProblem> problems;
    for (const auto& f : CSettingsTable::fields()) {
        if (!checked(f))
            continue;
        const double shown = CSettingsTable::value(f, image);
        if (!CSettingsTable::allows(f, image, shown))
            problems.push_back({ f.key, CSettingsTable::formatValue(f, shown) + (*f.unit ? L" " : L"") + f.unit,
                                 CSettingsTable::rangeText(f, image) });
    }
    for (int i = 0; i < 8; ++i) {
        const double v = image.m_mainCorr.m_mainCorr[static_cast<std::size_t>(i)];
        if (!inside(v, CMainCorrEdits::kMin, CMainCorrEdits::kMax))
            problems.push_back({ "m_mainCorr.m_mainCorr[" + std::to_string(i) + "]", number(v) + L" ms",
                                 plainRange(CMainCorrEdits::kMin, CMainCorrEdits::kMax, L"ms") });
    }
    for (int r = 0; r < kMapRows; ++r) {
        for (int c = 0; c < kMapCols; ++c) {
            const double v = image.m_corrMap.m_injMapTable[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            if (!inside(v, kMapCellMin, kMapCellMax))
                problems.push_back({ mapKey(r, c), number(v) + L" %", plainRange(kMapCellMin, kMapCellMax, L"%") });
        }
    }
    return problems;
}

void clampLoadedSettings(CSettingsImage& image)
{
    // Twice: a paired limit clamped later can make an earlier one allowed.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& f : CSettingsTable::fields()) {
            if (!checked(f))
                continue;
            const double shown = CSettingsTable::value(f, image);
            if (CSettingsTable::allows(f, image, shown))
                continue;
            if (f.kind == SettingKind::List)
                CSettingsTable::setValue(f, image, f.items.front().value);
            else
                CSettingsTable::setValue(f, image, CSettingsTable::clamp(f, image, shown));
        }
    }
    // Nothing can be said of a value that is no number: the neutral one takes its place.
    for (double& v : image.m_mainCorr.m_mainCorr)
        v = std::isnan(v) ? 1.0 : std::clamp(v, CMainCorrEdits::kMin, CMainCorrEdits::kMax);
    for (auto& row : image.m_corrMap.m_injMapTable)
        for (double& v : row)
            v = std::isnan(v) ? 0.0 : std::clamp(v, kMapCellMin, kMapCellMax);
}

std::wstring describeProblems(const std::vector<CSettingProblem>& problems, std::size_t maxLines)
{
    std::wstring out;
    for (std::size_t i = 0; i < problems.size(); ++i) {
        if (i == maxLines && problems.size() > maxLines + 1) {
            out += L"… +" + std::to_wstring(problems.size() - i) + L"\n";
            break;
        }
        const CSettingProblem& p = problems[i];
        out += std::wstring(p.key.begin(), p.key.end()) + L" = " + p.value + L" (" + p.allowed + L")\n";
    }
    return out;
}
