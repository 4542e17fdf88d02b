// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/writesession.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/platform/log.h>
#include <app/platform/pcid.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <atomic>
#include <exception>

namespace {

// The controller needs this long after the restart before it takes a fuel command.
constexpr unsigned kAfterRestartMs = 1000;
constexpr uint8_t kPetrol = 2;
constexpr uint8_t kSwitchPending = 1;

const volatile std::sig_atomic_t* g_interrupt = nullptr;
std::atomic<int> g_active { 0 };
CLeftChanged g_lastLeft;

std::wstring names(uint32_t blocks)
{
    std::wstring text;
    for (auto block : blocksOf(blocks)) {
        if (!text.empty())
            text += L", ";
        text += CReadBlocks::name(block);
    }
    return text;
}

void logSession(const std::wstring& operation, const std::wstring& text)
{
    logMessage(LogLevel::Info, "write", operation + L": " + text);
}

} // namespace

int CWriteReport::exitCode() const
{
    switch (outcome) {
    case Outcome::Done: return 0;
    case Outcome::Changed: return 3;
    default: return 1;
    }
}

std::wstring CWriteReport::text() const
{
    std::wstring text;
    auto line = [&text](const std::wstring& s) {
        if (!text.empty())
            text += L"\n";
        text += s;
    };
    if (!failure.empty())
        line(failure);
    if (refused)
        line(translate(L"Nie odczytano ze sterownika:") + L" " + names(refused));
    if (linkLost)
        line(translate(L"Połączenie ze sterownikiem zostało przerwane."));
    if (written)
        line(translate(L"Wpisano:") + L" " + names(written));
    if (putBack)
        line(translate(L"Przywrócono poprzednie wartości:") + L" " + names(putBack));
    if (notWritten)
        line(translate(L"Nie wpisano:") + L" " + names(notWritten));
    if (differs)
        line(translate(L"Sterownik zawiera inne wartości niż wpisane:") + L" " + names(differs));
    if (unknown)
        line(translate(L"Nie wiadomo, co zawiera sterownik:") + L" " + names(unknown));
    if (mapInvalid)
        line(translate(L"Zapis mapy został przerwany: mapa w sterowniku jest nieprawidłowa."));
    if (outcome == Outcome::Refused || outcome == Outcome::NotWritten)
        line(translate(L"Nic nie zostało wpisane do urządzenia."));
    return text;
}

void CWriteReport::show(const wchar_t* heading) const
{
    if (ok())
        return;
    const std::wstring head = outcome == Outcome::Refused ? std::wstring() : translate(heading) + L"\n";
    userInteraction().message(head + text(), L"KORVANA", MsgIcon::Error);
}

std::vector<std::wstring> CLeftChanged::describe() const
{
    std::vector<std::wstring> lines;
    if (fuelForced)
        lines.push_back(translate(backToAuto ? L"Tryb paliwa pozostał wymuszony (poprzednio: AUTO)."
                                             : L"Tryb paliwa pozostał wymuszony (poprzednio: benzyna)."));
    if (mapInvalid)
        lines.push_back(translate(L"Zapis mapy został przerwany: mapa w sterowniku jest nieprawidłowa."));
    if (blocks)
        lines.push_back(translate(L"Zmienione ustawienia:") + L" " + names(blocks));
    return lines;
}

void CWriteSession::setInterruptFlag(const volatile std::sig_atomic_t* flag)
{
    g_interrupt = flag;
}

bool CWriteSession::active()
{
    return g_active.load() > 0;
}

CWriteSession::CWriteSession(CLPGDevice& device, std::wstring operation, unsigned flags)
    : m_device(device)
    , m_operation(std::move(operation))
    , m_flags(flags)
    , m_before(device.heldImage())
    , m_heldBefore(device.readBlocks().held())
    , m_restart((flags & kRestart) != 0)
    , m_uncaught(std::uncaught_exceptions())
{
    ++g_active;
    logSession(m_operation, L"begins");
}

CWriteSession::~CWriteSession()
{
    try {
        finish();
    } catch (IError* e) {
        // The link failed while the session ended: what is left is recorded.
        logSwallowed("write", "CWriteSession::~CWriteSession", *e);
        delete e;
    }
    --g_active;
}

