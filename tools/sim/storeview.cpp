// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/storeview.h>

#include <tools/sim/simbytes.h>

#include <algorithm>
#include <cmath>

namespace {

// Index i and fraction f so that value lies between axis[i] and axis[i + 1].
void locate(const double* axis, int n, double value, int& i, double& f)
{
    if (value <= axis[0]) {
        i = 0;
        f = 0;
        return;
    }
    for (i = 0; i < n - 1; ++i) {
        if (value < axis[i + 1]) {
            const double span = axis[i + 1] - axis[i];
            f = span > 0 ? (value - axis[i]) / span : 0;
            return;
        }
    }
    i = n - 2;
    f = 1;
}

double pageCell(const void* context, int row, int column)
{
    return static_cast<const CSimStore*>(context)->mapCell(row, column);
}

} // namespace

double bilinear(const double* timeAxis, const double* rpmAxis, double (*cell)(const void*, int, int),
                const void* context, double petrolMs, double rpm)
{
    int r = 0;
    int c = 0;
    double fr = 0;
    double fc = 0;
    locate(timeAxis, CSimStore::kMapRows, petrolMs, r, fr);
    locate(rpmAxis, CSimStore::kMapColumns, rpm, c, fc);
    const double top = cell(context, r, c) * (1 - fc) + cell(context, r, c + 1) * fc;
    const double bottom = cell(context, r + 1, c) * (1 - fc) + cell(context, r + 1, c + 1) * fc;
    return top * (1 - fr) + bottom * fr;
}

int CStoreView::injectors() const
{
    return std::clamp<int>(m_store.identity.injectors, 1, 8);
}

uint8_t CStoreView::fullMask() const
{
    return static_cast<uint8_t>((1u << injectors()) - 1u);
}

double CStoreView::switchRpm() const
{
    const uint16_t period = getU16(m_store.record(31), 0);
    return period == 0 ? 1e9 : 4800000.0 / period;
}

uint8_t CStoreView::switchTemprByte() const
{
    return m_store.record(31)[6];
}

double CStoreView::switchDelaySeconds() const
{
    return m_store.record(31)[7] >> 1;
}

double CStoreView::emulatorDelaySeconds() const
{
    return m_store.record(31)[20] * 0.025;
}

uint8_t CStoreView::pressureRefByte() const
{
    return m_store.record(31)[13];
}

bool CStoreView::valveOnlyOnLpg() const
{
    return (m_store.record(31)[12] & 0x80) != 0;
}

int CStoreView::engineSensorColumn() const
{
    return m_store.record(30)[8] & 3;
}

int CStoreView::lpgSensorColumn() const
{
    return m_store.record(30)[9] & 3;
}

std::array<int, 4> CStoreView::levelThresholds() const
{
    const auto& r = m_store.record(30);
    std::array<int, 4> t {};
    for (std::size_t i = 0; i < 4; ++i)
        t[i] = r[4] == 1 ? 255 - r[i] : r[i];
    return t;
}

double CStoreView::mainCorrection(int injector) const
{
    const auto raw = static_cast<int16_t>(getU16(m_store.record(15), 2 * static_cast<std::size_t>(injector & 7)));
    return raw * 0.004;
}

double CStoreView::mapPercent(double petrolMs, double rpm) const
{
    if (!m_store.mapPageValid())
        return 0;
    const auto& axes = m_store.record(34);
    double timeAxis[CSimStore::kMapRows];
    double rpmAxis[CSimStore::kMapColumns];
    for (int r = 0; r < CSimStore::kMapRows; ++r)
        timeAxis[r] = axes[static_cast<std::size_t>(r)] / 5.0;
    for (int c = 0; c < CSimStore::kMapColumns; ++c)
        rpmAxis[c] = axes[static_cast<std::size_t>(19 + c)] * 100.0;
    return bilinear(timeAxis, rpmAxis, pageCell, &m_store, petrolMs, rpm);
}

double CStoreView::curvePercent(double petrolMs) const
{
    const auto& curve = m_store.record(7);
    const double x = std::clamp((petrolMs - 1.0) / 0.5, 0.0, 38.0);
    const auto i = static_cast<std::size_t>(std::min(37.0, std::floor(x)));
    const double f = x - static_cast<double>(i);
    return (curve[i] - 100) * (1 - f) + (curve[i + 1] - 100) * f;
}

bool CStoreView::absoluteManifoldSensor() const
{
    return m_store.identity.version >= 0x250 && (m_store.record(26)[12] & 0x10) != 0;
}

bool CStoreView::obdCorrectionsOn() const
{
    return m_store.record(27)[0] != 0;
}

double CStoreView::obdAveragingSeconds() const
{
    return std::max(0.5, m_store.record(27)[1] / 2.0);
}

double CStoreView::obdMaxCorrection() const
{
    return m_store.record(27)[2];
}

double CStoreView::obdMinRpm() const
{
    const uint16_t period = getU16(m_store.record(27), 6);
    return period == 0 ? 0 : 4800000.0 / period;
}
