// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/historyrecorder.h>

#include <app/data/readblocks.h>
#include <app/data/translate.h>
#include <app/device/lpgdevice.h>
#include <app/device/settingblocks.h>
#include <app/device/writesession.h>
#include <app/platform/log.h>
#include <app/platform/pcid.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <app/platform/posixcompat.h>
#include <errkit/utf8.h>

#include <cstdio>
#include <ctime>

namespace {

CHistoryRecorder* g_recorder = nullptr;

std::string pcHex()
{
    const auto id = pcIdentifier();
    if (!id)
        return "unknown";
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", (*id)[0], (*id)[1], (*id)[2], (*id)[3]);
    return text;
}

} // namespace

CHistoryRecorder::CHistoryRecorder(std::string path, WithoutHistory policy)
    : m_path(std::move(path))
    , m_policy(policy)
{
}

CHistoryRecorder* CHistoryRecorder::installed()
{
    return g_recorder;
}

void CHistoryRecorder::install(CHistoryRecorder* recorder)
{
    g_recorder = recorder;
}

CHistoryRecorder::~CHistoryRecorder()
{
    settle();
}

void CHistoryRecorder::settle()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CHistoryRecorder::openAhead()
{
    if (m_opened)
        return;
    m_opened = true;
    settle();
    m_worker = std::thread([this] { m_store.open(m_path); });
}

CHistoryStore& CHistoryRecorder::store()
{
    settle();
    if (!m_opened) {
        m_opened = true;
        m_store.open(m_path);
    }
    return m_store;
}

std::wstring CHistoryRecorder::problemText()
{
    const CHistoryStore& s = store();
    const std::wstring path = fromUtf8(s.path());
    switch (s.state()) {
    case CHistoryStore::State::Closed:
    case CHistoryStore::State::Ok: return {};
    case CHistoryStore::State::MovedAside:
        return translate(L"Historia ustawień była uszkodzona i została przeniesiona do:") + L" " + fromUtf8(s.detail())
            + L"\n" + translate(L"Rozpoczęto nową historię.");
    case CHistoryStore::State::Busy:
        return translate(L"Historia ustawień jest zajęta przez inny program:") + L" " + path;
    case CHistoryStore::State::ReadOnly:
        return translate(L"Historia ustawień jest tylko do odczytu:") + L" " + path;
    case CHistoryStore::State::Newer:
        return translate(L"Historia ustawień pochodzi z nowszej wersji programu:") + L" " + path;
    case CHistoryStore::State::Unwritable:
        return translate(L"Nie można utworzyć historii ustawień:") + L" " + path + L" (" + fromUtf8(s.detail()) + L")";
    }
    return {};
}

std::wstring CHistoryRecorder::problemOnce()
{
    if (m_problemSaid)
        return {};
    std::wstring text = problemText();
    m_problemSaid = !text.empty();
    return text;
}

bool CHistoryRecorder::usable(const CLPGDevice& device) const
{
    // The demo controller is no car: it has no history.
    return device.m_connected && !device.m_demo;
}

int64_t CHistoryRecorder::point(const CLPGDevice& device, const std::string& operation)
{
    if (!usable(device) || !store().writable())
        return 0;
    const CHistoryContent content = heldContent(device);
    CHistoryPoint p;
    const CDevInfo& d = device.liveImage().m_devInfo;
    p.serial = toUtf8(d.m_serial);
    p.model = toUtf8(d.m_modelName);
    p.version = d.m_version;
    p.operation = operation;
    p.pc = pcHex();
    // What changed the image's car since (the calibration's reducer pressure, a
    // settings file) is the car from now on, or the next connection would undo it.
    if (p.serial == m_carSerial && device.liveImage().m_carInfo != m_car.m_carInfo) {
        m_car.m_carInfo = device.liveImage().m_carInfo;
        m_store.setCar(p.serial, m_car.toText());
    }
    CCarDetails car = m_car;
    car.m_carInfo = device.liveImage().m_carInfo;
    p.car = car.toText();
    p.blocks = content.blocks;
    if (!m_store.add(p, encodeHistoryImage(content)))
        return 0;
    m_pointImage = p.imageId;
    logInfo("history", "point " + std::to_string(p.id) + " \"" + operation + "\" of " + p.serial);
    // Copied into the database beside the next exchange, not when the program ends.
    settle();
    m_worker = std::thread([this] { m_store.checkpoint(); });
    return p.id;
}

bool CHistoryRecorder::loadCar(CLPGDevice& device)
{
    m_car = {};
    m_carSerial.clear();
    if (!usable(device) || !store().readable())
        return false;
    m_carSerial = toUtf8(device.liveImage().m_devInfo.m_serial);
    const auto kept = m_store.car(toUtf8(device.liveImage().m_devInfo.m_serial));
    if (!kept) {
        m_car.m_carInfo = device.liveImage().m_carInfo;
        return false;
    }
    m_car = CCarDetails::fromText(*kept);
    device.setCarInfo(m_car.m_carInfo);
    return true;
}

bool CHistoryRecorder::setCar(CLPGDevice& device, const CCarDetails& car)
{
    m_car = car;
    device.setCarInfo(car.m_carInfo);
    if (!usable(device))
        return device.m_demo;
    m_carSerial = toUtf8(device.liveImage().m_devInfo.m_serial);
    return store().setCar(toUtf8(device.liveImage().m_devInfo.m_serial), car.toText());
}

