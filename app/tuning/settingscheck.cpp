// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/settingscheck.h>

#include <app/data/settingfields.h>
#include <app/data/settingsfile.h>
#include <app/data/translate.h>
#include <app/data/blockcodec.h>
#include <app/platform/textcodec.h>
#include <curvemodel/curveeditmodel.h>
#include <app/tuning/maincorredits.h>
#include <app/tuning/mapaxes.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace {

// Settings of the table that a settings file carries as numbers of their own.
bool checked(const CSettingField& f)
{
    if (!f.inFile || f.special != SettingSpecial::None || f.bit != 0)
        return false;
    // Sensor codes pick a column of the temperature table; injector codes are the controller's.
    return f.kind == SettingKind::Spin || std::string(f.key).rfind("m_sensorsSetup.", 0) == 0;
}

std::wstring widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::wstring number(double v)
{
    return widen(CSettingsFile::formatNumber(v));
}

std::wstring withUnit(const std::wstring& value, const wchar_t* unit)
{
    return *unit ? value + L" " + unit : value;
}

// A value that is no number has no unit.
std::wstring shown(const CSettingField& f, double v)
{
    return withUnit(CSettingsTable::formatValue(f, v), f.kind == SettingKind::Spin && std::isfinite(v) ? f.unit : L"");
}

// A number of the file that no settings page edits, with the range it may take.
struct Ranged {
    std::string key;
    double lo = 0;
    double hi = 0;
    const wchar_t* unit = L"";
    double neutral = 0; // what a value that is no number becomes when clamped
    std::function<double(const CSettingsImage&)> get;
    std::function<double&(CSettingsImage&)> ref;

    std::wstring show(double v) const { return withUnit(number(v), std::isfinite(v) ? unit : L""); }
};

template <class Access>
Ranged ranged(std::string key, double lo, double hi, const wchar_t* unit, double neutral, Access access)
{
    return { std::move(key), lo, hi, unit, neutral, [access](const CSettingsImage& im) { return access(im); },
             [access](CSettingsImage& im) -> double& { return access(im); } };
}

// What a member can be after a trip through its block: the decoded values of
// the lowest and the highest number its field holds.
template <std::size_t N, class Access>
Ranged encodable(std::string key, const wchar_t* unit, Access access, Record<N> (*encode)(const CSettingsImage&),
                 void (*decode)(RecordView<N>, CSettingsImage&))
{
    const auto through = [&](double v) {
        CSettingsImage in;
        access(in) = v;
        const Record<N> bytes = encode(in);
        CSettingsImage out;
        decode(RecordView<N>(bytes), out);
        return access(out);
    };
    const double a = through(-1e12);
    const double b = through(1e12);
    // A value that is no number becomes the fresh image's.
    const CSettingsImage fresh;
    return ranged(std::move(key), std::min(a, b), std::max(a, b), unit, access(fresh), access);
}

std::vector<Ranged> buildRanged()
{
    std::vector<Ranged> r;
    // The numbers of the base and advanced blocks that no page shows.
    r.push_back(encodable("m_base.m_pressureGain", L"", [](auto& im) -> auto& { return im.m_base.m_pressureGain; },
                          encodeBase, decodeBase));
    r.push_back(encodable("m_base.m_pressAverageCount", L"",
                          [](auto& im) -> auto& { return im.m_base.m_pressAverageCount; }, encodeBase, decodeBase));
    r.push_back(encodable("m_base.m_rpmSignalLevel", L"V",
                          [](auto& im) -> auto& { return im.m_base.m_rpmSignalLevel; }, encodeBase, decodeBase));
    r.push_back(encodable("m_adv.m_injectorWarmingImpulse", L"ms",
                          [](auto& im) -> auto& { return im.m_adv.m_injectorWarmingImpulse; }, encodeAdv, decodeAdv));
    for (std::size_t i = 0; i < 8; ++i)
        r.push_back(ranged("m_mainCorr.m_mainCorr[" + std::to_string(i) + "]", CMainCorrEdits::kMin,
                           CMainCorrEdits::kMax, L"ms", 1.0,
                           [i](auto& im) -> auto& { return im.m_mainCorr.m_mainCorr[i]; }));
    for (std::size_t i = 0; i < kSetupTimesCount; ++i)
        r.push_back(ranged("m_setupTimes1[" + std::to_string(i + 1) + "]", CCurveEditModel::kMin,
                           CCurveEditModel::kMax, L"%", 0, [i](auto& im) -> auto& { return im.m_setupTimes1[i]; }));
    for (std::size_t i = 0; i < kSetupTimesCount; ++i)
        r.push_back(ranged("m_setupTimes2[" + std::to_string(i + 1) + "]", CCurveEditModel::kMin,
                           CCurveEditModel::kMax, L"%", 0, [i](auto& im) -> auto& { return im.m_setupTimes2[i]; }));
    for (std::size_t row = 0; row < kMapRows; ++row)
        for (std::size_t c = 0; c < kMapCols; ++c)
            r.push_back(ranged("m_injMapTable[" + std::to_string(row + 2) + "][" + std::to_string(1000 + 500 * c) + "]",
                               kMapCellMin, kMapCellMax, L"%", 0,
                               [row, c](auto& im) -> auto& { return im.m_corrMap.m_injMapTable[row][c]; }));
    return r;
}