bool CWriteSession::require(uint32_t blocks)
{
    m_asked |= blocks;
    if (!m_device.m_connected) {
        m_report.outcome = CWriteReport::Outcome::Refused;
        m_report.failure = translate(L"Brak połączenia");
        m_failed = true;
        return false;
    }
    if (m_flags & kUnreadAllowed)
        return true;
    const uint32_t missing = blocks & ~m_device.readBlocks().held();
    if (missing == 0)
        return true;
    m_report.refused |= missing;
    m_report.outcome = CWriteReport::Outcome::Refused;
    m_failed = true;
    logSession(m_operation, L"refused: not read " + names(missing));
    return false;
}

std::wstring CWriteSession::refusedNames() const
{
    return names(m_report.refused);
}

bool CWriteSession::interrupted()
{
    if (m_failed)
        return true;
    if (g_interrupt && *g_interrupt) {
        fail(translate(L"Przerwano."));
        return true;
    }
    return false;
}

void CWriteSession::noteFuel()
{
    if (m_fuelNoted)
        return;
    m_fuelNoted = true;
    CDiag newest;
    // Nothing polled yet (the CLI, or right after connecting): ask once. During
    // a switch-over the readings say petrol whatever the car ran on, so this is
    // taken before anything forces a mode.
    const bool known = m_device.diagData().latest(newest) || m_device.readLiveData(newest) == CLPGDevice::kLiveOk;
    m_petrolBefore = known && newest.fuelState() == kPetrol && newest.switchMode() != kSwitchPending;
    logSession(m_operation, known ? L"fuel state before " + std::to_wstring(newest.fuelState()) + L", switch mode "
                                        + std::to_wstring(newest.switchMode())
                                  : std::wstring(L"fuel state before unknown"));
}

bool CWriteSession::toPetrol()
{
    if (m_onPetrol)
        return true;
    if (interrupted())
        return false;
    // The wait for petrol counts injectors times the emulator delay: from a
    // controller not read it would end before the car is off LPG.
    const uint32_t needed = CReadBlocks::DevInfo | CReadBlocks::Base;
    if (!(m_flags & kUnreadAllowed) && (m_device.readBlocks().held() & needed) != needed) {
        m_report.refused |= needed & ~m_device.readBlocks().held();
        m_report.outcome = CWriteReport::Outcome::Refused;
        m_failed = true;
        return false;
    }
    noteFuel();
    m_forced = true;
    logSession(m_operation, L"petrol and wait");
    if (!m_device.switchToPetrolAndWait()) {
        failAt(translate(L"Nie powiodło się przełączenie na benzynę!"));
        return false;
    }
    m_onPetrol = true;
    return true;
}

bool CWriteSession::sendNow(Command command, uint8_t mask)
{
    switch (command) {
    case Command::Petrol: return m_device.switchToPetrol();
    case Command::Lpg: return m_device.switchToLpg();
    case Command::Auto: return m_device.switchToAuto();
    case Command::Emulators: return m_device.command17(mask);
    case Command::Injectors: return m_device.command18(mask);
    case Command::Command13: return m_device.command13();
    case Command::Command14: return m_device.command14();
    }
    return false;
}

bool CWriteSession::send(Command command, uint8_t mask)
{
    if (m_finished || interrupted())
        return false;
    if (sendNow(command, mask))
        return true;
    failAt(translate(L"Sterownik nie przyjął polecenia."));
    return false;
}

bool CWriteSession::force(Command command, uint8_t mask)
{
    if (m_finished || interrupted())
        return false;
    noteFuel();
    m_forced = true;
    m_onPetrol = command == Command::Petrol;
    if (sendNow(command, mask))
        return true;
    failAt(translate(command == Command::Petrol ? L"Nie powiodło się przełączenie na benzynę!"
                                                : L"Nie powiodło się przełączenie na LPG!"));
    return false;
}

bool CWriteSession::mapStep(const std::array<uint8_t, 6>& region)
{
    return step(translate(L"Nie powiodło się wpisanie mapy wtrysków do urządzenia!"),
                [&] { return m_device.writeRecord13(region) && m_device.command13(); });
}

bool CWriteSession::clearChartMap(bool lpg)
{
    return step(translate(L"Sterownik nie przyjął polecenia."),
                [&] { return lpg ? m_device.clearLpgMap() : m_device.clearPetrolMap(); });
}

bool CWriteSession::writeObdSettings(const std::array<uint8_t, 12>& record)
{
    return step(translate(L"Nie powiodło się ustawienie urządzenia!"), [&] { return m_device.writeObdSettings(record); });
}

