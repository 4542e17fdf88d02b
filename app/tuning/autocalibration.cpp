// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/autocalibration.h>

#include <app/data/conversions.h>
#include <app/data/diagdata.h>
#include <app/data/translate.h>
#include <app/device/historyrecorder.h>
#include <app/device/lpgdevice.h>
#include <app/device/writesession.h>
#include <app/device/rserror.h>
#include <app/platform/log.h>
#include <app/platform/textcodec.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

namespace {

// The run keeps its own record of what it changed and puts it back itself.
constexpr unsigned kOwn = CWriteSession::kCallerRecovers | CWriteSession::kNoReadBack;

constexpr const char* kLog = "calib";
constexpr unsigned kWaitStepMs = 50;
constexpr unsigned kPauseStepMs = 100;

constexpr const wchar_t* kReadFailed = L"Błąd - Nie powiodło się wczytanie ustawień z urządzenia!";
constexpr const wchar_t* kWriteFailed = L"Błąd - Nie powiodło się wpisanie ustawień do urządzenia!";
constexpr const wchar_t* kPetrolFailed = L"Błąd - Nie można przełączyć na benzynę!";
constexpr const wchar_t* kLpgFailed = L"Błąd - Nie można przełączyć na LPG!";
constexpr const wchar_t* kNoPetrolTime = L"Błąd - Nie można pobrać czasu wtr. benzynowego!";
constexpr const wchar_t* kNoReadings = L"Błąd - Brak odczytów ze sterownika!";
constexpr const wchar_t* kRangeLine = L"Korekta powinna być w zakresie od 0.5ms do 1.5ms.";
constexpr const wchar_t* kPutBack = L"Przywrócono ustawienia sprzed autokalibracji.";
constexpr const wchar_t* kLeftChangedLine
    = L"Po przerwanej autokalibracji w sterowniku pozostało zmienione:";
constexpr const wchar_t* kOfferQuestion = L"Przywrócić ustawienia sprzed autokalibracji?";
constexpr const wchar_t* kBeforeRun = L"przed autokalibracją";
// Byte 1 of the readings: the automatic switch to LPG is pending.
constexpr uint8_t kSwitchPending = 1;

bool isLpgState(uint8_t state)
{
    // 4 and 5: the controller is still moving cylinders over, as the poller counts it.
    return state == 3 || state == 4 || state == 5;
}

} // namespace

