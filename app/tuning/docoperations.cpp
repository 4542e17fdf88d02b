// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/docoperations.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>

#include <app/data/settingsio.h>
#include <app/data/settingsrefusal.h>
#include <app/data/translate.h>
#include <app/platform/documentsdir.h>
#include <app/platform/programdir.h>
#include <app/platform/userinteraction.h>
#include <app/platform/log.h>
#include <app/tuning/settingscheck.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <ctime>
#include <fstream>

namespace {

const wchar_t* const kCaption = L"KORVANA";
const wchar_t* const kSetFailed = L"Nie powiodło się ustawienie urządzenia!";
// Values outside their ranges listed in a question box before "… +N".
constexpr std::size_t kListedInBox = 20;

void showFailure(const wchar_t* text)
{
    userInteraction().message(translate(text), kCaption, MsgIcon::Error);
}

// An error object thrown by a step: logged and shown under the operation's name.
void showError(const wchar_t* operation, const CErrorGuard& error)
{
    logMessage(LogLevel::Error, "doc", std::wstring(operation) + L": " + error.format());
    userInteraction().message(std::wstring(operation) + L"\n" + error.format() + L"\n", kCaption, MsgIcon::Error);
}

// The blocks a file restore writes, and the sensor block whose correction tables it keeps.
constexpr uint32_t kRestoreBlocks = CReadBlocks::Base | CReadBlocks::Adv | CReadBlocks::MainCorr
    | CReadBlocks::SetupTimes1 | CReadBlocks::SetupTimes2 | CReadBlocks::InjMap | CReadBlocks::AdvancedSetup
    | CReadBlocks::SensorsSetup;

// A restore that did not end well: what the controller holds now.
void showReport(const CWriteReport& report, CWriteReport& last)
{
    last = report;
    report.show(kSetFailed);
}

std::wstring localTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm {};
    localtime_r(&now, &tm);
    wchar_t buf[32] = {};
    std::wcsftime(buf, 32, L"%d-%m-%Y-%H:%M:%S", &tm);
    return buf;
}

} // namespace

CDocOperations::CDocOperations(CLPGDevice& device)
    : m_device(device)
{
}

std::wstring CDocOperations::settingsFilter()
{
    return translate(L"Settings file (*.settings)|*.settings|");
}

std::string CDocOperations::presetPath()
{
    return (programDir() / "KORVANA PRESET" / "Initial settings.settings").string();
}

bool CDocOperations::saveToFile(std::string path)
{
    if (!m_device.isConnected())
        return false;
    // A block that was never read would go into the file as defaults or as
    // another car's values, and a later restore would write them into this car.
    const std::wstring missing = m_device.readBlocks().missingNames(CReadBlocks::kSettingsFile);
    if (!missing.empty()
        && !userInteraction().question(
            translate(L"Nie wszystkie ustawienia zostały odczytane ze sterownika. Nie odczytano:") + L"\n" + missing
                + L"\n\n" + translate(L"Czy mimo to zapisać plik?"),
            kCaption, MsgIcon::Warning, false))
        return false;
    const auto stamp = localTimeStamp();
    m_device.changeImage([&stamp](CSettingsImage& image) { image.m_timeStamp = stamp; });
    if (path.empty())
        path = userInteraction().chooseFile(true, translate(L"SAVE"), settingsFilter(), settingsDirectory(), {});
    if (path.empty())
        return false;
    if (!writeSettings(path, m_device.liveImage())) {
        showFailure(L"Nie można wpisać ustawień do pliku z danymi samochodu");
        return false;
    }
    return true;
}

void CDocOperations::copyLoadedSettings(const CSettingsImage& loaded, CSettingsImage& live)
{
    live.m_base = loaded.m_base;
    live.m_adv = loaded.m_adv;
    live.m_setupTimes1 = loaded.m_setupTimes1;
    live.m_setupTimes2 = loaded.m_setupTimes2;
    live.m_tableMask = loaded.m_tableMask;
    live.m_mainCorr = loaded.m_mainCorr;
    // The file carries the map but not its axes, and the sensor set-up but
    // not its correction tables: those stay as the controller holds them.
    live.m_corrMap.m_injMapTable = loaded.m_corrMap.m_injMapTable;
    live.m_corrMap.m_flags = loaded.m_corrMap.m_flags;
    const auto tempr = live.m_sensorsSetup.m_temprCorr;
    const auto press = live.m_sensorsSetup.m_pressCorr;
    live.m_sensorsSetup = loaded.m_sensorsSetup;
    live.m_sensorsSetup.m_temprCorr = tempr;
    live.m_sensorsSetup.m_pressCorr = press;
    auto& to = live.m_advancedSetup;
    const auto& from = loaded.m_advancedSetup;
    to.m_minimalLPGRPM = from.m_minimalLPGRPM;
    to.m_switchCorr = from.m_switchCorr;
    to.m_switchCorrTime = from.m_switchCorrTime;
    // m_advancedFlags2, m_advancedFlags3, m_maxLoadTime and m_minLpgTempr are
    // not read from the file (a file holds defaults there): the controller's stay.
    // The inspection reminder belongs to the controller, not to the file.
    to.m_advancedFlags = static_cast<uint8_t>((from.m_advancedFlags & ~kAdvInspectionReminder)
                                              | (to.m_advancedFlags & kAdvInspectionReminder));
}

