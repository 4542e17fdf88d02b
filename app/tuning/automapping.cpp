// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/automapping.h>

#include <app/data/conversions.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/correctioncurve.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kLog = "automap";
constexpr const wchar_t* kCaption = L"KORVANA";
constexpr int kLast = static_cast<int>(kSetupTimesCount) - 1;

constexpr const wchar_t* kCollectMaps = L"Zbierz mapę benzynową i gazową podczas jazdy.";
constexpr const wchar_t* kAutomapOn = L"Nie można ręcznie liczyć korekt podczas automapowania. Wyłącz automapowanie.";
constexpr const wchar_t* kWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";
constexpr const wchar_t* kSetFailed = L"Nie powiodło się ustawienie urządzenia!";
constexpr const wchar_t* kApplyProposal = L"Zapisać proponowane korekty do urządzenia?";
constexpr const wchar_t* kClearLpgAsk
    = L"Po każdej modyfikacji poprawki zalecane jest skasowanie mapy gazowej.\nCzy chcesz skasować mapę gazową?";
constexpr const wchar_t* kNoClearCorr = L"Nie można kasować korekt podczas automapowania. Wyłącz automapowanie.";
constexpr const wchar_t* kNoClearMaps = L"Nie można kasować map podczas automapowania. Wyłącz automapowanie.";

void show(const wchar_t* text, MsgIcon icon)
{
    userInteraction().message(translate(text), kCaption, icon);
}

double clampPercent(double v)
{
    return std::clamp(v, -CAutomapping::kLimit, CAutomapping::kLimit);
}

std::size_t at(int i)
{
    return static_cast<std::size_t>(i);
}

} // namespace

int CAutomapping::slotOf(double petrolMs)
{
    // Slot i stands for 1.0 + 0.5 i ms: a time of 1 ms or less belongs to the
    // first slot, never to the 1.5 or 2.0 ms one.
    if (!(petrolMs > 1))
        return 0;
    const double j = std::floor(2 * (petrolMs - 1));
    if (!(j >= 1))
        return 0;
    return j > kLast ? kLast : static_cast<int>(j);
}

double CAutomapping::binChange(double petrolMs, double lpgMs)
{
    if (!(petrolMs > 0 && lpgMs > 0))
        return 0;
    return (lpgMs - petrolMs) * 100 / petrolMs * 0.8;
}

CorrCurve CAutomapping::slotMeans(const CChartMaps& maps)
{
    std::array<double, kSetupTimesCount> sum {};
    std::array<int, kSetupTimesCount> n {};
    for (int k = 0; k < CChartMaps::kBins; ++k) {
        const double p = maps.filteredMean(k, 0);
        const double l = maps.filteredMean(k, 1);
        const int j = slotOf(p);
        sum[at(j)] += binChange(p, l);
        ++n[at(j)];
    }
    CorrCurve a {};
    for (std::size_t j = 0; j < a.size(); ++j)
        a[j] = n[j] ? clampPercent(sum[j] / n[j]) : 0;
    return a;
}

CorrCurve CAutomapping::smooth(CorrCurve a, CorrCurve* filled)
{
    int s = 0;
    for (int i = 1; i <= kLast; ++i)
        if (a[at(i - 1)] == 0 && a[at(i)] != 0) {
            s = i;
            break;
        }
    int e = kLast;
    for (int i = kLast - 1; i >= 0; --i)
        if (a[at(i)] != 0 && a[at(i + 1)] == 0) {
            e = i;
            break;
        }
    for (int i = 0; i < s; ++i)
        a[at(i)] = a[at(s)];
    for (int i = e + 1; i <= kLast; ++i)
        a[at(i)] = a[at(e)];
    a[0] = 0;
    if (filled)
        *filled = a;

    CorrCurve b {};
    for (int i = 2; i <= kLast - 2; ++i)
        b[at(i)] = (a[at(i - 2)] + a[at(i - 1)] + a[at(i)] + a[at(i + 1)] + a[at(i + 2)]) / 5;
    b[1] = (b[0] + b[2]) / 2;
    b[at(kLast)] = a[at(kLast)];
    b[at(kLast - 1)] = (b[at(kLast - 2)] + a[at(kLast)]) / 2;
    return b;
}

CAutomapProposal CAutomapping::propose(const CChartMaps& maps, const CorrCurve& current)
{
    CAutomapProposal p;
    p.oldCurve = current;
    p.change = smooth(slotMeans(maps), &p.slotMeans);
    p.newCurve = addChange(current, p.change);
    return p;
}

CorrCurve CAutomapping::addChange(const CorrCurve& current, const CorrCurve& change)
{
    CorrCurve result {};
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i] = clampPercent(current[i] + roundHalfAway(change[i]));
    return result;
}

std::wstring CAutomapping::refusal(const CChartMaps& maps, const CSettingsImage& image)
{
    if (!maps.covered())
        return kCollectMaps;
    if (image.m_automapMode != 0)
        return kAutomapOn;
    return {};
}