const std::vector<Ranged>& rangedValues()
{
    static const std::vector<Ranged> values = buildRanged();
    return values;
}

bool inside(double v, double lo, double hi)
{
    return std::isfinite(v) && v >= lo && v <= hi;
}

bool same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

std::wstring rejectedWhy(const CSettingsLineProblem& p)
{
    if (p.kind == CSettingsLineProblem::NotANumber)
        return translate(L"to nie jest liczba");
    if (p.lo == 0 && p.hi == 0)
        return translate(L"nie mieści się w swoim polu");
    return translate(L"nie mieści się w swoim polu") + L": " + number(p.lo) + L" … " + number(p.hi);
}

} // namespace

std::vector<CSettingProblem> checkLoadedSettings(const CSettingsImage& image, const CSettingsReadReport* report)
{
    std::vector<CSettingProblem> problems;
    // A line the reader could not take is named as the file holds it, once.
    std::set<std::string> rejected;
    if (report) {
        for (const auto& p : report->rejected) {
            std::string key(p.key.begin(), p.key.end());
            problems.push_back({ key, p.value, rejectedWhy(p), p.line, false });
            rejected.insert(std::move(key));
        }
    }
    const auto lineOf = [report](const std::string& key) { return report ? report->lineOf(widen(key)) : 0; };
    for (const auto& f : CSettingsTable::fields()) {
        if (!checked(f) || rejected.count(f.key))
            continue;
        const double v = CSettingsTable::value(f, image);
        if (!CSettingsTable::allows(f, image, v))
            problems.push_back({ f.key, shown(f, v), CSettingsTable::rangeText(f, image), lineOf(f.key) });
    }
    for (const auto& r : rangedValues()) {
        const double v = r.get(image);
        if (!inside(v, r.lo, r.hi) && !rejected.count(r.key))
            problems.push_back({ r.key, r.show(v), withUnit(number(r.lo) + L" … " + number(r.hi), r.unit), lineOf(r.key) });
    }
    // In the file's order where the lines are known.
    std::stable_sort(problems.begin(), problems.end(), [](const CSettingProblem& a, const CSettingProblem& b) {
        return a.line != 0 && (b.line == 0 || a.line < b.line);
    });
    return problems;
}

std::vector<CSettingMove> clampLoadedSettings(CSettingsImage& image)
{
    const CSettingsImage before = image;
    const auto clampTable = [&image](bool pairedLimits) {
        for (const auto& f : CSettingsTable::fields()) {
            if (!checked(f))
                continue;
            const double v = CSettingsTable::value(f, image);
            if (f.kind == SettingKind::List) {
                if (!CSettingsTable::allows(f, image, v))
                    CSettingsTable::setValue(f, image, f.items.front().value);
            } else if (pairedLimits) {
                if (!CSettingsTable::allows(f, image, v))
                    CSettingsTable::setValue(f, image, CSettingsTable::clamp(f, image, v));
            } else if (!(f.zeroIsOff && v == 0) && !inside(v, f.min, f.max)) {
                // Each on its own range first, so that no pair is left without room.
                CSettingsTable::setValue(f, image, std::isnan(v) ? f.min : std::clamp(v, f.min, f.max));
            }
        }
    };
    clampTable(false);
    // Twice: a paired limit clamped later can make an earlier one allowed.
    clampTable(true);
    clampTable(true);
    for (const auto& r : rangedValues()) {
        double& v = r.ref(image);
        v = std::isnan(v) ? r.neutral : std::clamp(v, r.lo, r.hi);
    }

    std::vector<CSettingMove> moves;
    for (const auto& f : CSettingsTable::fields()) {
        if (!checked(f))
            continue;
        const double from = CSettingsTable::value(f, before);
        const double to = CSettingsTable::value(f, image);
        if (!same(from, to))
            moves.push_back({ f.key, shown(f, from), shown(f, to) });
    }
    for (const auto& r : rangedValues()) {
        const double from = r.get(before);
        const double to = r.get(image);
        if (!same(from, to))
            moves.push_back({ r.key, r.show(from), r.show(to) });
    }
    return moves;
}

bool allClampable(const std::vector<CSettingProblem>& problems)
{
    return std::all_of(problems.begin(), problems.end(), [](const CSettingProblem& p) { return p.clampable; });
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
        // Key and value as the file holds them.
        out += escapeControls(widen(p.key));
        if (p.line > 0)
            out += L" (" + translate(L"wiersz") + L" " + std::to_wstring(p.line) + L"): ";
        else
            out += L" = ";
        out += escapeControls(p.value) + L" (" + p.allowed + L")\n";
    }
    return out;
}

std::wstring describeMove(const CSettingMove& move)
{
    return widen(move.key) + L": " + move.from + L" → " + move.to;
}

std::wstring describeMoves(const std::vector<CSettingMove>& moves)
{
    std::wstring out;
    for (const auto& m : moves)
        out += describeMove(m) + L"\n";
    return out;
}