bool CDocOperations::loadIntoController(std::string path, OutOfRange outOfRange)
{
    m_lastReport = {};
    if (!m_device.isConnected())
        return false;
    try {
        const bool loaded = loadIntoControllerSteps(std::move(path), outOfRange);
        logInfo("doc", loaded ? "settings file written into the controller" : "loading a settings file failed");
        return loaded;
    } catch (IError* e) {
        CErrorGuard error(e);
        // The live image may hold the file's values already.
        m_device.events().imageChanged(ImageBlock::All);
        showError(L"CkorvanaDoc::OnFileReadSettings()", error);
        return false;
    }
}

bool CDocOperations::loadIntoControllerSteps(std::string path, OutOfRange outOfRange)
{
    CSettingsImage loaded;
    CSettingsReadReport report;
    if (path.empty())
        path = userInteraction().chooseFile(false, translate(L"OPEN"), settingsFilter(), settingsDirectory(), {});
    if (path.empty() || !readSettings(path, loaded, &report)) {
        // A file refused for its kind or size says so, with the limit.
        userInteraction().message(translate(L"Nie można wczytać ustawień z pliku")
                + (path.empty() ? std::wstring() : settingsRefusalText(path)),
            kCaption, MsgIcon::Error);
        return false;
    }
    const auto problems = checkLoadedSettings(loaded, &report);
    if (!problems.empty()) {
        const std::wstring heading = translate(allClampable(problems)
                                                   ? L"Plik zawiera wartości spoza dozwolonego zakresu:"
                                                   : L"Plik zawiera wartości, których nie można wpisać do urządzenia:")
            + L"\n";
        logMessage(LogLevel::Warning, "doc", std::wstring(path.begin(), path.end()) + L": " + heading
                       + describeProblems(problems));
        // A box shows the first lines; the terminal and the log get them all.
        const std::wstring list
            = heading + describeProblems(problems, outOfRange == OutOfRange::Ask ? kListedInBox : SIZE_MAX);
        // A line that is no number, or a number its member cannot hold, is never clamped.
        if (!allClampable(problems))
            outOfRange = OutOfRange::Refuse;
        bool clamp = outOfRange == OutOfRange::Clamp;
        if (outOfRange == OutOfRange::Ask)
            clamp = userInteraction().question(
                list + L"\n" + translate(L"Czy wczytać ustawienia z tymi wartościami przyciętymi do zakresu?"),
                kCaption, MsgIcon::Warning, false);
        else if (outOfRange == OutOfRange::Refuse)
            userInteraction().message(list + L"\n" + translate(L"Nic nie zostało wpisane do urządzenia."), kCaption,
                                      MsgIcon::Error);
        if (!clamp)
            return false;
        // Each value moved, one line each: in the log, and in the terminal of the CLI's --clamp.
        const auto moves = clampLoadedSettings(loaded);
        for (const auto& move : moves)
            logMessage(LogLevel::Warning, "doc", describeMove(move));
        if (outOfRange == OutOfRange::Clamp)
            userInteraction().message(translate(L"Wartości przycięte do zakresu:") + L"\n" + describeMoves(moves),
                                      kCaption, MsgIcon::Warning);
    }
    logInfo("doc", "loading " + path + " into the controller");
    CHistoryScope history(m_device, "restore");
    CWriteSession session(m_device, L"CkorvanaDoc::OnFileReadSettings()",
                          CWriteSession::kPetrolWrap | CWriteSession::kRestart | CWriteSession::kSkipUnchanged);
    // The blocks written, and the sensor block whose correction tables are kept.
    if (!session.require(kRestoreBlocks)) {
        showReport(session.finish(), m_lastReport);
        return false;
    }
    copyLoadedSettings(loaded, m_device.liveImage());
    CWaitCursor wait;
    session.write({ CReadBlocks::Base, CReadBlocks::Adv, CReadBlocks::MainCorr, CReadBlocks::SetupTimes1,
                    CReadBlocks::SetupTimes2, CReadBlocks::InjMap, CReadBlocks::AdvancedSetup,
                    CReadBlocks::SensorsSetup });
    const CWriteReport& written = session.finish();
    m_device.events().imageChanged(ImageBlock::All);
    showReport(written, m_lastReport);
    return written.ok();
}

