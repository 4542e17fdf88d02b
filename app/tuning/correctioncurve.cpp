// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/correctioncurve.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/userinteraction.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace correctioncurve {

namespace {

// A table's two accessors, changing and reading, from one that names the curve.
template <auto Curve>
CCurveTable curveTable(CReadBlocks::Block block, const wchar_t* writer)
{
    return { block, [](CSettingsImage& image) { return std::span<double>(Curve(image)); },
        [](const CSettingsImage& image) { return std::span<const double>(Curve(image)); }, writer };
}

} // namespace

const CCurveTable& automapping()
{
    static const CCurveTable table
        = curveTable<[](auto& image) -> auto& { return image.m_setupTimes1; }>(CReadBlocks::SetupTimes1, L"CAutomapping");
    return table;
}

const CCurveTable& temperature()
{
    static const CCurveTable table = curveTable<[](auto& image) -> auto& { return image.m_sensorsSetup.m_temprCorr; }>(
        CReadBlocks::SensorsSetup, L"CCorTempDlg");
    return table;
}

const CCurveTable& pressure()
{
    static const CCurveTable table = curveTable<[](auto& image) -> auto& { return image.m_sensorsSetup.m_pressCorr; }>(
        CReadBlocks::PressCorr, L"CCorPressDlg");
    return table;
}

bool write(CLPGDevice& device, const CCurveTable& table, std::span<const double> values)
{
    if (!device.isConnected())
        return false;
    CWaitCursor wait;
    CSettingsImage& image = device.liveImage();
    const std::span<double> stored = table.values(image);
    for (std::size_t i = 0; i < stored.size() && i < values.size(); ++i)
        stored[i] = std::trunc(values[i]);
    if (table.block == CReadBlocks::SetupTimes1)
        image.m_tableMask = 0; // the curve goes whole, not per cell
    const CWriteReport report = CWriteSession::writeBlocks(device, table.writer, { table.block });
    if (report.outcome == CWriteReport::Outcome::Refused)
        userInteraction().message(report.text(), L"KORVANA", MsgIcon::Error);
    else if (!report.ok())
        userInteraction().message(
            translate(L"Nie powiodło się wpisanie ustawień do urządzenia!"), L"KORVANA", MsgIcon::Error);
    return report.ok();
}

bool shift(CLPGDevice& device, const CCurveTable& table, int step)
{
    if (!device.isConnected())
        return false;
    const std::span<double> stored = table.values(device.liveImage());
    std::vector<double> values(stored.begin(), stored.end());
    for (double& v : values)
        v = std::clamp(v + step, -kLimit, kLimit);
    return write(device, table, values);
}

bool clear(CLPGDevice& device, const CCurveTable& table)
{
    const std::vector<double> zeros(table.values(device.liveImage()).size(), 0.0);
    return write(device, table, zeros);
}

CBlockUndo::Table undoTable(const CCurveTable& table, std::function<std::wstring(std::size_t, double)> describe)
{
    CBlockUndo::Table t;
    t.block = table.block;
    const auto values = table.values;
    t.get = [table](const CLPGDevice& device) {
        const std::span<const double> held = table.read(device.liveImage());
        return CBlockUndo::Values(held.begin(), held.end());
    };
    const bool setupTimes = table.block == CReadBlocks::SetupTimes1;
    t.set = [values, setupTimes](CLPGDevice& device, const CBlockUndo::Values& wanted) {
        const std::span<double> stored = values(device.liveImage());
        std::copy_n(wanted.begin(), std::min(wanted.size(), stored.size()), stored.begin());
        if (setupTimes)
            device.liveImage().m_tableMask = 0; // the curve goes whole, as its edits write it
    };
    t.describe = std::move(describe);
    t.handler = table.writer;
    return t;
}

} // namespace correctioncurve
