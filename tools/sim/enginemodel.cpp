// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/enginemodel.h>

#include <tools/sim/fittedcar.h>
#include <tools/sim/simbytes.h>

#include <app/data/conversions.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kReducerWarm = 70.0;
constexpr double kPetrolTrimBias = 0.015; // the car's own lean petrol trim
constexpr double kTrimLimit = 0.25;
constexpr double kCrankSeconds = 1.5;
constexpr double kSweepSeconds = 20.0;
constexpr double kStartFlare = 1400.0;

double fittedCell(const void*, int row, int column)
{
    return fittedMapCell(row, column);
}

// What the engine really needs, on the fitted car's default axes.
double trueMapPercent(double petrolMs, double rpm)
{
    static const auto axes = [] {
        std::array<double, 34> a {};
        for (int r = 0; r < 19; ++r)
            a[static_cast<std::size_t>(r)] = 2.0 + r;
        for (int c = 0; c < 15; ++c)
            a[static_cast<std::size_t>(19 + c)] = 500.0 * (c + 1);
        return a;
    }();
    return bilinear(axes.data(), axes.data() + 19, fittedCell, nullptr, petrolMs, rpm);
}

double trueCurvePercent(double petrolMs)
{
    const double x = std::clamp((petrolMs - 1.0) / 0.5, 0.0, 38.0);
    const int i = std::min(37, static_cast<int>(x));
    const double f = x - i;
    return fittedCurvePoint(i) * (1 - f) + fittedCurvePoint(i + 1) * f;
}

} // namespace

CEngineModel::CEngineModel(CSimStore& store, uint32_t seed)
    : m_store(store)
    , m_view(store)
    , m_rng(seed)
{
}

void CEngineModel::setEngine(EngineState state, double holdRpm)
{
    if (state == EngineState::Cranking)
        m_crankTime = 0;
    if (state == EngineState::Sweep && m_engine != EngineState::Sweep)
        m_sweepTime = 0;
    if ((state == EngineState::Idle || state == EngineState::Hold || state == EngineState::Sweep) && !running())
        m_rpm = 0; // a start from standstill: the speed is set by the first step
    m_engine = state;
    m_holdRpm = holdRpm;
}

void CEngineModel::setFuelMode(FuelMode mode)
{
    // Automatic mode keeps a running LPG; from petrol it waits the delay again.
    if (mode == FuelMode::Auto)
        m_armed = (m_mode == FuelMode::Lpg && m_lpgCount > 0) || (m_mode == FuelMode::Auto && m_armed);
    else
        m_armed = false;
    m_mode = mode;
    m_delayTimer = 0;
    m_pending = false;
    m_mask17.reset();
    m_mask18.reset();
}

void CEngineModel::setPetrolCutMask(uint8_t mask)
{
    if (m_target > 0)
        m_mask17 = mask;
}

void CEngineModel::setLpgMask(uint8_t mask)
{
    if (m_target > 0)
        m_mask18 = mask;
}

void CEngineModel::restart()
{
    m_lpgCount = 0;
    m_target = 0;
    m_armed = false;
    m_pending = false;
    m_delayTimer = 0;
    m_rpmReached = false;
    m_mask17.reset();
    m_mask18.reset();
}

void CEngineModel::setControllerHalted(bool halted)
{
    if (halted)
        restart();
    m_halted = halted;
}

bool CEngineModel::running() const
{
    return m_engine == EngineState::Idle || m_engine == EngineState::Sweep || m_engine == EngineState::Hold;
}

double CEngineModel::noise(double amplitude)
{
    return std::uniform_real_distribution<double>(-amplitude, amplitude)(m_rng);
}

void CEngineModel::advance(double seconds)
{
    m_pendingTime += seconds;
    // The tolerance keeps a whole number of steps from losing one to rounding.
    while (m_pendingTime >= kStep - 1e-9) {
        m_pendingTime -= kStep;
        step(kStep);
    }
}

void CEngineModel::step(double dt)
{
    m_time += dt;
    stepEngine(dt);
    stepSwitching(dt);
    stepTemperatures(dt, m_lpgCount > 0);
    stepInjection(dt);
    stepCounters(dt);
}