std::wstring calibrationNumber(double value)
{
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

CAutoCalibration::CAutoCalibration(CLPGDevice& device, ICalibrationObserver& observer)
    : m_device(device)
    , m_observer(observer)
{
}

// ---- Rules ----

int CAutoCalibration::waitingLength(double emulatorDelay, int injectors, bool demo)
{
    if (demo)
        return kDemoWaitRecords;
    const int scaled = static_cast<int>(std::trunc(emulatorDelay * 2.5 * injectors * 0.25));
    return std::max(scaled, 50) / 3;
}

int CAutoCalibration::progressTotal(bool perCylinder, int waitLength, int injectors)
{
    if (perCylinder)
        return (injectors + 2) * waitLength + (injectors + 2) * kRecordsPerMeasurement + 15;
    return 8 * waitLength + 7 * kRecordsPerMeasurement + 15;
}

int CAutoCalibration::progressPosition(double counted, int total)
{
    if (total <= 0)
        return 0;
    return 10 * static_cast<int>(roundHalfAway(100.0 * counted / total));
}

std::vector<uint8_t> CAutoCalibration::cylinderOrder(const std::vector<int>& active)
{
    std::vector<uint8_t> order;
    std::size_t front = 0;
    std::size_t back = active.size();
    while (front < back) {
        order.push_back(static_cast<uint8_t>(1u << active[front++]));
        if (front < back)
            order.push_back(static_cast<uint8_t>(1u << active[--back]));
    }
    return order;
}

std::vector<double> CAutoCalibration::keptDifferences(std::array<double, 3> differences)
{
    std::sort(differences.begin(), differences.end());
    const double ref = differences[1] / 3;
    std::vector<double> kept;
    for (double d : differences) {
        // With a middle value of 0 the ratio is unbounded for any other value:
        // keeping everything would bring back the first pass's difference,
        // measured before the correction it produced.
        if (ref == 0 ? d == 0 : std::fabs((ref - d) / ref) < 10)
            kept.push_back(d);
    }
    return kept;
}

// ---- Start and stop ----

CalibrationOutcome CAutoCalibration::start(bool perCylinder)
{
    if (m_running)
        return CalibrationOutcome::Busy;
    m_observer.clearLog();
    CDiag newest;
    if (!m_device.diagData().latest(newest)) {
        // A record of zeros would read as a hot reducer.
        log(kNoReadings);
        return CalibrationOutcome::Refused;
    }
    if (!warmEnough(newest.reducerTempr(m_device.liveImage()))) {
        log(L"Temperatura reduktora za niska!");
        return CalibrationOutcome::Refused;
    }
    // The fuel state once, before the run's first switch. A record an earlier
    // run left for this controller already holds the car's own.
    if (m_leftChanged.empty() || m_leftChanged.controller() != m_device.liveImage().m_devInfo.m_serial)
        m_petrolBefore = newest.fuelState() == CLPGDevice::kFuelPetrol && newest.switchMode() != kSwitchPending;
    // One restore point before the run and one after it, whatever it writes on the way.
    CHistoryScope history(m_device, "calibration");
    if (!history.ok()) {
        log(L"Brak punktu przywracania: historia ustawień nie działa.");
        return CalibrationOutcome::Refused;
    }
    m_running = true;
    m_observer.runningChanged(true);
    const bool oneByOne = perCylinder && !m_device.isDemo();
    logInfo(kLog, oneByOne ? "per-cylinder autocalibration started" : "autocalibration started");
    const CalibrationOutcome outcome = oneByOne ? autocalibrationPerOneCylinder() : autocalibrationNormal();
    m_running = false;
    m_observer.runningChanged(false);
    logInfo(kLog, "autocalibration ended: " + std::to_string(static_cast<int>(outcome)));
    return outcome;
}

void CAutoCalibration::stop()
{
    if (!m_running)
        return;
    log(L"Autokalibracja przerwana");
    m_running = false;
    setProgress(0);
}

CalibrationOutcome CAutoCalibration::autocalibrationNormal()
{
    beginRun();
    try {
        if (runNormal())
            return CalibrationOutcome::Success;
    } catch (IError* e) {
        CErrorGuard error(e);
        m_outcome = CalibrationOutcome::Error;
        if (dynamic_cast<CRSError*>(error.get()))
            m_linkLost = true;
        showError(L"Błąd wykonania procedury autoustawiania", L"-CKalibracjaDlg::autocalibrationNormal()",
                  error.format());
    }
    restoreAfterAbort();
    return m_outcome == CalibrationOutcome::Success ? CalibrationOutcome::Failed : m_outcome;
}

CalibrationOutcome CAutoCalibration::autocalibrationPerOneCylinder()
{
    beginRun();
    try {
        if (runPerCylinder())
            return CalibrationOutcome::Success;
    } catch (IError* e) {
        CErrorGuard error(e);
        m_outcome = CalibrationOutcome::Error;
        if (dynamic_cast<CRSError*>(error.get()))
            m_linkLost = true;
        showError(L"Błąd wykonania autokalibracji", L"-CKalibracjaDlg::autocalibrationPerOneCylinder()",
                  error.format());
    }
    restoreAfterAbort();
    return m_outcome == CalibrationOutcome::Success ? CalibrationOutcome::Failed : m_outcome;
}

void CAutoCalibration::showError(const wchar_t* title, const wchar_t* method, const std::wstring& report)
{
    logError(kLog, toUtf8(std::wstring(method) + L" " + report));
    userInteraction().message(translate(title) + L"\n" + method + L"\n" + report, L"KORVANA", MsgIcon::Error);
}

void CAutoCalibration::beginRun()
{
    m_outcome = CalibrationOutcome::Success;
    m_linkLost = false;
    const std::wstring& serial = m_device.liveImage().m_devInfo.m_serial;
    if (m_leftChanged.controller() != serial) {
        m_leftChanged.clear();
        m_leftChanged.setController(serial);
    }
}

void CAutoCalibration::restoreAfterAbort()
{
    if (m_leftChanged.empty())
        return;
    if (linkGone()) {
        // Nothing is switched later by itself: the fitter is asked when the link is back.
        logLeftChanged();
        return;
    }
    try {
        if (m_leftChanged.putBack()) {
            log(kPutBack);
            return;
        }
        log(m_leftChanged.items().front().key == kDelayKey ? kWriteFailed : kLpgFailed);
        noteLinkState();
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed(kLog, "CAutoCalibration::restoreAfterAbort", *error);
        log(kWriteFailed);
        m_linkLost = true;
    }
    logLeftChanged();
}

bool CAutoCalibration::offerPutBack()
{
    if (m_running || m_leftChanged.empty() || !m_device.isConnected())
        return false;
    // Another controller answers now: the record waits for its own.
    if (m_leftChanged.controller() != m_device.liveImage().m_devInfo.m_serial)
        return false;
    IUserInteraction& ui = userInteraction();
    const std::wstring text
        = translate(kLeftChangedLine) + L"\n" + m_leftChanged.describe() + L"\n\n" + translate(kOfferQuestion);
    if (!ui.question(text, L"KORVANA", MsgIcon::Question, true)) {
        logInfo(kLog, "putting back what the calibration left changed was declined: " + toUtf8(m_leftChanged.describe()));
        m_leftChanged.clear();
        return false;
    }
    try {
        CWaitCursor wait;
        if (m_leftChanged.putBack()) {
            log(kPutBack);
            return true;
        }
    } catch (IError* e) {
        CErrorGuard error(e);
        logSwallowed(kLog, "CAutoCalibration::offerPutBack", *error);
    }
    ui.message(translate(L"Nie powiodło się ustawienie urządzenia!") + L"\n" + m_leftChanged.describe(), L"KORVANA",
               MsgIcon::Error);
    return false;
}

void CAutoCalibration::noteDelay(double runDelay)
{
    CLPGDevice& device = m_device;
    const double before = m_keptDelay;
    m_leftChanged.note({ kDelayKey,
        translate(L"Przełączanie cylindrów") + L": " + calibrationNumber(runDelay) + L" s (" + translate(kBeforeRun)
            + L" " + calibrationNumber(before) + L" s)",
        std::string("set ") + kDelayKey + " " + toUtf8(calibrationNumber(before)),
        [&device, before] {
            // The rest of the block goes back as read: never from an unread image.
            if (!device.readBlocks().has(CReadBlocks::Base))
                return false;
            double& delay = device.liveImage().m_base.m_emulatorDelay;
            const double held = delay;
            delay = before;
            bool written = false;
            try {
                written = CWriteSession::writeBlocks(device, L"CAutoCalibration", { CReadBlocks::Base }, kOwn).ok();
            } catch (IError*) {
                delay = held;
                throw;
            }
            if (!written) {
                delay = held;
                return false;
            }
            device.events().imageChanged(ImageBlock::Base);
            return true;
        } });
}

void CAutoCalibration::noteFuel(CWriteSession::Command command)
{
    const wchar_t* now = command == CWriteSession::Command::Lpg ? L"LPG"
        : command == CWriteSession::Command::Petrol            ? L"BENZYNA"
                                                             : L"AUTO";
    const wchar_t* before = m_petrolBefore ? L"BENZYNA" : L"AUTO";
    if (std::wstring(now) == before) {
        m_leftChanged.drop(kFuelKey);
        return;
    }
    CLPGDevice& device = m_device;
    const bool petrol = m_petrolBefore;
    m_leftChanged.note({ kFuelKey,
        translate(L"Tryb paliwa") + L": " + translate(now) + L" (" + translate(kBeforeRun) + L" " + translate(before)
            + L")",
        petrol ? "switch petrol" : "switch auto",
        [&device, petrol] {
            return CWriteSession::sendOne(device, L"CAutoCalibration",
                                          petrol ? CWriteSession::Command::Petrol : CWriteSession::Command::Auto, 0, kOwn);
        } });
}

void CAutoCalibration::noteLinkState()
{
    if (CDeviceLink::lastAttemptsSilent() || !m_device.isConnected())
        m_linkLost = true;
}

bool CAutoCalibration::linkGone() const
{
    return m_linkLost || !m_device.isConnected();
}

void CAutoCalibration::logLeftChanged()
{
    if (m_leftChanged.empty())
        return;
    log(kLeftChangedLine);
    for (const auto& item : m_leftChanged.items())
        logRaw(item.description);
}

// ---- Shared steps ----

int CAutoCalibration::injectors() const
{
    return std::clamp(m_device.liveImage().m_devInfo.m_injCount, 1, CDiag::kInjectors);
}

void CAutoCalibration::log(const std::wstring& fixedText, uint32_t colour)
{
    logRaw(fixedText.empty() ? fixedText : translate(fixedText), colour);
}

void CAutoCalibration::logRaw(const std::wstring& text, uint32_t colour)
{
    logInfo(kLog, toUtf8(text));
    m_observer.logLine(text, colour);
}

bool CAutoCalibration::fail(const wchar_t* line)
{
    noteLinkState();
    log(line);
    m_outcome = CalibrationOutcome::Failed;
    return false;
}

void CAutoCalibration::setProgress(int position)
{
    m_observer.progress(std::clamp(position, 0, kProgressEnd));
}

void CAutoCalibration::beginProgress(int waitLength, bool perCylinder)
{
    m_progressBase = 0;
    m_progressTotal = progressTotal(perCylinder, waitLength, injectors());
    setProgress(0);
}

bool CAutoCalibration::engineRunning(const CDiag& record) const
{
    const int n = injectors();
    for (int i = 0; i < n; ++i) {
        if (roundTo001(record.petrolTime(2 * i)) > kEngineRunningMs
            || roundTo001(record.petrolTime(2 * i + 1)) > kEngineRunningMs)
            return true;
    }
    return false;
}

bool CAutoCalibration::waitRecords(int k, std::vector<CDiag>* gathered)
{
    // Only records pushed after the wait began count; read on by the queue's
    // numbers, so a trim or another reader never makes one count twice.
    uint64_t seen = m_device.diagData().newestSequence();
    std::vector<CDiag> records;
    std::size_t lastCount = 0;
    unsigned quietMs = 0;
    for (;;) {
        seen = m_device.diagData().copySince(seen, records).newest;
        if (static_cast<int>(records.size()) >= k)
            break;
        userInteraction().pump();
        if (!m_running) {
            m_outcome = CalibrationOutcome::Stopped;
            return false;
        }
        if (!records.empty() && !engineRunning(records.back())) {
            m_outcome = CalibrationOutcome::EngineStopped;
            logInfo(kLog, "engine not running");
            return false;
        }
        userInteraction().sleep(kWaitStepMs);
        setProgress(progressPosition(m_progressBase + static_cast<double>(records.size()), m_progressTotal));
        if (records.size() != lastCount) {
            lastCount = records.size();
            quietMs = 0;
        } else if ((quietMs += kWaitStepMs) >= kNoReadingsMs) {
            // The poller has stopped: without this the run would wait for ever.
            m_linkLost = true;
            return fail(kNoReadings);
        }
    }
    m_progressBase += static_cast<double>(records.size());
    if (gathered)
        *gathered = std::move(records);
    return true;
}

bool CAutoCalibration::measureIdle(double& time, double& pressure)
{
    std::vector<CDiag> records;
    if (!waitRecords(kRecordsPerMeasurement, &records))
        return false;
    const int n = injectors();
    double timeSum = 0;
    int timeCount = 0;
    double pressureSum = 0;
    for (const auto& record : records) {
        for (int i = 0; i < n; ++i) {
            const double larger
                = std::max(roundTo001(record.petrolTime(2 * i)), roundTo001(record.petrolTime(2 * i + 1)));
            if (larger > kEngineRunningMs) {
                timeSum += larger;
                ++timeCount;
            }
        }
        pressureSum += record.lpgPressure();
    }
    if (timeCount == 0 || records.empty())
        return false;
    time = roundTo001(timeSum / timeCount);
    pressure = roundHalfAway(pressureSum / static_cast<double>(records.size()));
    logDebug(kLog, "idle: petrol time " + toUtf8(calibrationNumber(time)) + " ms, pressure "
                 + toUtf8(calibrationNumber(pressure)) + " kPa");
    return true;
}

bool CAutoCalibration::measure(double& time, double& pressure)
{
    if (measureIdle(time, pressure))
        return true;
    if (m_running && m_outcome != CalibrationOutcome::Failed)
        return fail(kNoPetrolTime);
    return false;
}

bool CAutoCalibration::pause(unsigned milliseconds)
{
    for (unsigned waited = 0; waited < milliseconds; waited += kPauseStepMs) {
        userInteraction().pump();
        if (!m_running)
            break;
        userInteraction().sleep(std::min(kPauseStepMs, milliseconds - waited));
    }
    userInteraction().pump();
    if (m_running)
        return true;
    m_outcome = CalibrationOutcome::Stopped;
    return false;
}

void CAutoCalibration::pressureStep(double pressure)
{
    CSettingsImage& image = m_device.liveImage();
    image.m_base.m_pressureRef = roundHalfAway(pressure);
    image.m_base.m_switchPressure = roundHalfAway(pressure * 0.5);
    image.m_base.m_pressureGain = 1.0;
    image.m_carInfo.m_reductorPress = roundHalfAway(pressure);
    // Pages see it with the base block's write (ImageChanged then), not before.
}

bool CAutoCalibration::setAllCorrections(double value)
{
    m_device.liveImage().m_mainCorr.m_mainCorr.fill(value);
    if (!writeBlock(CReadBlocks::MainCorr))
        return fail(kWriteFailed);
    m_device.events().imageChanged(ImageBlock::MainCorr);
    m_observer.mainCorrectionsChanged();
    return true;
}

bool CAutoCalibration::setRunDelay(double delay)
{
    // A record an earlier run left for this controller holds the car's own delay.
    if (!m_leftChanged.has(kDelayKey))
        m_keptDelay = m_device.liveImage().m_base.m_emulatorDelay;
    m_device.liveImage().m_base.m_emulatorDelay = delay;
    noteDelay(delay);
    if (!writeBlock(CReadBlocks::Base))
        return fail(kWriteFailed);
    m_device.events().imageChanged(ImageBlock::Base);
    return true;
}

bool CAutoCalibration::switchFuel(CWriteSession::Command command, const wchar_t* failureLine)
{
    noteFuel(command);
    return check(send(command), failureLine);
}

bool CAutoCalibration::send(CWriteSession::Command command, uint8_t mask)
{
    return CWriteSession::sendOne(m_device, L"CAutoCalibration", command, mask, kOwn);
}

bool CAutoCalibration::writeBlock(CReadBlocks::Block block)
{
    return CWriteSession::writeBlocks(m_device, L"CAutoCalibration", { block }, kOwn).ok();
}

bool CAutoCalibration::confirmLpg()
{
    CDiag record;
    if (m_device.readLiveData(record) == CLPGDevice::kLiveOk && !isLpgState(record.fuelState()))
        return fail(kLpgFailed);
    return true;
}

void CAutoCalibration::logSuccess()
{
    logRaw(L"", kCalibrationSuccessColour);
    log(L"Autokalibracja zakończona pomyślnie.", kCalibrationSuccessColour);
    log(L"Zbierz mapę benzynową i gazową podczas jazdy.", kCalibrationSuccessColour);
}

void CAutoCalibration::logAdviceLines(bool smallerInjectors)
{
    log(smallerInjectors ? L"Zalecana jest zmiana wtryskiwaczy na mniejsze."
                         : L"Zalecana jest zmiana wtryskiwaczy na większe.");
}

void CAutoCalibration::logTooSmall(const wchar_t* firstLine, const wchar_t* rangeLine)
{
    log(firstLine);
    log(rangeLine);
    log(L"Aby poprawnie ustawić sterownik spróbuj wykonać nastepujące czynności:");
    log(L"-zmienić wtryskiwacze na mniejsze lub ");
    log(L"-obniżyć ciśnienie reduktora");
    m_outcome = CalibrationOutcome::Failed;
}

// ---- The normal procedure ----

bool CAutoCalibration::runNormal()
{
    CSettingsImage& image = m_device.liveImage();
    const int w = waitingLength(image.m_base.m_emulatorDelay, injectors(), m_device.isDemo());
    beginProgress(w, false);
    log(L"Ustal wolne obroty");

    if (!check(m_device.readBlock(CReadBlocks::Base) && m_device.readBlock(CReadBlocks::Adv) && m_device.readBlock(CReadBlocks::MainCorr), kReadFailed))
        return false;
    m_device.events().imageChanged(ImageBlock::Base);
    m_device.events().imageChanged(ImageBlock::Adv);
    const double c0 = image.m_mainCorr.m_mainCorr[0];
    if (!setAllCorrections(c0) || !setRunDelay(0))
        return false;

    if (!switchFuel(CWriteSession::Command::Petrol, kPetrolFailed) || !waitRecords(w))
        return false;
    if (!switchFuel(CWriteSession::Command::Auto, kLpgFailed) || !pause(kAutoPauseMs)
        || !switchFuel(CWriteSession::Command::Lpg, kLpgFailed) || !waitRecords(w))
        return false;
    if (!confirmLpg())
        return false;

    double time = 0;
    double pressure = 0;
    if (!measure(time, pressure))
        return false;
    pressureStep(pressure);
    if (!switchFuel(CWriteSession::Command::Petrol, kPetrolFailed) || !check(writeBlock(CReadBlocks::Base), kWriteFailed))
        return false;
    m_device.events().imageChanged(ImageBlock::Base);

    std::array<double, 3> differences {};
    for (int pass = 0; pass < 3; ++pass) {
        double petrol = 0;
        double lpg = 0;
        if (!switchFuel(CWriteSession::Command::Petrol, kPetrolFailed) || !waitRecords(w) || !measure(petrol, pressure))
            return false;
        if (!switchFuel(CWriteSession::Command::Lpg, kLpgFailed) || !waitRecords(w) || !measure(lpg, pressure))
            return false;
        differences[static_cast<std::size_t>(pass)] = lpg - petrol;
        logDebug(kLog, "pass " + std::to_string(pass) + ": difference " + toUtf8(calibrationNumber(lpg - petrol)));
        if (pass != 0)
            continue;

        double candidate = c0 + differences[0];
        if (candidate < kMinCorrection) {
            logTooSmall(L"Wyliczono zbyt małą korektę.", kRangeLine);
            return false;
        }
        if (candidate > kMaxCorrection) {
            candidate = kMaxCorrection;
            logRaw(translate(L"Wyliczona korekta: ") + calibrationNumber(kMaxCorrection)
                   + translate(L" ms jest za duża."));
            log(kRangeLine);
            log(L"Należy zmienić wtryskiwacze na większe.");
        } else if (!(image.m_advancedSetup.m_advancedFlags & kNoAdviceFlag)
                   && (candidate < kRecommendedLow || candidate > kRecommendedHigh)) {
            logRaw(translate(L"Wyliczona korekta: ") + calibrationNumber(candidate) + translate(L" ms "));
            log(L"nie mieści się w zalecanym zakresie od 0.5ms do 1.5ms.");
            logAdviceLines(candidate < kRecommendedLow);
        }
        if (!setAllCorrections(candidate))
            return false;
    }

    const std::vector<double> kept = keptDifferences(differences);
    if (kept.empty())
        return fail(L"Błąd autokalibracji. Wszystkie wartości średnie zostały odrzucone");
    double sum = 0;
    for (double d : kept)
        sum += d;
    const double final
        = std::clamp(image.m_mainCorr.m_mainCorr[0] + sum / static_cast<double>(kept.size()), kMinCorrection,
                     kMaxCorrection);
    setProgress(kProgressBeforeLastWrite);
    if (!setAllCorrections(final))
        return false;
    image.m_base.m_emulatorDelay = m_keptDelay;
    if (!check(writeBlock(CReadBlocks::Base), kWriteFailed))
        return false;
    m_device.events().imageChanged(ImageBlock::Base);
    send(CWriteSession::Command::Auto); // as the page does: the result is not judged
    m_leftChanged.clear();
    setProgress(kProgressEnd);
    logSuccess();
    return true;
}
