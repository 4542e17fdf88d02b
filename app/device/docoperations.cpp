#include <app/device/docoperations.h>
#include <app/device/lpgdevice.h>

#include <app/data/settingsio.h>
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

// Runs steps in order and stops at the first that fails, with the set-up failure message.
bool writeSteps(std::initializer_list<std::function<bool()>> steps)
{
    for (const auto& step : steps) {
        if (!step()) {
            showFailure(kSetFailed);
            return false;
        }
    }
    return true;
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
    if (!m_device.m_connected)
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
    m_device.image().m_timeStamp = localTimeStamp();
    if (path.empty())
        path = userInteraction().chooseFile(true, translate(L"SAVE"), settingsFilter(), settingsDirectory(), {});
    if (path.empty())
        return false;
    if (!writeSettings(path, m_device.image())) {
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
    live.m_corrMap = loaded.m_corrMap;
    live.m_sensorsSetup = loaded.m_sensorsSetup;
    auto& to = live.m_advancedSetup;
    const auto& from = loaded.m_advancedSetup;
    to.m_minimalLPGRPM = from.m_minimalLPGRPM;
    to.m_switchCorr = from.m_switchCorr;
    to.m_switchCorrTime = from.m_switchCorrTime;
    to.m_advancedFlags2 = from.m_advancedFlags2;
    to.m_advancedFlags3 = from.m_advancedFlags3;
    to.m_maxLoadTime = from.m_maxLoadTime;
    to.m_minLpgTempr = from.m_minLpgTempr;
    // The inspection reminder belongs to the controller, not to the file.
    to.m_advancedFlags = static_cast<uint8_t>((from.m_advancedFlags & ~kAdvInspectionReminder)
                                              | (to.m_advancedFlags & kAdvInspectionReminder));
}

bool CDocOperations::loadIntoController(std::string path, OutOfRange outOfRange)
{
    if (!m_device.m_connected)
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
        showFailure(L"Nie można wczytać ustawień z pliku");
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
    copyLoadedSettings(loaded, m_device.image());
    // What the file replaced is the controller's again only once written; the
    // axes and the pressure table are not written at all.
    m_device.readBlocks().forget(CReadBlocks::Base | CReadBlocks::Adv | CReadBlocks::MainCorr | CReadBlocks::SetupTimes1
        | CReadBlocks::SetupTimes2 | CReadBlocks::InjMap | CReadBlocks::MapAxes | CReadBlocks::SensorsSetup
        | CReadBlocks::PressCorr | CReadBlocks::AdvancedSetup);
    CWaitCursor wait;
    CLPGDevice& d = m_device;
    const bool written = writeSteps({
        [&] { return d.switchToPetrolAndWait(); },
        [&] { return d.writeBase(); },
        [&] { return d.writeAdv(); },
        [&] { return d.writeMainCorr(); },
        [&] { return d.writeSetupTimes1(); },
        [&] { return d.writeSetupTimes2(); },
        [&] { return d.writeInjMap(); },
        [&] { return d.writeAdvancedSetup(); },
        [&] { return d.writeSensorsSetup(); },
        [&] { return d.command0AOnPetrol(); },
    });
    d.events().imageChanged(ImageBlock::All);
    return written;
}

bool CDocOperations::restoreFactorySettings()
{
    try {
        if (!userInteraction().question(translate(L"Czy chcesz przywrócić ustawienia fabryczne?"), kCaption,
                                        MsgIcon::Question, false))
            return false;
        logInfo("doc", "restoring the factory settings");
        // Taken once, before anything forces petrol; the readings during the
        // restore say petrol whatever the car ran on before it.
        const uint8_t fuelBefore = m_device.fuelStateBefore();
        const bool written = m_device.writeAll(fuelBefore, false);
        logInfo("doc", written ? "factory settings written" : "factory settings not written completely");
        writeInitialSetup(fuelBefore, false);
        if (written && CLPGDevice::returnsToAuto(fuelBefore))
            m_device.switchToAuto();
        m_device.events().imageChanged(ImageBlock::All);
        return written;
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

bool CDocOperations::writeInitialSetup()
{
    return writeInitialSetup(CLPGDevice::kFuelUnknown, true);
}

bool CDocOperations::writeInitialSetup(uint8_t fuelBefore, bool returnToAuto)
{
    try {
        return writeInitialSetupSteps(fuelBefore, returnToAuto);
    } catch (IError* e) {
        CErrorGuard error(e);
        showError(L"CkorvanaDoc::writeInitialSetup()", error);
        return false;
    }
}

bool CDocOperations::writeInitialSetupSteps(uint8_t fuelBefore, bool returnToAuto)
{
    CSettingsImage& live = m_device.image();
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
    live.m_sensorsSetup = preset.m_sensorsSetup;
    live.m_advancedSetup = preset.m_advancedSetup;
    live.m_mainCorr = preset.m_mainCorr;
    m_device.readBlocks().forget(CReadBlocks::Base | CReadBlocks::Adv | CReadBlocks::SensorsSetup
        | CReadBlocks::PressCorr | CReadBlocks::AdvancedSetup | CReadBlocks::MainCorr);
    CWaitCursor wait;
    CLPGDevice& d = m_device;
    // A car that was not on petrol goes back to automatic mode afterwards, as
    // after a factory restore; otherwise the preset would leave it on petrol.
    if (fuelBefore == CLPGDevice::kFuelUnknown)
        fuelBefore = d.fuelStateBefore();
    d.switchToPetrolAndWait();
    const bool ok = writeSteps({
        [&] { return d.writeBase(); },
        [&] { return d.writeAdv(); },
        [&] { return d.writeAdvancedSetup(); },
        [&] { return d.writeSensorsSetup(); },
        [&] { return d.writeMainCorr(); },
    });
    if (ok && returnToAuto && CLPGDevice::returnsToAuto(fuelBefore))
        d.switchToAuto();
    logInfo("doc", ok ? "initial setup written into a blank controller" : "writing the initial setup failed");
    d.events().imageChanged(ImageBlock::All);
    return ok;
}