bool CWriteSession::writeObdMapConfig(const std::array<uint8_t, 18>& record)
{
    return step(translate(L"Nie powiodło się ustawienie urządzenia!"),
                [&] { return m_device.writeObdMapConfig(record); });
}

bool CWriteSession::write(std::initializer_list<CReadBlocks::Block> blocks)
{
    for (auto block : blocks)
        if (!write(block))
            return false;
    return true;
}

bool CWriteSession::write(CReadBlocks::Block block)
{
    if (m_finished || interrupted())
        return false;
    if (!require(block) || !historyBefore())
        return false;
    if ((m_flags & kSkipUnchanged) && m_device.readBlocks().has(block)) {
        const auto wanted = blockBytes(block, m_device.liveImage());
        const auto held = blockBytes(block, m_device.heldImage());
        if (wanted == held) {
            m_skipped |= block;
            logSession(m_operation, std::wstring(L"held already: ") + CReadBlocks::name(block));
            return true;
        }
        const auto at = std::mismatch(wanted.begin(), wanted.end(), held.begin(), held.end()).first - wanted.begin();
        logSession(m_operation, std::wstring(CReadBlocks::name(block)) + L" differs from byte "
                                    + std::to_wstring(at) + L" on");
    }
    const bool map = block == CReadBlocks::InjMap;
    if (map) {
        m_restart = true;
        m_mapStarted = true;
    }
    if (((m_flags & kPetrolWrap) || map) && !toPetrol())
        return false;
    if (!writeBlock(block))
        return false;
    if (map)
        m_mapDone = true;
    return true;
}

bool CWriteSession::writeBlock(CReadBlocks::Block block)
{
    // What this write sends, as the controller would hold it (the base block carries this PC's identifier).
    CSettingsImage sending = m_device.liveImage();
    if (block == CReadBlocks::Base)
        if (const auto id = pcIdentifier())
            sending.m_base.m_pcId = *id;
    std::vector<uint8_t> sent = blockBytes(block, sending);
    if (!m_device.writeBlock(block)) {
        // A write that was not acknowledged may still have arrived.
        m_writes.emplace_back(block, std::move(sent));
        m_unacknowledged |= block;
        failAt(translate(L"Nie powiódł się zapis:") + L" " + CReadBlocks::name(block));
        return false;
    }
    m_writes.emplace_back(block, blockBytes(block, m_device.liveImage()));
    logSession(m_operation, std::wstring(L"write ") + CReadBlocks::name(block) + L" acknowledged");
    if ((m_flags & kNoReadBack) || m_device.m_demo)
        return true;
    const int state = readBackState(block, m_writes.back().second);
    if (state != 1) {
        failAt(translate(state < 0 ? L"Odczyt kontrolny nie powiódł się:"
                                   : L"Sterownik zawiera inne wartości niż wpisane:")
               + L" " + CReadBlocks::name(block));
        return false;
    }
    return true;
}

int CWriteSession::readBackState(CReadBlocks::Block block, const std::vector<uint8_t>& written)
{
    CSettingsImage expected = m_device.liveImage();
    if (!decodeBlockBytes(block, written, expected))
        return -1;
    if (!m_device.readBlock(block))
        return -1;
    if (sameBlock(block, expected, m_device.liveImage()))
        return 1;
    CSettingsImage before = m_device.liveImage();
    if (decodeBlockBytes(block, blockBytes(block, m_before), before) && sameBlock(block, before, m_device.liveImage()))
        return 0;
    return 2;
}

bool CWriteSession::restart()
{
    if (m_finished || interrupted())
        return false;
    noteFuel();
    m_forced = true;
    logSession(m_operation, L"restart on petrol");
    if (!m_device.command0AOnPetrol()) {
        failAt(translate(L"Nie powiódł się restart sterownika."));
        return false;
    }
    m_onPetrol = true;
    m_restart = false;
    userInteraction().sleep(kAfterRestartMs);
    return true;
}

bool CWriteSession::step(const std::wstring& what, const std::function<bool()>& run)
{
    if (m_finished || interrupted() || !historyBefore())
        return false;
    if (run())
        return true;
    failAt(what);
    return false;
}

void CWriteSession::fail(const std::wstring& why)
{
    if (m_failed && !m_report.failure.empty())
        return;
    failAt(why);
}

void CWriteSession::failAt(const std::wstring& what)
{
    m_failed = true;
    if (m_report.failure.empty())
        m_report.failure = what;
    logSession(m_operation, L"failed: " + what);
    // Silence means the controller is gone: nothing more is tried, what is
    // left is kept for when the link returns.
    if (!m_device.m_demo && CDeviceLink::lastAttemptsSilent()) {
        m_report.linkLost = true;
        return;
    }
    if (!(m_flags & kCallerRecovers))
        putBack();
}

