// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/mapfromobd.h>
#include <app/tuning/obddiagnostic.h>

#include <app/data/conversions.h>
#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>

#include <algorithm>
#include <numeric>

namespace {

constexpr const char* kLog = "obdmap";
constexpr const wchar_t* kCaption = L"KORVANA";
constexpr uint8_t kLpg = 3;

void show(const wchar_t* text, MsgIcon icon)
{
    userInteraction().message(translate(text), kCaption, icon);
}

} // namespace

CMapFromOBD::CMapFromOBD(const CCorrMap& map)
    : m_map(map)
{
}

double CMapFromOBD::trimSample(double stft1, double ltft1, double stft2, double ltft2)
{
    if (stft2 == 0 && ltft2 == 0)
        return stft1 + ltft1;
    return (stft1 + ltft1 + stft2 + ltft2) * 0.5;
}

int CMapFromOBD::cellOf(const CCorrMap& map, double rpm, double time)
{
    int column = kCols - 1;
    for (int c = 0; c < kCols; ++c)
        if (rpm < map.m_rpmAxis[static_cast<std::size_t>(c)]) {
            column = c;
            break;
        }
    int row = kRows - 1;
    for (int r = 0; r < kRows; ++r)
        if (time < map.m_injTimeAxis[static_cast<std::size_t>(r)]) {
            row = r;
            break;
        }
    return row * kCols + column;
}

void CMapFromOBD::operatingPoint(const CDiag& record, int injCount, double& rpm, double& time)
{
    rpm = record.rpm();
    time = 0;
    for (int i = 0; i < 2 * injCount; ++i)
        time = std::max(time, roundTo001(record.petrolTime(i)));
}

void CMapFromOBD::addSample(double rpm, double time, double stft1, double ltft1, double stft2, double ltft2)
{
    if (rpm == 0 || time == 0)
        return;
    const auto cell = static_cast<std::size_t>(cellOf(m_map, rpm, time));
    auto& samples = m_samples[cell];
    samples.push_back(trimSample(stft1, ltft1, stft2, ltft2));
    m_cellMean[cell] = roundHalfAway(std::accumulate(samples.begin(), samples.end(), 0.0) / samples.size());
}

void CMapFromOBD::clearSamples()
{
    for (auto& samples : m_samples)
        samples.clear();
    m_cellMean.fill(0);
}

const std::array<double, CMapFromOBD::kCells>& CMapFromOBD::averageAndSmooth()
{
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        const auto& s = m_samples[i];
        m_cellMean[i] = s.empty() ? 0 : roundHalfAway(std::accumulate(s.begin(), s.end(), 0.0) / s.size());
    }
    const std::array<double, kCells> means = m_cellMean;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kCols; ++c) {
            double sum = 0;
            int inside = 0;
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int rr = r + dr;
                    const int cc = c + dc;
                    if (rr < 0 || rr >= kRows || cc < 0 || cc >= kCols)
                        continue;
                    sum += means[static_cast<std::size_t>(rr * kCols + cc)];
                    ++inside;
                }
            m_cellMean[static_cast<std::size_t>(r * kCols + c)] = sum / inside;
        }
    }
    return m_cellMean;
}

bool CMapFromOBD::start(CLPGDevice& device)
{
    CDiag newest;
    if (!device.isConnected() || !device.diagData().latest(newest))
        return false;
    if (newest.fuelState() != kLpg) {
        show(L"Mapowanie z OBD tylko przy pracy na gazie!", MsgIcon::Information);
        return false;
    }
    m_savedConfig = {};
    if (device.readObdMapConfig(m_savedConfig) && m_savedConfig[0] != 0) {
        show(L"Wymagane jest wyłączenie automatycznych korekt z OBD.", MsgIcon::Information);
        std::array<uint8_t, 18> off = m_savedConfig;
        off[0] = 0;
        CWriteSession session(device, L"CMapFromOBD::start");
        if (!session.writeObdMapConfig(off))
            logWarning(kLog, "automatic OBD corrections could not be switched off");
    }
    clearSamples();
    m_redrawCounter = 0;
    m_running = true;
    logInfo(kLog, "mapping from OBD started");
    return true;
}

bool CMapFromOBD::tick(const CObdDiagnostic& readings, double rpm, double time)
{
    if (!m_running)
        return false;
    addSample(rpm, time, readings.value(0), readings.value(1), readings.value(2), readings.value(3));
    const bool redraw = m_redrawCounter > 10;
    m_redrawCounter = redraw ? 0 : m_redrawCounter + 1;
    return redraw;
}

void CMapFromOBD::stop(CLPGDevice& device)
{
    m_running = false;
    if (m_savedConfig[0] != 0) {
        CWriteSession session(device, L"CMapFromOBD::stop");
        if (!session.writeObdMapConfig(m_savedConfig))
            show(L"Nie powiodło się ustawienie urządzenia!", MsgIcon::Error);
    }
    logInfo(kLog, "mapping from OBD stopped");
}

bool CMapFromOBD::calculate(CLPGDevice& device)
{
    CWaitCursor wait;
    const auto& result = averageAndSmooth();
    auto& table = device.liveImage().m_corrMap.m_injMapTable;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            double& cell = table[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            // Whole percent, as the map holds and the controller stores them
            // (a fraction would be cut towards −∞ on the way to the controller).
            cell = std::clamp(roundHalfAway(cell + result[static_cast<std::size_t>(r * kCols + c)]), kMapMin, kMapMax);
        }
    clearSamples();
    m_running = false;
    logInfo(kLog, "fuel-trim corrections added to the map");

    // On petrol, written, read back, restarted, then back to automatic mode.
    const CWriteReport report
        = CWriteSession::writeBlocks(device, L"CMapFromOBD::calculate", { CReadBlocks::InjMap });
    report.show(L"Nie powiodło się ustawienie urządzenia!");
    return report.ok();
}
