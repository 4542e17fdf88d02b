// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/mapmodel.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <app/tuning/mapcsv.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <cmath>

namespace {

const wchar_t* const kMapWriteFailed = L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!";
const wchar_t* const kAxesWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";

void showError(const std::wstring& text)
{
    userInteraction().message(translate(text), L"KORVANA", MsgIcon::Error);
}

} // namespace

OperatingPoint operatingPointOf(const CDiag& record, int injCount)
{
    OperatingPoint point;
    point.rpm = record.rpm();
    const int slots = std::clamp(2 * injCount, 0, 16);
    for (int i = 0; i < slots; ++i)
        point.timeMs = std::max(point.timeMs, roundToWhole(record.petrolTime(i) * 100) / 100);
    return point;
}

MapRegionRecord mapEditRegion(MapCell first, int rowExtent, int columnExtent, int margin, int delta)
{
    int row = first.row - margin;
    int column = first.column - margin;
    int rows = rowExtent + 2 * margin;
    int columns = columnExtent + 2 * margin;
    if (row < 0) {
        rows += row;
        row = 0;
    }
    if (column < 0) {
        columns += column;
        column = 0;
    }
    rows = std::clamp(rows, 0, kMapRows - row);
    columns = std::clamp(columns, 0, kMapCols - column);
    const int amount = std::min(std::abs(delta), 255);
    return { static_cast<uint8_t>(row),     static_cast<uint8_t>(column),          static_cast<uint8_t>(rows),
             static_cast<uint8_t>(columns), static_cast<uint8_t>(delta > 0 ? 2 : 3), static_cast<uint8_t>(amount) };
}

CMapModel::CMapModel(CLPGDevice* device)
    : m_device(device)
{
    for (auto& column : m_background)
        column.fill(kMapGrey);
    const CSettingsImage defaults;
    m_time = defaults.m_corrMap.m_injTimeAxis;
    m_rpm = defaults.m_corrMap.m_rpmAxis;
}

bool CMapModel::connected() const
{
    return m_device && m_device->isConnected();
}

void CMapModel::refresh()
{
    if (!m_device)
        return;
    const auto& map = m_device->image().m_corrMap;
    load(map.m_injMapTable, map.m_injTimeAxis, map.m_rpmAxis);
}

void CMapModel::load(const std::array<std::array<double, kMapCols>, kMapRows>& table, const TimeAxis& time,
                     const RpmAxis& rpm)
{
    m_time = time;
    m_rpm = rpm;
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            setCellValue(c, r, table[r][c]);
}

void CMapModel::setCellValue(int column, int row, double v)
{
    // The grid shows "%.0f" and reads its text back: it holds whole percent.
    m_value[column][row] = static_cast<int>(std::clamp(roundToWhole(v), -1000.0, 1000.0));
    if (m_colourMode == 1)
        m_background[column][row] = valueColour(m_value[column][row]);
}

// ---- Selection ----

void CMapModel::setSelected(int column, int row, bool selected)
{
    if (column >= 0 && column < kMapCols && row >= 0 && row < kMapRows)
        m_selected[column][row] = selected;
}

void CMapModel::selectRect(const MapRect& rect)
{
    const MapRect s { std::clamp(std::min(rect.c1, rect.c2), 0, kMapCols - 1),
                      std::clamp(std::min(rect.r1, rect.r2), 0, kMapRows - 1),
                      std::clamp(std::max(rect.c1, rect.c2), 0, kMapCols - 1),
                      std::clamp(std::max(rect.r1, rect.r2), 0, kMapRows - 1) };
    m_repeatCount = 0;
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            m_selected[c][r] = c >= s.c1 && c <= s.c2 && r >= s.r1 && r <= s.r2;
    m_anchor = { s.c1, s.r1 };
}

void CMapModel::clearSelection()
{
    m_repeatCount = 0;
    for (auto& column : m_selected)
        column.fill(false);
}

std::optional<MapCell> CMapModel::firstSelected() const
{
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            if (m_selected[c][r])
                return MapCell { c, r };
    return std::nullopt;
}

std::optional<MapCell> CMapModel::lastSelected() const
{
    for (int c = kMapCols - 1; c >= 0; --c)
        for (int r = kMapRows - 1; r >= 0; --r)
            if (m_selected[c][r])
                return MapCell { c, r };
    return std::nullopt;
}

std::optional<MapRect> CMapModel::selectionRect() const
{
    const auto first = firstSelected();
    if (!first)
        return std::nullopt;
    const auto last = lastSelected();
    return MapRect { first->column, first->row, last->column, last->row };
}

void CMapModel::selectMove(MapKey key)
{
    const auto first = firstSelected();
    if (!first)
        return;
    clearSelection();
    MapCell next = *first;
    switch (key) {
    case MapKey::Left: next.column = std::max(0, next.column - 1); break;
    case MapKey::Right: next.column = std::min(kMapCols - 1, next.column + 1); break;
    case MapKey::Up: next.row = std::max(0, next.row - 1); break;
    case MapKey::Down: next.row = std::min(kMapRows - 1, next.row + 1); break;
    }
    m_selected[next.column][next.row] = true;
    m_anchor = next;
}