void CEngineModel::stepEngine(double dt)
{
    switch (m_engine) {
    case EngineState::Off:
        m_rpm = 0;
        m_manifold = 101;
        m_volts += (12.4 - m_volts) * std::min(1.0, dt / 2.0);
        break;
    case EngineState::Cranking:
        m_crankTime += dt;
        m_rpm = 230;
        m_manifold = 92;
        m_volts = 10.6;
        if (m_crankTime >= kCrankSeconds) {
            m_engine = EngineState::Idle;
            m_rpm = 0;
        }
        break;
    case EngineState::Idle: {
        // A cold engine idles fast; the reducer follows the coolant.
        const double cold = std::clamp((50.0 - m_reducer) / 30.0, 0.0, 1.0);
        const double target = 800 + 500 * cold;
        // Every start flares to 1400 rpm before settling, warm or cold.
        m_rpm = m_rpm <= 0 ? std::max(target, kStartFlare) : m_rpm + (target - m_rpm) * std::min(1.0, dt / 0.5);
        m_manifold = 35 + 6 * cold + noise(0.4);
        m_volts = 14.1;
        break;
    }
    case EngineState::Sweep: {
        m_sweepTime += dt;
        const double phase = std::fmod(m_sweepTime, kSweepSeconds) / kSweepSeconds;
        const double tri = phase < 0.5 ? 2 * phase : 2 - 2 * phase;
        m_rpm = 800 + 5400 * tri;
        m_manifold = 30 + 65 * (0.5 + 0.5 * std::sin(2 * std::numbers::pi * m_sweepTime / 7.3));
        m_volts = 14.2;
        break;
    }
    case EngineState::Hold:
        m_rpm = m_holdRpm;
        m_manifold = 30 + 40 * std::clamp((m_holdRpm - 800) / 5200, 0.0, 1.0) + noise(0.4);
        m_volts = 14.1;
        break;
    }
    m_rpmShown = m_rpm > 0 ? m_rpm + noise(m_engine == EngineState::Cranking ? 15 : 6) : 0;
}

void CEngineModel::stepTemperatures(double dt, bool onLpg)
{
    if (m_reducerHeld)
        m_reducer = *m_reducerHeld;
    else if (running())
        m_reducer += (kReducerWarm - m_reducer) * dt / 90.0;
    else
        m_reducer += (kAmbient - m_reducer) * dt / 600.0;
    const double lpgTarget = onLpg ? kAmbient + 0.3 * (m_reducer - kAmbient) : kAmbient;
    m_lpgTemp += (lpgTarget - m_lpgTemp) * dt / 120.0;

    const bool valveOpen = running() && (m_lpgCount > 0 || !m_view.valveOnlyOnLpg());
    const double ref = std::max(0.0, (m_view.pressureRefByte() / 255.0 - 0.04) / 0.004);
    const double target = valveOpen ? ref : 0.0;
    const double tau = target > m_pressure ? 0.3 : 60.0;
    m_pressure += (target - m_pressure) * std::min(1.0, dt / tau);
}

void CEngineModel::stepSwitching(double dt)
{
    const int n = m_view.injectors();
    if (!running() || m_halted) {
        m_lpgCount = 0;
        m_target = 0;
        m_armed = false;
        m_pending = false;
        m_delayTimer = 0;
        m_stepTimer = 0;
        m_mask17.reset();
        m_mask18.reset();
        if (!running())
            m_rpmReached = false;
        return;
    }
    if (m_rpm >= m_view.switchRpm())
        m_rpmReached = true;
    bool wantLpg = false;
    switch (m_mode) {
    case FuelMode::Petrol:
        m_pending = false;
        break;
    case FuelMode::Lpg:
        m_pending = false;
        wantLpg = true;
        break;
    case FuelMode::Auto:
        if (!m_armed) {
            const double threshold = temprFromByte(m_view.switchTemprByte(), m_view.engineSensorColumn());
            if (m_rpmReached && m_reducer >= threshold) {
                m_pending = true;
                m_delayTimer += dt;
                if (m_delayTimer >= m_view.switchDelaySeconds()) {
                    m_armed = true;
                    m_pending = false;
                }
            } else {
                m_pending = false;
                m_delayTimer = 0;
            }
        }
        wantLpg = m_armed;
        break;
    }
    const int target = wantLpg ? n : 0;
    if (target != m_target) {
        m_target = target;
        m_stepTimer = 0;
        m_mask17.reset();
        m_mask18.reset();
    }
    if (m_lpgCount == m_target)
        return;
    // One cylinder per emulator delay, the first at once.
    m_stepTimer -= dt;
    const double delay = m_view.emulatorDelaySeconds();
    while (m_lpgCount != m_target && m_stepTimer <= 0) {
        m_lpgCount += m_target > m_lpgCount ? 1 : -1;
        m_stepTimer += delay;
        if (delay <= 0)
            m_stepTimer = 0;
    }
}

bool CEngineModel::lpgCylinder(int k) const
{
    return ((lpgMask1() & lpgMask2()) >> k & 1) != 0;
}

