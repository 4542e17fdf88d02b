// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/fittedcar.h>

#include <tools/sim/simbytes.h>

#include <cmath>
#include <numbers>

namespace {

// Record 31: switch-over at 1200 rpm (period 4000), 32 °C (byte 140, 10 kΩ
// sensor), 20 s delay (byte 40); minimum LPG time 1.5 ms; minimum pressure
// 55 kPa (66), working pressure 110 kPa (122); LPG off above 6500 rpm (738),
// back below 6000 (800); flags 0x88 (valve at switch-over, signal it);
// gain 1.0; averaging 0.8; temperature reference 20 °C (171), gain 0.3,
// 0 … 80 °C (214, 49); cylinder switching 0.3 s (12); RPM signal 5.0 V;
// minimum supply 10.5 V (89); base time 2.0 ms; last written by PC 4E7A-21C3.
const std::vector<uint8_t> kBase = { 0xA0, 0x0F, 60, 0, 1, 66, 140, 40, 0xE2, 0x02, 0x20, 0x03, 0x88, 122,
                                     10, 4, 171, 3, 214, 49, 12, 50, 89, 80, 0x4E, 0x7A, 0x21, 0xC3 };

// Record 4: injector type 3, PWM offset 3.5 ms, PWM 50, warming pulse 2.0 ms
// for 30 s up to 50 °C (97), injectors 1 … 8 on outputs 1 … 8, flags 0x03,
// cut-off pressure 150 kPa (163), cut-off exit 0.1 s / 1.5 s.
const std::vector<uint8_t> kAdv = { 3, 140, 50, 80, 60, 97, 0, 0, 0x01, 0x02, 0x04, 0x08, 0x10,
                                    0x20, 0x40, 0x80, 0, 0x03, 163, 4, 3, 0 };

// Record 26: inspection due at 5 112 000 LPG half-seconds (15 000 km ahead at
// 50 km/h), 7-LED console, minimum LPG speed 600 rpm (8000), averaging 20 s,
// flags 0x11 (inspection reminder, ABS 4 bar sensor), minimum LPG −10 °C (229).
const std::vector<uint8_t> kAdvancedSetup = { 0xC0, 0x00, 0x4E, 0x00, 0x01, 0x00, 0, 0, 0x40, 0x1F, 0, 40, 0x11, 0x00, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 229, 0 };

// Record 30: the "AEB 1050" level sensor as its type sets it: thresholds full
// 45, ¾ 140, ½ 180, ¼ 230, held inverted (type 1), option 1; lambda type 1, no
// second probe; 10 kΩ sensors; the temperature correction table from +6 % at
// −20 °C to −8 % at 100 °C.
const std::vector<uint8_t> kSensors = { 210, 115, 75, 25, 1, 1, 1, 0, 0, 0, 106, 105, 104, 103, 102,
                                        101, 100, 100, 100, 99, 99, 98, 98, 97, 97, 96, 95, 94, 93, 92 };

// Record 15: main corrections 1.14 1.10 1.16 1.12 1.04 1.08 1.10 1.12 ms (× 250).
const std::vector<uint8_t> kMainCorr = { 0x1D, 0x01, 0x13, 0x01, 0x22, 0x01, 0x18, 0x01,
                                         0x04, 0x01, 0x0E, 0x01, 0x13, 0x01, 0x18, 0x01 };

// Record 32: pressure corrections from +8 % at 0 to −6 % at 250 hundredths of a bar.
const std::vector<uint8_t> kPressCorr = { 108, 107, 106, 105, 104, 103, 102, 101, 100, 100, 100, 100, 100,
                                          100, 100, 99, 99, 98, 98, 97, 97, 96, 96, 95, 95, 94 };

// Record 33: automapping off, interval 2000 km (40 × 50), nothing due.
const std::vector<uint8_t> kAutomap = { 0, 0, 0, 0, 40, 0, 0, 0 };

// Record 18: OBD on, requests to 0x7DF, answers from 0x7E8, 500 kbit/s, byte 10 = 8, CAN.
const std::vector<uint8_t> kObdConnection = { 0xDF, 0x07, 0, 0, 0xE8, 0x07, 0, 0, 1, 2, 8, 3 };

// Record 27: OBD corrections off, 10 s averaging, 10 % range, all injectors
// on bank 1, neutral points 0, above 1000 rpm (period 4800), no codes.
const std::vector<uint8_t> kObdConfig = { 0, 20, 10, 0, 100, 100, 0xC0, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 };

constexpr int kCurve[39] = { 0, 0, 0, 0, 1, 2, 2, 3, 3, 3, 2, 2, 1, 1, 0, 0, 0, -1, -1, -1,
                             -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2, -2 };

constexpr double kPhysicalOffset[8] = { 1.15, 1.10, 1.18, 1.12, 1.05, 1.08, 1.10, 1.12 };

} // namespace