void CMapModel::setBand(bool column, int index, int from, int to, bool selected)
{
    for (int i = from; i <= to; ++i) {
        if (column)
            setSelected(index, i, selected);
        else
            setSelected(i, index, selected);
    }
}

void CMapModel::selectExtend(MapKey key)
{
    m_repeatCount = 0;
    const auto rect = selectionRect();
    if (!rect)
        return;
    const auto [c1, r1, c2, r2] = *rect;
    const int ca = m_anchor.column;
    const int ra = m_anchor.row;
    // A negative anchor takes part in no comparison.
    const bool hasColumn = ca >= 0;
    const bool hasRow = ra >= 0;
    switch (key) {
    case MapKey::Left:
        if (hasColumn && ca < c2)
            setBand(true, c2, r1, r2, false);
        else if (hasColumn && ca == c2 && c1 > 0)
            setBand(true, c1 - 1, r1, r2, true);
        break;
    case MapKey::Up:
        if (hasRow && r2 > ra)
            setBand(false, r2, c1, c2, false);
        else if (hasRow && r2 == ra && r1 > 0)
            setBand(false, r1 - 1, c1, c2, true);
        break;
    case MapKey::Right:
        if (hasColumn && ca == c1 && c2 + 1 < kMapCols)
            setBand(true, c2 + 1, r1, r2, true);
        else if (hasColumn && ca > c1)
            setBand(true, c1, r1, r2, false);
        break;
    case MapKey::Down:
        if (hasRow && ra == r1 && r2 + 1 < kMapRows)
            setBand(false, r2 + 1, c1, c2, true);
        else if (hasRow && ra > r1)
            setBand(false, r1, c1, c2, false);
        break;
    }
}

// ---- Step edit ----

void CMapModel::setChangeNeighbours(bool on)
{
    m_changeNeighbours = on;
    m_repeatCount = 0;
}

void CMapModel::snapshotTo(std::array<std::array<int, kMapRows>, kMapCols>& values) const
{
    values = m_value;
}

void CMapModel::restoreValues(const std::array<std::array<int, kMapRows>, kMapCols>& values)
{
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r)
            setCellValue(c, r, values[c][r]);
}

void CMapModel::applyStepToImage(const MapRegionRecord& region)
{
    // What the controller did with the region, and nothing else: the grid may
    // show other numbers than the map (the cell means of a mapping from OBD).
    // The fitter's own edit, acknowledged: the pages see it at once.
    const int delta = region[4] == 2 ? region[5] : -region[5];
    m_device->changeImage([&region, delta](CSettingsImage& image) {
        auto& table = image.m_corrMap.m_injMapTable;
        for (int r = region[0]; r < region[0] + region[2] && r < kMapRows; ++r)
            for (int c = region[1]; c < region[1] + region[3] && c < kMapCols; ++c)
                table[r][c] = clampCell(roundToWhole(table[r][c]) + delta);
    });
}

void CMapModel::showMapWriteFailure() const
{
    showError(kMapWriteFailed);
}

CMapModel::StepResult CMapModel::incrementSelected(int delta)
{
    StepResult result;
    const auto first = firstSelected();
    if (!first || delta == 0)
        return result;
    result.changed = true;

    ++m_repeatCount;
    if ((delta > 0) != m_lastStepUp)
        m_repeatCount = 1;
    m_lastStepUp = delta > 0;

    const MapRect rect = *selectionRect();
    int margin = 0;
    if (m_changeNeighbours) {
        if (m_repeatCount % 2 == 0)
            margin = 1;
        else if (m_repeatCount % 3 == 0)
            margin = 2;
    }
    const MapRect grown { std::max(0, rect.c1 - margin), std::max(0, rect.r1 - margin),
                          std::min(kMapCols - 1, rect.c2 + margin), std::min(kMapRows - 1, rect.r2 + margin) };

    std::array<std::array<int, kMapRows>, kMapCols> before {};
    snapshotTo(before);
    for (int c = grown.c1; c <= grown.c2; ++c)
        for (int r = grown.r1; r <= grown.r2; ++r)
            if (margin > 0 || m_selected[c][r])
                setCellValue(c, r, clampCell(m_value[c][r] + delta));

    if (!connected()) {
        remember(before);
        return result;
    }

    // The extent counts along the first selected column and row from the first cell.
    int rowExtent = 0;
    while (first->row + rowExtent < kMapRows && m_selected[first->column][first->row + rowExtent])
        ++rowExtent;
    int columnExtent = 0;
    while (first->column + columnExtent < kMapCols && m_selected[first->column + columnExtent][first->row])
        ++columnExtent;
    result.region = mapEditRegion(*first, rowExtent, columnExtent, margin, delta);
    const auto& g = result.region;
    logDebug("map", "step: record 13 = " + std::to_string(g[0]) + " " + std::to_string(g[1]) + " "
                        + std::to_string(g[2]) + " " + std::to_string(g[3]) + " " + std::to_string(g[4]) + " "
                        + std::to_string(g[5]));
    CWaitCursor wait;
    try {
        CWriteSession session(*m_device, L"CMapArray::incrementSelected()");
        if (!session.require(CReadBlocks::InjMap)) {
            restoreValues(before);
            userInteraction().message(session.report().text(), L"KORVANA", MsgIcon::Error);
            return result;
        }
        result.sent = true;
        result.acknowledged = session.mapStep(result.region);
    } catch (IError* e) {
        CErrorGuard error(e);
        restoreValues(before);
        userInteraction().message(L"CMapArray::incrementSelected()\n" + error.format(), L"KORVANA", MsgIcon::Error);
        return result;
    }
    if (result.acknowledged) {
        applyStepToImage(result.region);
        remember(before);
        return result;
    }
    logWarning("map", "step edit not acknowledged");
    restoreValues(before);
    showMapWriteFailure();
    return result;
}

