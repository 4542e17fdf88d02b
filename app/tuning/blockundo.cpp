// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/blockundo.h>

#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <cmath>

namespace {

const wchar_t* const kReadFailed = L"Nie powiodło się odczytanie ustawień urządzenia!";
const wchar_t* const kRefused = L"Nie można cofnąć tej zmiany: sterownik ma już inną wartość:";
const wchar_t* const kWriteFailed = L"Nie powiodło się wpisanie ustawień do urządzenia!";

// The image keeps what the controller's bytes give back: a hair of tolerance for the conversions.
std::size_t firstDifference(const CBlockUndo::Values& a, const CBlockUndo::Values& b)
{
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (std::fabs(a[i] - b[i]) > 1e-6)
            return i;
    return a.size() == b.size() ? a.size() : std::min(a.size(), b.size());
}

} // namespace

CBlockUndo::CBlockUndo(CLPGDevice& device, Table table)
    : m_device(device)
    , m_table(std::move(table))
{
}

void CBlockUndo::begin()
{
    m_started = m_table.get(m_device);
}

void CBlockUndo::commit()
{
    Values now = m_table.get(m_device);
    if (m_started.empty() || firstDifference(m_started, now) == now.size()) {
        m_started.clear();
        return;
    }
    m_undo.push_back({ std::move(m_started), std::move(now) });
    if (m_undo.size() > kDepth)
        m_undo.erase(m_undo.begin());
    m_redo.clear();
    m_started.clear();
}

CBlockUndo::Outcome CBlockUndo::undo()
{
    return replay(m_undo, m_redo, false);
}

CBlockUndo::Outcome CBlockUndo::redo()
{
    return replay(m_redo, m_undo, true);
}

CBlockUndo::Outcome CBlockUndo::replay(std::vector<Edit>& from, std::vector<Edit>& to, bool forward)
{
    if (from.empty() || !m_device.isConnected())
        return Outcome::Nothing;
    const Edit edit = from.back();
    const Values& expected = forward ? edit.before : edit.after;
    const Values& wanted = forward ? edit.after : edit.before;
    try {
        CWaitCursor wait;
        // Another program may have changed the table since: what the controller holds now decides.
        if (!m_device.readBlock(m_table.block)) {
            userInteraction().message(translate(kReadFailed), L"KORVANA", MsgIcon::Error);
            return Outcome::Failed;
        }
        m_device.events().imageChanged(settingBlock(m_table.block).imageBlock);
        const Values held = m_table.get(m_device);
        const std::size_t changed = firstDifference(held, expected);
        if (changed != held.size()) {
            logInfo("undo", forward ? "redo refused: the controller holds another value"
                                    : "undo refused: the controller holds another value");
            from.pop_back();
            userInteraction().message(translate(kRefused) + L"\n" + m_table.describe(changed, held[changed]),
                                      L"KORVANA", MsgIcon::Warning);
            return Outcome::Refused;
        }
        m_table.set(m_device, wanted);
        const CWriteReport report = CWriteSession::writeBlocks(m_device, m_table.handler, { m_table.block });
        m_device.events().imageChanged(settingBlock(m_table.block).imageBlock);
        if (!report.ok()) {
            report.show(kWriteFailed);
            return Outcome::Failed;
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        userInteraction().message(std::wstring(m_table.handler) + L"\n" + error.format(), L"KORVANA",
                                  MsgIcon::Error);
        return Outcome::Failed;
    }
    from.pop_back();
    to.push_back(edit);
    return Outcome::Done;
}
