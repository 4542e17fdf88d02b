// SPDX-License-Identifier: GPL-3.0-or-later
// The engine model's readouts: the live readings record and the values the
// engine computer and the tests read.
#include <tools/sim/enginemodel.h>

#include <tools/sim/simbytes.h>

#include <app/data/conversions.h>

#include <algorithm>
#include <cmath>
#include <numbers>

uint8_t CEngineModel::fuelState() const
{
    if (m_target == 0)
        return m_lpgCount == 0 ? 2 : 5;
    return m_lpgCount == m_target ? 3 : 4;
}

uint8_t CEngineModel::lpgMask1() const
{
    const auto base = static_cast<uint8_t>((1u << m_lpgCount) - 1u);
    return m_mask17 ? *m_mask17 & m_view.fullMask() : base;
}

uint8_t CEngineModel::lpgMask2() const
{
    const auto base = static_cast<uint8_t>((1u << m_lpgCount) - 1u);
    return m_mask18 ? *m_mask18 & m_view.fullMask() : base;
}

uint8_t CEngineModel::injectorMask() const
{
    return running() || m_engine == EngineState::Cranking ? m_view.fullMask() : 0;
}

double CEngineModel::petrolTimeMs(int injector) const
{
    return m_petrol.at(static_cast<std::size_t>(injector));
}

double CEngineModel::lpgTimeMs(int injector) const
{
    return m_lpg.at(static_cast<std::size_t>(injector));
}

double CEngineModel::lambda1Volts() const
{
    if (!running())
        return 0.45;
    if (m_reducer < kClosedLoopCelsius)
        return 0.75; // warm-up enrichment, open loop
    if (m_mixture > 0.03)
        return 0.82;
    if (m_mixture < -0.03)
        return 0.12;
    const double hz = std::clamp(m_rpm / 800.0, 0.5, 3.0);
    return 0.45 + 0.38 * std::sin(2 * std::numbers::pi * hz * m_time);
}

double CEngineModel::lambda2Volts() const
{
    if (!running() || m_reducer < kClosedLoopCelsius)
        return 0.45;
    return 0.66 + 0.02 * std::sin(0.3 * m_time);
}

double CEngineModel::vehicleSpeed() const
{
    if (m_engine == EngineState::Sweep)
        return m_rpm / 45;
    if (m_engine == EngineState::Hold)
        return std::max(0.0, (m_rpm - 800) / 40);
    return 0;
}

double CEngineModel::coolantCelsius() const
{
    return std::min(90.0, kAmbient + (m_reducer - kAmbient) * 1.35);
}

uint8_t CEngineModel::manifoldByte() const
{
    if (m_view.absoluteManifoldSensor())
        return saturateU8((m_manifold * 0.002421 - 0.00842) * 255);
    return saturateU8((0.004 * (101 - m_manifold) + 0.04) * 255);
}

uint8_t CEngineModel::levelByte() const
{
    // Linear between the fitter's thresholds: full at 100 %, ¾, ½, ¼, and the
    // last step again below a quarter.
    const auto t = m_view.levelThresholds();
    const double points[5][2] = { { 100, double(t[0]) }, { 75, double(t[1]) }, { 50, double(t[2]) },
                                  { 25, double(t[3]) }, { 0, t[3] + (t[3] - t[2]) / 1.0 } };
    const double level = std::clamp(m_tank, 0.0, 100.0);
    for (int i = 0; i < 4; ++i) {
        if (level >= points[i + 1][0]) {
            const double f = (level - points[i + 1][0]) / (points[i][0] - points[i + 1][0]);
            return saturateU8(points[i + 1][1] + (points[i][1] - points[i + 1][1]) * f);
        }
    }
    return saturateU8(points[4][1]);
}

std::vector<uint8_t> CEngineModel::liveRecord() const
{
    std::vector<uint8_t> r(kLiveLength, 0);
    r[0] = fuelState();
    r[1] = m_pending ? 1 : 0;
    r[2] = temprToByte(m_reducer, m_view.engineSensorColumn());
    r[3] = temprToByte(m_lpgTemp, m_view.lpgSensorColumn());
    r[5] = saturateU8(m_volts * 255 / 30);
    r[6] = saturateU8(lambda1Volts() * 51);
    r[7] = saturateU8(lambda2Volts() * 51);
    const double shownPressure = m_pressure - (m_lpgCount > 0 ? 3 * std::clamp((m_manifold - 30) / 65, 0.0, 1.0) : 0);
    r[8] = saturateU8((0.004 * std::max(0.0, shownPressure) + 0.04) * 255);
    r[9] = m_view.pressureRefByte();
    r[10] = manifoldByte();
    r[11] = lpgMask1();
    r[12] = lpgMask2();
    r[13] = injectorMask();
    r[14] = levelByte();
    r[15] = saturateU8(100 + m_obdCorr);
    const uint16_t period = m_rpmShown > 0 ? saturateU16(4800000.0 / m_rpmShown) : 0;
    r[16] = static_cast<uint8_t>(period & 0xFF);
    r[17] = static_cast<uint8_t>(period >> 8);
    const int n = m_view.injectors();
    for (int k = 0; k < n; ++k) {
        const std::size_t slot = 18 + 8 * static_cast<std::size_t>(k); // slot 2k
        const uint16_t petrol = saturateU16(m_petrol[k] / 0.025);
        const long offset = m_petrol[k] > 0 ? std::lround((m_lpg[k] - m_petrol[k]) / 0.025) : 0;
        const auto wire = static_cast<uint16_t>(offset < 0 ? 65535 + std::max(offset, -5534L) : std::min(offset, 60000L));
        r[slot] = static_cast<uint8_t>(petrol & 0xFF);
        r[slot + 1] = static_cast<uint8_t>(petrol >> 8);
        r[slot + 2] = static_cast<uint8_t>(wire & 0xFF);
        r[slot + 3] = static_cast<uint8_t>(wire >> 8);
    }
    return r;
}
