// SPDX-License-Identifier: GPL-3.0-or-later
// Typed values and undo of the map grid. A change that is one block moved by
// one amount goes as a region step (record 13 and 0x13: no restart); any
// other change is the whole map page, which the write path wraps with petrol
// and a restart, so the fitter is asked before it goes.
#include <app/tuning/mapmodel.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <cmath>
#include <optional>

namespace {

const wchar_t* const kMapWriteFailed = L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!";
const wchar_t* const kMapReadFailed = L"Nie powiodło się odczytanie ustawień urządzenia!";
const wchar_t* const kWholeMapAsk
    = L"Zaznaczone komórki mają różne wartości, więc zostanie wpisana cała mapa: sterownik przełączy się na "
      L"benzynę i uruchomi się ponownie. Kontynuować?";
const wchar_t* const kUndoWholeAsk
    = L"Ta zmiana zostanie wpisana jako cała mapa: sterownik przełączy się na benzynę i uruchomi się ponownie. "
      L"Kontynuować?";
const wchar_t* const kUndoRefused
    = L"Nie można cofnąć tej zmiany: mapa w sterowniku nie ma już wartości, które ta zmiana pozostawiła.";
const wchar_t* const kAxisRefused = L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:";
const wchar_t* const kAxesWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";
const wchar_t* const kRedoRefused
    = L"Nie można powtórzyć tej zmiany: mapa w sterowniku nie ma już wartości sprzed jej cofnięcia.";

// Breakpoint texts are digits and a point.
std::wstring ascii(const std::string& text)
{
    return { text.begin(), text.end() };
}

} // namespace

CMapModel::WriteOutcome CMapModel::setSelectedTo(int value)
{
    const auto rect = selectionRect();
    if (!rect)
        return WriteOutcome::Nothing;
    MapValues wanted = m_value;
    const int v = static_cast<int>(clampCell(value));
    for (int c = rect->c1; c <= rect->c2; ++c)
        for (int r = rect->r1; r <= rect->r2; ++r)
            if (m_selected[c][r])
                wanted[c][r] = v;
    const MapValues before = m_value;
    const WriteOutcome outcome = writeCells(wanted, kWholeMapAsk);
    if (outcome == WriteOutcome::Done)
        remember(before);
    return outcome;
}

CMapModel::WriteOutcome CMapModel::writeCells(const MapValues& wanted, const wchar_t* askWhole)
{
    std::optional<MapRect> box;
    int delta = 0;
    int changed = 0;
    bool uniform = true;
    for (int c = 0; c < kMapCols; ++c)
        for (int r = 0; r < kMapRows; ++r) {
            const int d = wanted[c][r] - m_value[c][r];
            if (d == 0)
                continue;
            if (!box) {
                box = MapRect { c, r, c, r };
                delta = d;
            }
            uniform = uniform && d == delta;
            box = MapRect { std::min(box->c1, c), std::min(box->r1, r), std::max(box->c2, c), std::max(box->r2, r) };
            ++changed;
        }
    if (!box)
        return WriteOutcome::Nothing;
    if (!connected()) {
        restoreValues(wanted);
        return WriteOutcome::Done;
    }
    const bool oneStep = uniform && box->columns() * box->rows() == changed;
    if (!oneStep) {
        if (askWhole && !userInteraction().question(translate(askWhole), L"KORVANA", MsgIcon::Question, false))
            return WriteOutcome::Cancelled;
        return sendTable(wanted) ? WriteOutcome::Done : WriteOutcome::Failed;
    }
    // The controller adds the amount to every cell of the region: whole percent within the limits, no clamping.
    const MapRegionRecord region = mapEditRegion({ box->c1, box->r1 }, box->rows(), box->columns(), 0, delta);
    logInfo("map", "cells set as a region step of " + std::to_string(delta));
    CWaitCursor wait;
    bool acknowledged = false;
    try {
        CWriteSession session(*m_device, L"CMapArray::setSelected()");
        if (!session.require(CReadBlocks::InjMap)) {
            userInteraction().message(session.report().text(), L"KORVANA", MsgIcon::Error);
            return WriteOutcome::Refused;
        }
        acknowledged = session.mapStep(region);
    } catch (IError* e) {
        CErrorGuard error(e);
        userInteraction().message(L"CMapArray::setSelected()\n" + error.format(), L"KORVANA", MsgIcon::Error);
        return WriteOutcome::Failed;
    }
    if (!acknowledged) {
        logWarning("map", "region step not acknowledged");
        userInteraction().message(translate(kMapWriteFailed), L"KORVANA", MsgIcon::Error);
        return WriteOutcome::Failed;
    }
    applyStepToImage(region);
    restoreValues(wanted);
    return WriteOutcome::Done;
}

void CMapModel::remember(const MapValues& before)
{
    if (before == m_value)
        return;
    EditRecord edit;
    edit.before = before;
    edit.after = m_value;
    push(edit);
}

void CMapModel::push(const EditRecord& edit)
{
    m_undo.push_back(edit);
    if (m_undo.size() > kUndoDepth)
        m_undo.erase(m_undo.begin());
    m_redo.clear();
}

CMapModel::WriteOutcome CMapModel::undo()
{
    return replay(m_undo, m_redo, false);
}

CMapModel::WriteOutcome CMapModel::redo()
{
    return replay(m_redo, m_undo, true);
}