bool CDocOperations::restoreFactorySettings()
{
    try {
        if (!userInteraction().question(translate(L"Czy chcesz przywrócić ustawienia fabryczne?"), kCaption,
                                        MsgIcon::Question, false))
            return false;
        logInfo("doc", "restoring the factory settings");
        m_lastReport = {};
        CHistoryScope history(m_device, "factory settings");
        // One session for the defaults and the preset: the fuel state is taken
        // once, before anything forces petrol, and given back once at the end.
        CWriteSession session(m_device, L"CkorvanaDoc::OnSettingsRestore()",
                              CWriteSession::kPetrolWrap | CWriteSession::kUnreadAllowed);
        const bool written = m_device.writeAll(session);
        logInfo("doc", written ? "factory settings written" : "factory settings not written completely");
        if (written)
            writeInitialSetup(&session);
        showReport(session.finish(), m_lastReport);
        m_device.events().imageChanged(ImageBlock::All);
        return written && m_lastReport.ok();
    } catch (IError* e) {
        CErrorGuard error(e);
        m_device.events().imageChanged(ImageBlock::All);
        showError(L"CkorvanaDoc::OnSettingsRestore()", error);
        return false;
    }
}

bool CDocOperations::isBlank(const CSettingsImage& image)
{
    const CSettingsImage fresh;
    for (double c : image.m_mainCorr.m_mainCorr)
        if (c != 1.0)
            return false;
    for (double t : image.m_setupTimes1)
        if (t != 0)
            return false;
    for (const auto& row : image.m_corrMap.m_injMapTable)
        for (double v : row)
            if (v != 0)
                return false;
    const auto& s = image.m_sensorsSetup;
    const auto& f = fresh.m_sensorsSetup;
    return image.m_base.m_switchDelay == fresh.m_base.m_switchDelay && s.m_fuelFull == f.m_fuelFull
        && s.m_fuelHgw == f.m_fuelHgw && s.m_fuelHalf == f.m_fuelHalf && s.m_fuelQuarter == f.m_fuelQuarter
        && s.m_fuelRes == f.m_fuelRes && s.m_fuelType == f.m_fuelType;
}

bool CDocOperations::writeInitialSetup(CWriteSession* session)
{
    try {
        if (session)
            return writeInitialSetupSteps(*session);
        CWriteSession own(m_device, L"CkorvanaDoc::writeInitialSetup()",
                          CWriteSession::kPetrolWrap | CWriteSession::kUnreadAllowed);
        const bool written = writeInitialSetupSteps(own);
        showReport(own.finish(), m_lastReport);
        return written && m_lastReport.ok();
    } catch (IError* e) {
        CErrorGuard error(e);
        showError(L"CkorvanaDoc::writeInitialSetup()", error);
        return false;
    }
}

bool CDocOperations::writeInitialSetupSteps(CWriteSession& session)
{
    CSettingsImage& live = m_device.liveImage();
    if (!isBlank(live))
        return false;
    const std::string path = presetPath();
    if (!std::ifstream(path))
        return false;
    CSettingsImage preset;
    CSettingsReadReport report;
    if (!readSettings(path, preset, &report))
        return false;
    // A damaged preset would go into every blank controller it meets.
    if (const auto problems = checkLoadedSettings(preset, &report); !problems.empty()) {
        const std::wstring text = translate(L"Plik ustawień początkowych zawiera nieprawidłowe wartości:") + L"\n"
            + describeProblems(problems, kListedInBox) + L"\n" + translate(L"Nic nie zostało wpisane do urządzenia.");
        logMessage(LogLevel::Error, "doc", std::wstring(path.begin(), path.end()) + L": " + text);
        userInteraction().message(text, kCaption, MsgIcon::Error);
        return false;
    }
    live.m_base = preset.m_base;
    live.m_adv = preset.m_adv;
    // The correction tables are not in the preset file: the controller's stay.
    const auto tempr = live.m_sensorsSetup.m_temprCorr;
    const auto press = live.m_sensorsSetup.m_pressCorr;
    live.m_sensorsSetup = preset.m_sensorsSetup;
    live.m_sensorsSetup.m_temprCorr = tempr;
    live.m_sensorsSetup.m_pressCorr = press;
    live.m_advancedSetup = preset.m_advancedSetup;
    live.m_mainCorr = preset.m_mainCorr;
    CWaitCursor wait;
    const bool ok = session.toPetrol()
        && session.write({ CReadBlocks::Base, CReadBlocks::Adv, CReadBlocks::AdvancedSetup, CReadBlocks::SensorsSetup,
                           CReadBlocks::MainCorr });
    logInfo("doc", ok ? "initial setup written into a blank controller" : "writing the initial setup failed");
    m_device.events().imageChanged(ImageBlock::All);
    return ok;
}