// ---- Axis headers ----

std::string CMapModel::commitHeaderEdit(bool rowHeader, int index, const std::string& typed)
{
    std::string oldText = rowHeader ? timeText(m_time[index]) : rpmText(m_rpm[index]);
    if (typed.find_first_not_of(" \t") == std::string::npos)
        return {};
    const auto v = parseDecimal(typed);
    if (!v)
        return oldText; // not a number: the breakpoint stays
    const double fitted = rowHeader ? fitTimeBreakpoint(m_time, index, *v) : fitRpmBreakpoint(m_rpm, index, *v);
    std::string text = rowHeader ? timeText(fitted) : rpmText(fitted);
    if (!connected())
        return text;
    auto& map = m_device->liveImage().m_corrMap;
    double& stored = rowHeader ? map.m_injTimeAxis[index] : map.m_rpmAxis[index];
    if (std::fabs(stored - fitted) < 1e-6)
        return text;
    const double previous = stored;
    EditRecord edit;
    edit.axes = true;
    edit.before = edit.after = m_value;
    edit.timeBefore = map.m_injTimeAxis;
    edit.rpmBefore = map.m_rpmAxis;
    stored = fitted;
    CWaitCursor wait;
    logInfo("map", std::string(rowHeader ? "time" : "rpm") + " breakpoint " + std::to_string(index) + " := " + text);
    CWriteSession session(*m_device, L"CMapArray::OnEndLabelEdit()");
    if (!session.write(CReadBlocks::MapAxes)) {
        stored = previous;
        const CWriteReport& report = session.finish();
        if (report.outcome == CWriteReport::Outcome::Refused)
            userInteraction().message(report.text(), L"KORVANA", MsgIcon::Error);
        else
            showError(kAxesWriteFailed);
        return rowHeader ? timeText(previous) : rpmText(previous);
    }
    (rowHeader ? m_time[index] : m_rpm[index]) = fitted;
    edit.timeAfter = map.m_injTimeAxis;
    edit.rpmAfter = map.m_rpmAxis;
    push(edit);
    return text;
}

std::string CMapModel::bodyCellText(const std::string& typed)
{
    const auto v = parseDecimal(typed);
    return v ? cellText(*v) : std::string();
}

// ---- Colours and the operating point ----

void CMapModel::setColourMode(int mode)
{
    if (mode == m_colourMode)
        return;
    m_colourMode = mode;
    if (mode == 0) {
        m_savedColour = kMapGrey;
        for (auto& column : m_background)
            column.fill(kMapGrey);
    } else {
        for (int c = 0; c < kMapCols; ++c)
            for (int r = 0; r < kMapRows; ++r)
                setCellValue(c, r, m_value[c][r]);
    }
}

void CMapModel::setDarkenStep(double step)
{
    if (step == m_darkenStep)
        return;
    m_savedColour = kMapGrey;
    for (auto& column : m_background)
        column.fill(kMapGrey);
    m_darkenStep = step;
}

void CMapModel::markOperatingPoint(double rpm, double timeMs)
{
    const MapCell cell = operatingPointCell(m_time, m_rpm, rpm, timeMs);
    if (m_current) {
        auto& bg = m_background[m_current->column][m_current->row];
        bg = m_colourMode == 1 ? valueColour(m_value[m_current->column][m_current->row]) : m_savedColour;
    }
    m_savedColour = m_background[cell.column][cell.row];
    m_current = cell;
    if (m_colourMode == 0)
        m_savedColour = darkenColour(m_savedColour, m_darkenStep);
    if (m_trail.empty() || !(m_trail.front() == cell)) {
        m_trail.push_front(cell);
        if (m_trail.size() > kTrailLength)
            m_trail.pop_back();
    }
}