std::wstring CHistoryRecorder::connected(CLPGDevice& device)
{
    m_changedSince = 0;
    m_connectedPoint = 0;
    loadCar(device);
    if (!usable(device) || (device.readBlocks().held() & CReadBlocks::kAll) != CReadBlocks::kAll)
        return {};
    if (!store().writable())
        return {};
    const std::string serial = toUtf8(device.liveImage().m_devInfo.m_serial);
    const auto last = m_store.lastOf(serial, pcHex());
    m_connectedPoint = point(device, "connected");
    if (!last)
        return {};
    // The store keeps equal images once: the same image as last time (the
    // usual connection) has nothing to compare member by member.
    if (m_connectedPoint != 0 && m_pointImage == last->imageId)
        return {};
    CHistoryContent before;
    const auto bytes = m_store.image(last->imageId);
    if (!bytes || !decodeHistoryImage(*bytes, before))
        return {};
    std::wstring line = changedLine(last->time, before, heldContent(device));
    if (!line.empty())
        m_changedSince = last->id;
    return line;
}

std::string CHistoryRecorder::localTime(const std::string& iso)
{
    std::tm tm {};
    int end = 0;
    if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &end)
            != 6
        || end == 0)
        return iso;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t t = timegm(&tm);
    std::tm local {};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::wstring CHistoryRecorder::changedLine(
    const std::string& since, const CHistoryContent& before, const CHistoryContent& now)
{
    int settings = 0;
    int cells = 0;
    for (const auto& d : historyDifferences(before, now))
        ++(d.mapCell ? cells : settings);
    if (settings == 0 && cells == 0)
        return {};
    return translate(L"Zmieniony od") + L" " + fromUtf8(localTime(since)) + L": " + std::to_wstring(settings) + L" "
        + translate(L"ustawień") + L", " + std::to_wstring(cells) + L" " + translate(L"komórek mapy");
}

bool CHistoryRecorder::before(const CLPGDevice& device, const std::string& operation)
{
    if (!usable(device))
        return true;
    if (inScope())
        return !m_scopeRefused;
    if (point(device, "before " + operation) != 0 || m_allowedWithout)
        return true;
    switch (m_policy) {
    case WithoutHistory::Allow: return true;
    case WithoutHistory::Refuse: return false;
    case WithoutHistory::Ask: break;
    }
    std::wstring why = problemText();
    if (why.empty())
        why = translate(L"Nie udało się zapisać punktu przywracania.");
    m_allowedWithout = userInteraction().question(
        why + L"\n\n" + translate(L"Czy kontynuować zapis bez punktu przywracania?"), L"KORVANA", MsgIcon::Warning,
        false);
    return m_allowedWithout;
}

void CHistoryRecorder::after(const CLPGDevice& device, const std::string& operation)
{
    if (!inScope())
        point(device, "after " + operation);
}

CHistoryScope::CHistoryScope(CLPGDevice& device, std::string operation)
    : m_device(device)
    , m_operation(std::move(operation))
    , m_recorder(CHistoryRecorder::installed())
{
    if (!m_recorder)
        return;
    if (m_recorder->m_scopeDepth == 0) {
        m_ok = m_recorder->before(device, m_operation);
        m_recorder->m_scopeRefused = !m_ok;
    } else {
        m_ok = !m_recorder->m_scopeRefused;
        m_after = false;
    }
    ++m_recorder->m_scopeDepth;
}

CHistoryScope::~CHistoryScope()
{
    if (!m_recorder)
        return;
    if (--m_recorder->m_scopeDepth > 0)
        return;
    m_recorder->m_scopeRefused = false;
    if (m_ok && m_after)
        m_recorder->after(m_device, m_operation);
}

CWriteReport restoreHistoryContent(CLPGDevice& device, const CHistoryContent& content, uint32_t mask, bool obd)
{
    CHistoryScope scope(device, "restore");
    CWriteSession session(device, L"history restore",
                          CWriteSession::kPetrolWrap | CWriteSession::kRestart | CWriteSession::kSkipUnchanged);
    if (!scope.ok()) {
        session.fail(translate(L"Brak punktu przywracania: historia ustawień nie działa."));
        return session.finish();
    }
    mask &= content.blocks & CReadBlocks::kAll & ~CReadBlocks::DevInfo;
    if (!session.require(mask))
        return session.finish();
    CSettingsImage& live = device.liveImage();
    const uint32_t inspection = live.m_advancedSetup.m_inspectionCounter;
    for (auto block : blocksOf(mask))
        copyBlock(block, content.image, live);
    live.m_advancedSetup.m_inspectionCounter = inspection;
    // The order of a factory restore: the map before its axes, the schedule last.
    for (auto block : { CReadBlocks::Base, CReadBlocks::Adv, CReadBlocks::MainCorr, CReadBlocks::SetupTimes1,
                        CReadBlocks::SetupTimes2, CReadBlocks::InjMap, CReadBlocks::SensorsSetup,
                        CReadBlocks::AdvancedSetup, CReadBlocks::PressCorr, CReadBlocks::AutomapSchedule,
                        CReadBlocks::MapAxes })
        if ((mask & block) && !session.write(block))
            break;
    if (obd && !session.failed()) {
        if (content.obdSettings && device.heldObdSettings() != content.obdSettings)
            session.writeObdSettings(*content.obdSettings);
        if (content.obdConfig && !session.failed() && device.heldObdConfig() != content.obdConfig)
            session.writeObdMapConfig(*content.obdConfig);
    }
    CWriteReport report = session.finish();
    device.events().imageChanged(ImageBlock::All);
    return report;
}
