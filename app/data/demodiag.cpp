// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/data/demodiag.h>

#include <app/data/conversions.h>
#include <app/data/diag.h>
#include <app/data/diagdata.h>

#include <cstring>
#include <mutex>

namespace {

constexpr uint8_t kLpg = 3;

// A value that walks between two bounds and turns round at each.
struct Swing {
    int value;
    int step;
    int low;
    int high;
    int direction = 1;

    void advance()
    {
        value += direction * step;
        if (value >= high)
            direction = -1;
        else if (value <= low)
            direction = 1;
    }
};

struct DemoState {
    uint32_t sequence = 1;
    Swing pressure { 110, 1, 90, 120 };
    // Tenths, so that the walk between 20 and 100 does not drift.
    Swing manifoldTenths { 500, 1, 200, 1000 };
    Swing lambda { 1, 1, 0, 50 };
    Swing period { 5000, 1, 5000, 5100 };
    double petrolBase = 123;
};

std::mutex g_lock;
DemoState g_state;

// The inverse conversions, truncated rather than rounded.
uint8_t truncatedPressureByte(double kPa)
{
    return toU8(static_cast<double>(static_cast<long>((0.004 * kPa + 0.04) * 5 / (5.0 / 255))));
}

uint8_t truncatedSupplyByte(double volts)
{
    return toU8(static_cast<double>(static_cast<long>(volts / 6 / (5.0 / 255))));
}

} // namespace

void buildDemoRecord(CDiag& record, CDiagData& queue, uint8_t fuelState, const CDiagScale& scale)
{
    std::lock_guard lock(g_lock);
    DemoState& s = g_state;
    if (s.sequence == 1)
        queue.clear();

    std::memset(record.bytes(), 0, CDiag::kAnswerBytes);
    record.setFuelState(fuelState);
    record.setU8(2, temprToByte(70, scale.engineSensor));
    record.setU8(3, temprToByte(52, scale.lpgSensor));
    record.setU8(5, truncatedSupplyByte(14.4));
    record.setU8(6, static_cast<uint8_t>(s.lambda.value));
    record.setU8(7, static_cast<uint8_t>(50 - s.lambda.value));
    record.setU8(8, static_cast<uint8_t>(s.pressure.value));
    record.setU8(9, 110);
    record.setU8(10, static_cast<uint8_t>(s.manifoldTenths.value / 10));
    const uint8_t mask = fuelState == kLpg ? 0xFF : 0;
    record.setU8(11, mask);
    record.setU8(12, mask);
    record.setU8(14, 0x0C);
    record.setU8(15, 0x65);
    record.setU16(CDiag::kRpmPeriodAt, static_cast<uint16_t>(s.period.value));

    static constexpr int kSpread[CDiag::kInjectors] = { 1, -2, -1, 1, 2, 3, 2, 1 };
    for (int k = 0; k < CDiag::kInjectors; ++k) {
        const double t = s.petrolBase + kSpread[k];
        const std::size_t slot = static_cast<std::size_t>(2 * k);
        record.setU16(CDiag::kPetrolAt + 4 * slot, toU16(static_cast<double>(static_cast<long>(t))));
        record.setU16(CDiag::kOffsetAt + 4 * slot, 80);
    }
    record.setSequence(s.sequence);

    ++s.sequence;
    s.petrolBase = (truncatedPressureByte(101) - s.manifoldTenths.value / 10.0) * 6;
    if (fuelState == kLpg)
        s.petrolBase -= s.petrolBase / 10;
    s.pressure.advance();
    s.manifoldTenths.advance();
    s.lambda.advance();
    s.period.advance();
}

void resetDemoRecords()
{
    std::lock_guard lock(g_lock);
    g_state = DemoState {};
}