CMapModel::WriteOutcome CMapModel::replay(std::vector<EditRecord>& from, std::vector<EditRecord>& to, bool forward)
{
    if (from.empty())
        return WriteOutcome::Nothing;
    const EditRecord edit = from.back();
    if (edit.axes) {
        const WriteOutcome outcome = replayAxes(edit, forward);
        if (outcome == WriteOutcome::Done) {
            from.pop_back();
            to.push_back(edit);
        } else if (outcome == WriteOutcome::Refused) {
            from.pop_back();
        }
        return outcome;
    }
    const MapValues& expected = forward ? edit.before : edit.after;
    const MapValues& wanted = forward ? edit.after : edit.before;
    if (connected()) {
        // The controller may have changed since (another program, a restore): what it holds now decides.
        bool read = false;
        try {
            CWaitCursor wait;
            read = m_device->readBlock(CReadBlocks::InjMap);
        } catch (IError* e) {
            CErrorGuard error(e);
            userInteraction().message(L"CMapArray::undo()\n" + error.format(), L"KORVANA", MsgIcon::Error);
            return WriteOutcome::Failed;
        }
        if (!read) {
            userInteraction().message(translate(kMapReadFailed), L"KORVANA", MsgIcon::Error);
            return WriteOutcome::Failed;
        }
        refresh();
        if (m_value != expected) {
            logInfo("map", forward ? "redo refused: the controller's map changed" : "undo refused: the controller's map changed");
            from.pop_back();
            userInteraction().message(translate(forward ? kRedoRefused : kUndoRefused) + L"\n" + heldCell(expected),
                                      L"KORVANA", MsgIcon::Error);
            return WriteOutcome::Refused;
        }
    } else if (m_value != expected) {
        from.pop_back();
        return WriteOutcome::Refused;
    }
    const WriteOutcome outcome = writeCells(wanted, kUndoWholeAsk);
    if (outcome == WriteOutcome::Done || outcome == WriteOutcome::Nothing) {
        from.pop_back();
        to.push_back(edit);
    }
    return outcome;
}

std::wstring CMapModel::heldCell(const MapValues& expected) const
{
    for (int r = 0; r < kMapRows; ++r)
        for (int c = 0; c < kMapCols; ++c)
            if (m_value[c][r] != expected[c][r])
                return ascii(timeText(m_time[r])) + L" ms, " + ascii(rpmText(m_rpm[c])) + L" " + translate(L"obr/min")
                    + L": " + std::to_wstring(m_value[c][r]) + L" %";
    return {};
}

CMapModel::WriteOutcome CMapModel::replayAxes(const EditRecord& edit, bool forward)
{
    const TimeAxis& timeExpected = forward ? edit.timeBefore : edit.timeAfter;
    const RpmAxis& rpmExpected = forward ? edit.rpmBefore : edit.rpmAfter;
    const auto same = [](const auto& a, const auto& b) {
        for (std::size_t i = 0; i < a.size(); ++i)
            if (std::fabs(a[i] - b[i]) > 1e-6)
                return false;
        return true;
    };
    if (!connected()) {
        if (!same(m_time, timeExpected) || !same(m_rpm, rpmExpected))
            return WriteOutcome::Refused;
        m_time = forward ? edit.timeAfter : edit.timeBefore;
        m_rpm = forward ? edit.rpmAfter : edit.rpmBefore;
        return WriteOutcome::Done;
    }
    auto& map = m_device->liveImage().m_corrMap;
    CWaitCursor wait;
    try {
        // The controller may have changed since: what it holds now decides.
        if (!m_device->readBlock(CReadBlocks::MapAxes)) {
            userInteraction().message(translate(kMapReadFailed), L"KORVANA", MsgIcon::Error);
            return WriteOutcome::Failed;
        }
        m_time = map.m_injTimeAxis;
        m_rpm = map.m_rpmAxis;
        const auto differs = [&](const auto& held, const auto& expected, const wchar_t* unit, auto text) {
            for (std::size_t i = 0; i < held.size(); ++i)
                if (std::fabs(held[i] - expected[i]) > 1e-6)
                    return std::optional<std::wstring>(translate(unit) + L" " + std::to_wstring(i + 1) + L": "
                                                       + ascii(text(held[i])));
            return std::optional<std::wstring>();
        };
        auto held = differs(map.m_injTimeAxis, timeExpected, L"ms", timeText);
        if (!held)
            held = differs(map.m_rpmAxis, rpmExpected, L"obr/min", rpmText);
        if (held) {
            logInfo("map", forward ? "axes redo refused: the controller holds another breakpoint"
                                   : "axes undo refused: the controller holds another breakpoint");
            userInteraction().message(translate(kAxisRefused) + L"\n" + *held, L"KORVANA", MsgIcon::Warning);
            return WriteOutcome::Refused;
        }
        map.m_injTimeAxis = forward ? edit.timeAfter : edit.timeBefore;
        map.m_rpmAxis = forward ? edit.rpmAfter : edit.rpmBefore;
        CWriteSession session(*m_device, L"CMapArray::undo()");
        if (!session.write(CReadBlocks::MapAxes)) {
            map.m_injTimeAxis = m_time;
            map.m_rpmAxis = m_rpm;
            const CWriteReport& report = session.finish();
            userInteraction().message(report.outcome == CWriteReport::Outcome::Refused ? report.text()
                                                                                        : translate(kAxesWriteFailed),
                                      L"KORVANA", MsgIcon::Error);
            return WriteOutcome::Failed;
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        userInteraction().message(L"CMapArray::undo()\n" + error.format(), L"KORVANA", MsgIcon::Error);
        return WriteOutcome::Failed;
    }
    m_time = map.m_injTimeAxis;
    m_rpm = map.m_rpmAxis;
    return WriteOutcome::Done;
}