void CEngineModel::stepInjection(double dt)
{
    const int n = m_view.injectors();
    const std::array<double, 8> previous = m_petrol;
    m_petrol.fill(0);
    m_lpg.fill(0);
    m_base.fill(0);
    if (!running() && m_engine != EngineState::Cranking) {
        m_mixture = 0;
        return;
    }
    const double cold = std::clamp((60.0 - m_reducer) / 40.0, 0.0, 1.0);
    for (int k = 0; k < n; ++k) {
        const double spread = 1.0 + 0.01 * (k % 3 - 1);
        m_base[k] = m_engine == EngineState::Cranking ? 8.0
                                                       : (0.5 + m_manifold * 0.0714) * (1 + 0.25 * cold) * spread;
    }
    const bool closedLoop = running() && m_reducer >= kClosedLoopCelsius;

    // The trim the engine computer needs so that the delivered fuel meets the
    // engine's need, averaged over the cylinders; the LPG cylinders' need
    // depends on how the controller doses against the petrol time it sees.
    double needSum = 0;
    double required = 0;
    for (int k = 0; k < n; ++k) {
        if (!lpgCylinder(k)) {
            required += kPetrolTrimBias;
            continue;
        }
        const double seen = previous[k] > 0 ? previous[k] : m_base[k] * (1 + m_stft + m_ltft);
        const double gain = (1 + m_view.mapPercent(seen, m_rpm) / 100) * (1 + m_view.curvePercent(seen) / 100)
            * (1 + m_obdCorr / 100);
        const double need = lpgNeed(k);
        const double seenNeeded = (need - m_view.mainCorrection(k)) / gain;
        required += seenNeeded / m_base[k] - 1;
    }
    required /= n;
    const double target = std::clamp(required, -kTrimLimit, kTrimLimit);
    if (closedLoop) {
        m_stft += (target - m_ltft - m_stft) * std::min(1.0, dt / 0.5);
        m_ltft += (target - m_ltft) * std::min(1.0, dt / 40.0);
        m_stft = std::clamp(m_stft, -kTrimLimit, kTrimLimit);
    } else {
        m_stft = 0;
    }
    const double trim = std::clamp(m_stft + m_ltft, -kTrimLimit, kTrimLimit);

    double deliveredSum = 0;
    for (int k = 0; k < n; ++k) {
        m_petrol[k] = m_base[k] * (1 + trim);
        const double seen = m_petrol[k];
        m_lpg[k] = std::max(0.0,
                            seen * (1 + m_view.mapPercent(seen, m_rpm) / 100) * (1 + m_view.curvePercent(seen) / 100)
                                    * (1 + m_obdCorr / 100)
                                + m_view.mainCorrection(k));
        const bool onLpg = lpgCylinder(k);
        const double need = onLpg ? lpgNeed(k) : m_base[k] * (1 + kPetrolTrimBias);
        deliveredSum += onLpg ? m_lpg[k] : seen;
        needSum += need;
    }
    m_mixture = needSum > 0 ? deliveredSum / needSum - 1 : 0;

    // Automatic OBD corrections: the controller leans on the trims while on LPG.
    if (m_view.obdCorrectionsOn() && fuelState() == 3 && closedLoop && m_rpm >= m_view.obdMinRpm()) {
        const double limit = m_view.obdMaxCorrection();
        const double goal = std::clamp(m_obdCorr + (m_stft + m_ltft) * 100, -limit, limit);
        m_obdCorr += (goal - m_obdCorr) * std::min(1.0, dt / m_view.obdAveragingSeconds());
    } else if (!m_view.obdCorrectionsOn()) {
        m_obdCorr = 0;
    }
}

double CEngineModel::lpgNeed(int k) const
{
    // The engine wants the same fuel on either: what the petrol injector would
    // give in the petrol time it needs, carried by the LPG injector with its
    // own characteristic (the true map and curve) and opening offset.
    const double petrolNeed = m_base[k] * (1 + kPetrolTrimBias);
    return petrolNeed * (1 + trueMapPercent(petrolNeed, m_rpm) / 100) * (1 + trueCurvePercent(petrolNeed) / 100)
        + physicalOffsetMs(k);
}

void CEngineModel::stepCounters(double dt)
{
    if (!running())
        return;
    const bool onLpg = fuelState() == 3 || fuelState() == 4;
    int& steps = onLpg ? m_lpgSteps : m_petrolSteps;
    if (++steps == kStepsPerHalfSecond) {
        steps = 0;
        ++(onLpg ? m_store.statLpg : m_store.statPetrol);
    }
    if (onLpg)
        m_tank = std::max(0.0, m_tank - dt * 0.0005 * m_rpm / 800);

    // The 2D chart's maps: ten samples a second of the petrol time against the
    // manifold sensor byte, on a settled fuel with the mixture regulated.
    if (++m_sampleSteps < kStepsPerSample)
        return;
    m_sampleSteps = 0;
    const uint8_t state = fuelState();
    if (m_reducer < kClosedLoopCelsius || (state != 2 && state != 3) || m_mask17 || m_mask18)
        return;
    const int byte = manifoldByte();
    const int cell = m_view.absoluteManifoldSensor() ? static_cast<int>(std::lround((byte - 11) * 72.0 / 156.0))
                                                     : static_cast<int>(std::lround((83 - byte) / 3.0));
    double sum = 0;
    const int n = m_view.injectors();
    for (int k = 0; k < n; ++k)
        sum += m_petrol[k];
    m_store.addChartSample(state == 3, std::clamp(cell, 0, CSimStore::kChartMapCells - 1),
                           saturateU16(sum / n / 0.025));
}