void CWriteSession::putBack()
{
    for (auto it = m_writes.rbegin(); it != m_writes.rend(); ++it) {
        const CReadBlocks::Block block = it->first;
        const uint32_t bit = block;
        if ((m_report.putBack | m_report.unknown) & bit)
            continue;
        if (!(m_heldBefore & bit)) {
            // Never read: there is nothing to put back (a factory restore of a controller that would not read).
            continue;
        }
        const int state = readBackState(block, it->second);
        if (state == 0) {
            m_unchanged |= bit; // a write that was not taken
            continue;
        }
        if (CDeviceLink::lastAttemptsSilent() && state < 0) {
            m_report.linkLost = true;
            return;
        }
        // A third value was read back: the controller holds it, not what was written.
        if (state == 2 && block != CReadBlocks::InjMap) {
            m_report.differs |= bit;
            continue;
        }
        // A map page cut off half-way holds neither: its checksum is wrong and
        // the controller doses nothing from it, so it is always put back.
        if (state < 0 && block != CReadBlocks::InjMap) {
            m_report.unknown |= bit;
            continue;
        }
        if (block == CReadBlocks::InjMap && !m_onPetrol && !toPetrolForPutBack())
            return;
        copyBlock(block, m_before, m_device.liveImage());
        // What the put-back sends (the base block with this PC's identifier) is what must read back.
        if (m_device.writeBlock(block) && readBackState(block, blockBytes(block, m_device.liveImage())) == 1) {
            m_report.putBack |= bit;
            logSession(m_operation, std::wstring(L"put back ") + CReadBlocks::name(block));
        } else {
            m_report.unknown |= bit;
            if (CDeviceLink::lastAttemptsSilent()) {
                m_report.linkLost = true;
                return;
            }
        }
    }
}

bool CWriteSession::toPetrolForPutBack()
{
    noteFuel();
    m_forced = true;
    m_onPetrol = m_device.switchToPetrolAndWait();
    return m_onPetrol;
}

void CWriteSession::keepLeftChanged()
{
    CLeftChanged& left = m_device.leftChanged();
    if (left.empty())
        left.before = m_before;
    left.operation = m_operation;
    left.fuelForced = left.fuelForced || m_forced;
    left.backToAuto = !m_petrolBefore;
    for (const auto& [block, bytes] : m_writes) {
        if ((m_report.putBack & block) || (left.blocks & block))
            continue;
        left.blocks |= block;
        copyBlock(block, m_before, left.before);
    }
    left.mapInvalid = left.mapInvalid || m_report.mapInvalid;
    g_lastLeft = left;
    for (const auto& line : left.describe())
        logSession(m_operation, L"left changed: " + line);
}