bool CAutomapping::create(
    CLPGDevice& device, const CChartMaps& maps, const std::function<void(const CAutomapProposal&)>& showProposal)
{
    if (!device.isConnected())
        return false;
    if (!maps.covered()) {
        logInfo(kLog, "maps not covered; nothing computed");
        // How far each map is from enough, so the fitter knows how much more driving it takes.
        std::wstring text = translate(kCollectMaps);
        if (const unsigned petrol = maps.petrol().missing())
            text += L"\n" + translate(L"Brakuje punktów mapy benzynowej:") + L" " + std::to_wstring(petrol);
        if (const unsigned lpg = maps.lpg().missing())
            text += L"\n" + translate(L"Brakuje punktów mapy gazowej:") + L" " + std::to_wstring(lpg);
        userInteraction().message(text, kCaption, MsgIcon::Information);
        return false;
    }
    if (device.liveImage().m_automapMode != 0) {
        show(kAutomapOn, MsgIcon::Error);
        return false;
    }
    const CAutomapProposal proposal = propose(maps, device.liveImage().m_setupTimes1);
    logInfo(kLog, "curve proposed from the maps");
    if (showProposal)
        showProposal(proposal);
    if (!userInteraction().question(translate(kApplyProposal), kCaption, MsgIcon::Question, true)) {
        logInfo(kLog, "proposal discarded");
        return false;
    }
    if (!apply(device, proposal.newCurve))
        return false;
    if (userInteraction().question(translate(kClearLpgAsk), kCaption, MsgIcon::Question, true))
        clearMap(device, true);
    return true;
}

bool CAutomapping::writeBlock(CLPGDevice& device, CReadBlocks::Block block)
{
    const CWriteReport report = CWriteSession::writeBlocks(device, L"CAutomapping", { block });
    if (report.outcome == CWriteReport::Outcome::Refused)
        userInteraction().message(report.text(), L"KORVANA", MsgIcon::Error);
    else if (!report.ok())
        show(kWriteFailed, MsgIcon::Error);
    return report.ok();
}

bool CAutomapping::apply(CLPGDevice& device, const CorrCurve& curve)
{
    const CorrCurve previous = device.liveImage().m_setupTimes1;
    device.liveImage().m_setupTimes1 = curve;
    device.liveImage().m_tableMask = 0;
    if (!writeBlock(device, CReadBlocks::SetupTimes1))
        return false;
    logInfo(kLog, "correction curve written");
    m_previous = previous;
    return true;
}

bool CAutomapping::undo(CLPGDevice& device)
{
    if (!m_previous || !device.isConnected())
        return false;
    const CorrCurve previous = *m_previous;
    device.liveImage().m_setupTimes1 = previous;
    device.liveImage().m_tableMask = 0;
    if (!writeBlock(device, CReadBlocks::SetupTimes1))
        return false;
    logInfo(kLog, "previous correction curve restored");
    m_previous.reset();
    return true;
}

bool CAutomapping::writeCurve(CLPGDevice& device, const CorrCurve& values)
{
    return correctioncurve::write(device, correctioncurve::automapping(), values);
}

bool CAutomapping::incrementAll(CLPGDevice& device, int step)
{
    return correctioncurve::shift(device, correctioncurve::automapping(), step);
}

bool CAutomapping::clearCurve(CLPGDevice& device)
{
    if (device.liveImage().m_automapMode != 0) {
        show(kNoClearCorr, MsgIcon::Error);
        return false;
    }
    return correctioncurve::clear(device, correctioncurve::automapping());
}

bool CAutomapping::clearMap(CLPGDevice& device, bool lpg)
{
    if (device.liveImage().m_automapMode != 0) {
        show(kNoClearMaps, MsgIcon::Error);
        return false;
    }
    if (!device.isConnected())
        return false;
    CWriteSession session(device, L"CAutomapping::clearMap");
    if (!session.clearChartMap(lpg)) {
        show(kSetFailed, MsgIcon::Error);
        return false;
    }
    logInfo(kLog, lpg ? "LPG map cleared" : "petrol map cleared");
    return true;
}

const std::vector<CAutomapping::ComboItem>& CAutomapping::comboItems()
{
    static const std::vector<ComboItem> items {
        { L"Wyłączone", 0 },
        { L"Jednorazowe", 1 },
        { L"Włączone co 1000 km", 3 },
        { L"Włączone co 2000 km", 4 },
        { L"Włączone co 5000 km", 7 },
        { L"Włączone co 10000 km", 12 },
        { L"Włączone co 20000 km", 22 },
        { L"Włączone co 50000 km", 52 },
    };
    return items;
}

int CAutomapping::comboValue(const CSettingsImage& image)
{
    if (image.m_automapMode != 2)
        return image.m_automapMode == 1 ? 1 : 0;
    return static_cast<int>(std::lround(image.m_automapKm / 1000)) + 2;
}

bool CAutomapping::setSchedule(CLPGDevice& device, int value)
{
    if (!device.isConnected())
        return false;
    CWaitCursor wait;
    CSettingsImage& image = device.liveImage();
    if (value == 0 || value == 1) {
        image.m_automapMode = static_cast<uint8_t>(value);
    } else {
        if (!device.readStatistics()) {
            show(kWriteFailed, MsgIcon::Error);
            return false;
        }
        image.m_automapMode = 2;
        image.m_automapKm = (value - 2) * 1000.0;
        image.m_automapDue = image.m_automapKm / 50 * 3600 * 2 + image.m_devInfo.m_statistic.lpg;
    }
    if (!writeBlock(device, CReadBlocks::AutomapSchedule))
        return false;
    logInfo(kLog, "automapping schedule written");
    return true;
}

double CAutomapping::kmLeft(const CSettingsImage& image)
{
    return (image.m_automapDue - image.m_devInfo.m_statistic.lpg) * 0.5 / 3600 * 50;
}

std::wstring CAutomapping::kmLeftText(const CSettingsImage& image)
{
    const double km = kmLeft(image);
    if (km < 1)
        return L"< 1";
    wchar_t text[32];
    std::swprintf(text, 32, L"%.0f", km);
    return text;
}

std::wstring CAutomapping::kmLeftShown(const CSettingsImage& image)
{
    return kmLeftText(image);
}