int fittedMapCell(int row, int column)
{
    const double hump = 4.0 * std::sin(std::numbers::pi * row / 18.0) * std::sin(std::numbers::pi * column / 14.0);
    return static_cast<int>(std::lround(hump)) + (row >= 10 && column >= 11 ? -2 : 0);
}

int fittedCurvePoint(int i)
{
    return i >= 0 && i < 39 ? kCurve[i] : 0;
}

double physicalOffsetMs(int injector)
{
    return kPhysicalOffset[injector & 7];
}

void fillFittedCar(CSimStore& store)
{
    store.writeRecord(31, kBase);
    store.writeRecord(4, kAdv);
    store.writeRecord(26, kAdvancedSetup);
    store.writeRecord(30, kSensors);
    store.writeRecord(15, kMainCorr);
    store.writeRecord(32, kPressCorr);
    store.writeRecord(33, kAutomap);
    store.writeRecord(18, kObdConnection);
    store.writeRecord(27, kObdConfig);

    std::vector<uint8_t> curve(40, 0);
    for (int i = 0; i < 39; ++i)
        curve[static_cast<std::size_t>(i)] = static_cast<uint8_t>(100 + kCurve[i]);
    store.writeRecord(7, curve);
    std::vector<uint8_t> second(40, 100);
    second[39] = 0; // table mask
    store.writeRecord(9, second);

    // Axes 2, 3 … 20 ms (× 5) and 500, 1000 … 7500 rpm (÷ 100).
    std::vector<uint8_t> axes(38, 0);
    for (int r = 0; r < CSimStore::kMapRows; ++r)
        axes[static_cast<std::size_t>(r)] = static_cast<uint8_t>((2 + r) * 5);
    for (int c = 0; c < CSimStore::kMapColumns; ++c)
        axes[static_cast<std::size_t>(19 + c)] = static_cast<uint8_t>(5 * (c + 1));
    store.writeRecord(34, axes);

    for (int r = 0; r < CSimStore::kMapRows; ++r)
        for (int c = 0; c < CSimStore::kMapColumns; ++c)
            store.setMapCell(r, c, fittedMapCell(r, c));
    store.memory()[CSimStore::kMapPageAddress + 285] = 0;
    store.sealMapPage();

    store.statPetrol = 252000; // 35 h
    store.statLpg = 2952000; // 410 h
    store.statModify = 23;
    store.errors = { 0, 0, 0, 0 };
    store.dtcs = { 0x0171, 0x0300, 0x0420 };
}

void setAllMainCorrections(CSimStore& store, double ms)
{
    const auto word = static_cast<uint16_t>(static_cast<int16_t>(std::lround(ms / 0.004)));
    std::vector<uint8_t> record(16, 0);
    for (std::size_t i = 0; i < 8; ++i) {
        record[2 * i] = static_cast<uint8_t>(word & 0xFF);
        record[2 * i + 1] = static_cast<uint8_t>(word >> 8);
    }
    store.writeRecord(15, record);
}