const CWriteReport& CWriteSession::finish()
{
    if (m_finished)
        return m_report;
    m_finished = true;
    if (std::uncaught_exceptions() > m_uncaught) {
        m_failed = true;
        m_report.linkLost = true;
        if (m_report.failure.empty())
            m_report.failure = translate(L"Połączenie ze sterownikiem zostało przerwane.");
    }
    const bool sentSomething = !m_writes.empty() || m_forced;
    if (m_report.linkLost) {
        if (m_mapStarted && !m_mapDone && !(m_report.putBack & CReadBlocks::InjMap))
            m_report.mapInvalid = true;
        if (!(m_flags & kCallerRecovers))
            keepLeftChanged();
    } else {
        if (m_restart && !m_writes.empty()) {
            logSession(m_operation, L"restart on petrol");
            if (!m_device.command0AOnPetrol()) {
                m_failed = true;
                if (m_report.failure.empty())
                    m_report.failure = translate(L"Nie powiódł się restart sterownika.");
            } else {
                userInteraction().sleep(kAfterRestartMs);
            }
        }
        if (m_forced && !(m_flags & kCallerRecovers)) {
            if (!m_petrolBefore) {
                logSession(m_operation, L"back to automatic mode");
                m_device.switchToAuto();
            } else if (!m_onPetrol) {
                // The car ran on petrol before and a cylinder was forced onto LPG.
                logSession(m_operation, L"back to petrol");
                m_device.switchToPetrol();
            } else {
                logSession(m_operation, L"the car stays on petrol");
            }
        }
    }

    // What each block holds now. A write cut off by the lost link may or may not have arrived.
    if (m_report.linkLost)
        m_report.unknown |= m_unacknowledged & ~m_unchanged;
    uint32_t written = 0;
    for (const auto& [block, bytes] : m_writes)
        written |= block;
    written &= ~(m_report.putBack | m_report.unknown | m_report.differs | m_unchanged);
    m_report.written = written;
    m_report.notWritten
        = m_asked & ~(written | m_report.putBack | m_report.unknown | m_report.differs | m_report.refused | m_skipped);
    if (m_report.outcome != CWriteReport::Outcome::Refused) {
        if (!m_failed)
            m_report.outcome = CWriteReport::Outcome::Done;
        else if (written || m_report.unknown || m_report.differs || m_report.mapInvalid
                 || (m_report.linkLost && m_forced))
            m_report.outcome = CWriteReport::Outcome::Changed;
        else
            m_report.outcome = CWriteReport::Outcome::NotWritten;
    } else if (written) {
        m_report.outcome = CWriteReport::Outcome::Changed;
    }
    if (m_failed) {
        // The image shows what the controller holds: the values it had for
        // everything not written, and nothing for what cannot be told.
        for (auto block :
             blocksOf(m_asked & ~written & ~m_report.unknown & ~m_report.differs & m_device.readBlocks().held()))
            copyBlock(block, m_device.heldImage(), m_device.liveImage());
        m_device.readBlocks().forget(m_report.unknown);
        if (sentSomething || m_asked)
            m_device.events().imageChanged(ImageBlock::All);
    }
    if (m_historyTaken && !m_report.linkLost)
        if (CHistoryRecorder* recorder = CHistoryRecorder::installed())
            recorder->after(m_device, historyOperation());
    logSession(m_operation, m_failed ? L"ended: " + m_report.text() : std::wstring(L"done"));
    return m_report;
}

std::string CWriteSession::historyOperation() const
{
    // A page's change is a "set"; the map editors and the automapping name theirs.
    for (const wchar_t* map : { L"CMapArray", L"CMapFromOBD", L"CAutomapping", L"map set", L"CCorRpmDlg" })
        if (m_operation.find(map) != std::wstring::npos)
            return "map";
    return "set";
}

bool CWriteSession::historyBefore()
{
    if (m_historyTaken || (m_flags & kCallerRecovers))
        return true;
    CHistoryRecorder* recorder = CHistoryRecorder::installed();
    if (!recorder)
        return true;
    if (!recorder->before(m_device, historyOperation())) {
        m_report.failure = translate(L"Brak punktu przywracania: historia ustawień nie działa.");
        m_failed = true;
        logSession(m_operation, L"refused: no restore point");
        return false;
    }
    m_historyTaken = true;
    return true;
}

bool CWriteSession::sendOne(CLPGDevice& device, std::wstring operation, Command command, uint8_t mask,
                            unsigned flags)
{
    CWriteSession session(device, std::move(operation), flags);
    return session.send(command, mask);
}

CWriteReport CWriteSession::writeBlocks(CLPGDevice& device, std::wstring operation,
                                       std::initializer_list<CReadBlocks::Block> blocks, unsigned flags)
{
    CWriteSession session(device, std::move(operation), flags);
    uint32_t mask = 0;
    for (auto block : blocks)
        mask |= block;
    if (session.require(mask))
        session.write(blocks);
    return session.finish();
}

const CLeftChanged& CWriteSession::lastLeftChanged()
{
    return g_lastLeft;
}

CWriteReport CWriteSession::putBackLeftChanged(CLPGDevice& device)
{
    const CLeftChanged left = device.leftChanged();
    device.leftChanged().clear();
    // The map page of a cut-off write does not read (bad checksum): it is written all the same.
    CWriteSession session(device, translate(L"Przywrócenie poprzedniego stanu"), kUnreadAllowed);
    session.m_fuelNoted = true;
    session.m_forced = left.fuelForced;
    session.m_petrolBefore = !left.backToAuto;
    uint32_t blocks = left.blocks | (left.mapInvalid ? uint32_t(CReadBlocks::InjMap) : 0u);
    for (auto block : blocksOf(blocks)) {
        copyBlock(block, left.before, device.liveImage());
        if (!session.write(block))
            break;
    }
    session.finish();
    if (session.linkLost()) {
        // Still not back: keep the record for the next time.
        device.leftChanged() = left;
    }
    return session.report();
}
