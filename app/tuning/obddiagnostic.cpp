// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/tuning/obddiagnostic.h>

#include <app/data/diag.h>
#include <app/data/translate.h>
#include <app/platform/log.h>
#include <app/platform/userinteraction.h>
#include <errkit/errorguard.h>
#include <errkit/ierror.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cwctype>

namespace {

constexpr const char* kLog = "obd";
constexpr const wchar_t* kCaption = L"KORVANA";

constexpr uint8_t kCanProtocol = 3;
constexpr uint8_t kAutomatic = 4;
constexpr uint8_t kPidSupported = 0x00;
constexpr uint8_t kPidStatus = 0x01;
constexpr uint8_t kPidStft1 = 0x06;
constexpr uint8_t kPidStandard = 0x1C;
constexpr uint8_t kPidVin = 0x02; // of service 0x09
constexpr const wchar_t* kDemoVin = L"KRVZZZ1ZZDM000417";
// The K-line needs its (slow or fast) initialisation before the first request.
constexpr unsigned kSlowInitWaitMs = 5000;
constexpr unsigned kFastInitWaitMs = 2000;

// Program-wide demo readings: the two short-term trims wander between −3 and 15 %.
struct DemoTrims {
    double s1 = 8.11;
    double s2 = 7.83;
    double d = 0.02;
};
DemoTrims g_demo;

void showError(const wchar_t* text)
{
    userInteraction().message(translate(text), kCaption, MsgIcon::Error);
}

std::wstring fixed2(double v)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 2);
    if (error != std::errc {})
        return {};
    return std::wstring(buffer, end);
}

std::string hex(uint32_t v)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

} // namespace

const std::array<CObdDiagnostic::CAttempt, 6> CObdDiagnostic::kAttempts = { {
    { 0x7DF, 2, 3 },
    { 0x18DB33F1, 2, 3 },
    { 0x7DF, 1, 3 },
    { 0x18DB33F1, 1, 3 },
    { 0x686A6F, 3, 1 },
    { 0xC133F1, 3, 2 },
} };

CObdDiagnostic::CObdDiagnostic()
    : m_readings { {
        { 0x06, 0 },
        { 0x07, 0 },
        { 0x08, 0 },
        { 0x09, 0 },
        { 0x14, 0 },
        { 0x15, 5 },
        { 0x18, 0 },
        { 0x19, 5 },
    } }
{
}

// ---- Readings ----

std::wstring CObdDiagnostic::readingText(int i) const
{
    if (i < 0 || i >= kReadingCount)
        return {};
    std::lock_guard lock(m_textsLock);
    return m_texts[static_cast<std::size_t>(i)];
}

void CObdDiagnostic::setReadingText(int i, const std::wstring& text)
{
    if (i < 0 || i >= kReadingCount)
        return;
    std::lock_guard lock(m_textsLock);
    m_texts[static_cast<std::size_t>(i)] = text;
}

void CObdDiagnostic::clearReadingTexts()
{
    std::lock_guard lock(m_textsLock);
    for (auto& text : m_texts)
        text.clear();
}

double CObdDiagnostic::value(int i) const
{
    const std::wstring text = readingText(i);
    // The texts are plain ASCII numbers; from_chars never looks at the locale.
    std::string narrow;
    std::size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at])))
        ++at;
    for (; at < text.size() && text[at] < 0x80; ++at)
        narrow += static_cast<char>(text[at]);
    if (!narrow.empty() && narrow[0] == '+')
        narrow.erase(0, 1);
    double result = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), result);
    (void)end;
    return error == std::errc {} ? result : 0;
}

// ---- Pure rules ----

uint32_t CObdDiagnostic::answerAddress(uint32_t requestAddress, uint32_t engineAddress)
{
    if (engineAddress != 0)
        return engineAddress;
    return requestAddress <= 0x7FF ? 0x7E8 : 0x18DAF100;
}

uint32_t CObdDiagnostic::answerMask(uint32_t requestAddress, uint32_t engineAddress)
{
    if (requestAddress <= 0x7FF)
        return 0x7EF;
    return engineAddress != 0 ? (engineAddress | 0xFF) : 0x18DAF100;
}

CObdDiagnostic::Request CObdDiagnostic::makeRequest(
    uint32_t requestAddress, uint32_t engineAddress, std::span<const uint8_t> data)
{
    Request r {};
    const uint32_t words[3]
        = { requestAddress, answerAddress(requestAddress, engineAddress), answerMask(requestAddress, engineAddress) };
    for (std::size_t w = 0; w < 3; ++w)
        for (std::size_t b = 0; b < 4; ++b)
            r[4 * w + b] = static_cast<uint8_t>(words[w] >> (8 * b));
    // The message: its length byte, then the service and (service 0x01) the PID.
    r[12] = static_cast<uint8_t>(std::min<std::size_t>(data.size(), 7));
    for (std::size_t i = 0; i < data.size() && i < 7; ++i)
        r[13 + i] = data[i];
    return r;
}

std::array<bool, CObdDiagnostic::kReadingCount> CObdDiagnostic::supportedReadings(uint32_t bitmap)
{
    std::array<bool, kReadingCount> on {};
    static constexpr uint8_t kPids[kReadingCount] = { 0x06, 0x07, 0x08, 0x09, 0x14, 0x15, 0x18, 0x19 };
    bool any = false;
    for (int i = 0; i < kReadingCount; ++i) {
        on[static_cast<std::size_t>(i)] = (bitmap >> (32 - kPids[i]) & 1) != 0;
        any = any || on[static_cast<std::size_t>(i)];
    }
    if (!any)
        on[0] = on[1] = true;
    return on;
}

std::wstring CObdDiagnostic::readingValueText(int reading, uint8_t a, uint8_t advancedFlags)
{
    if (reading >= 4)
        return fixed2(a * 0.005);
    const bool longTerm = reading == 1 || reading == 3;
    double t = a * 100 * 0.0078125;
    if (advancedFlags & (longTerm ? CObdMapConfig::kLtftInverted : CObdMapConfig::kStftInverted))
        t = 200 - t;
    if (advancedFlags & CObdMapConfig::kCorrDivider)
        t = 100 + (t - 100) / 5;
    return fixed2(t - 100);
}

std::wstring CObdDiagnostic::standardName(uint8_t value)
{
    switch (value) {
    case 1:
        return L"OBD II (California ARB)";
    case 2:
        return L"OBD (Federal EPA)";
    case 3:
        return L"OBD and OBD II";
    case 4:
        return L"OBD I";
    case 5:
        return L"No OBD";
    case 6:
        return L"OBD Europe (EOBD)";
    default:
        return {};
    }
}

std::wstring CObdDiagnostic::protocolName(uint32_t requestAddress, uint8_t speed, uint8_t protocol)
{
    switch (protocol) {
    case kCanProtocol:
        return std::wstring(requestAddress > 0x7FF ? L"CAN 29-bit " : L"CAN 11-bit ")
            + (speed == 2 ? L"500kb/s" : L"250kb/s");
    // On the K-line the line names the protocol as the "Włącz OBD" list does.
    case 1:
        return L"ISO 9141-2 & ISO 14230-4 Slow Init";
    case 2:
        return L"ISO 14230-4 Fast Init";
    default:
        return {};
    }
}

void CObdDiagnostic::resetDemoReadings()
{
    g_demo = DemoTrims {};
}

// ---- The link ----

bool CObdDiagnostic::send(std::span<const uint8_t> data, CObdAnswer& answer)
{
    std::vector<uint8_t> payload;
    if (!obdRelay(makeRequest(m_settings.requestAddress, m_engineAddress, data), payload)) {
        ++m_linkFailures;
        return false;
    }
    answer = CObdAnswer(payload);
    return true;
}

bool CObdDiagnostic::identify()
{
    // Whoever answers PID 0x06 first is the engine computer; later requests
    // are filtered to its address.
    m_engineAddress = 0;
    CObdAnswer answer;
    const uint8_t stft[] = { 0x01, kPidStft1 };
    if (!send(stft, answer) || answer.empty() || !CObdAnswer::isPidAnswer(answer.frames()[0], kPidStft1))
        return false;
    m_engineAddress = answer.frames()[0].from;

    const uint8_t supported[] = { 0x01, kPidSupported };
    if (!send(supported, answer))
        return false;
    for (const CObdFrame& f : answer.frames()) {
        if (f.from != m_engineAddress || !CObdAnswer::isPidAnswer(f, kPidSupported))
            continue;
        const uint32_t bitmap = static_cast<uint32_t>(f.data[3]) << 24 | static_cast<uint32_t>(f.data[4]) << 16
            | static_cast<uint32_t>(f.data[5]) << 8 | f.data[6];
        const auto on = supportedReadings(bitmap);
        for (std::size_t i = 0; i < m_readings.size(); ++i)
            m_readings[i].enabled = on[i];
        logInfo(kLog, "engine computer at " + hex(m_engineAddress) + ", supported PIDs " + hex(bitmap));
        return true;
    }
    return false;
}

void CObdDiagnostic::readStandard()
{
    m_standardText.clear();
    CObdAnswer answer;
    const uint8_t standard[] = { 0x01, kPidStandard };
    if (!send(standard, answer))
        return;
    for (const CObdFrame& f : answer.frames())
        if (f.from == m_engineAddress && CObdAnswer::isPidAnswer(f, kPidStandard)) {
            m_standardText = standardName(f.data[3]);
            return;
        }
}

bool CObdDiagnostic::setupStep()
{
    ++m_setupCount;
    m_readingIndex = 0;
    if (!obdLinkConnected() || !obdGatewayFitted())
        return false;
    if (obdDemo()) {
        // Sends nothing: the demo records show OBD on at 500 kbit/s for the page.
        std::array<uint8_t, 12> settings {};
        std::array<uint8_t, 18> config {};
        if (obdReadSettings(settings))
            m_settings = CObdSettingsRecord::fromBytes(settings);
        if (obdReadConfig(config))
            m_config = CObdMapConfig::fromBytes(config);
        m_established = true;
        m_protocolText = L"CAN 11-bit 500kb/s";
        return true;
    }
    std::array<uint8_t, 12> settings {};
    if (!obdReadSettings(settings)) {
        ++m_linkFailures;
        showError(L"Nie powiodło się odczytanie ustawień urządzenia!");
        return false;
    }
    m_settings = CObdSettingsRecord::fromBytes(settings);
    m_established = m_settings.enabled == 1;
    std::array<uint8_t, 18> config {};
    if (!obdReadConfig(config)) {
        ++m_linkFailures;
        showError(L"Nie powiodło się odczytanie ustawień urządzenia!");
        return false;
    }
    m_config = CObdMapConfig::fromBytes(config);
    if (!m_established)
        return false;
    if (!identify())
        return false;
    // The protocol and standard lines of the OBD page need them as well.
    readStandard();
    m_protocolText = protocolName(m_settings.requestAddress, m_settings.speed, m_settings.protocol);
    return true;
}

bool CObdDiagnostic::connect(uint32_t requestAddress, uint8_t speed, uint8_t protocol)
{
    if (obdDemo()) {
        m_protocolText = L"CAN 11-bit 500kb/s";
        return true;
    }
    m_protocolText.clear();
    m_settings.enabled = 1;
    m_settings.requestAddress = requestAddress;
    m_settings.answerAddress = answerAddress(requestAddress, 0);
    m_settings.speed = speed;
    if (m_settings.byte10 < CObdSettingsRecord::kMinByte10)
        m_settings.byte10 = CObdSettingsRecord::kMinByte10;
    m_settings.protocol = protocol;
    if (!obdWriteSettings(m_settings.toBytes()))
        return false;
    if (protocol == 1)
        userInteraction().sleep(kSlowInitWaitMs);
    else if (protocol == 2)
        userInteraction().sleep(kFastInitWaitMs);
    if (!identify())
        return false;
    readStandard();
    m_protocolText = protocolName(requestAddress, speed, protocol);
    return true;
}

uint8_t CObdDiagnostic::detect(uint8_t choice)
{
    clearReadingTexts();
    m_readingIndex = 0;
    // What the controller held before: every attempt rewrites the record for its bus.
    const CObdSettingsRecord present = m_settings;
    const uint32_t engineBefore = m_engineAddress;
    uint8_t found = 0;
    try {
        found = findEngine(choice);
    } catch (IError*) {
        // The link broke off mid-search: one try to leave the controller on its own bus.
        m_established = false;
        m_settings = present;
        m_engineAddress = engineBefore;
        try {
            if (!obdWriteSettings(m_settings.toBytes()))
                logWarning(kLog, "the connection record could not be put back after a link error");
        } catch (IError* again) {
            CErrorGuard error(again);
            logSwallowed(kLog, "CObdDiagnostic::detect()", *error);
        }
        throw;
    }
    if (found != 0)
        return found;
    m_established = false;
    logInfo(kLog, "no engine computer answered: the connection record goes back as it was");
    // A car that did not answer now (engine off, wrong moment) keeps the bus it was fitted on.
    m_settings = present;
    m_engineAddress = engineBefore;
    if (!obdWriteSettings(m_settings.toBytes()))
        showError(L"Nie powiodło się ustawienie urządzenia!");
    return 0;
}

uint8_t CObdDiagnostic::findEngine(uint8_t choice)
{
    if (choice == kAutomatic) {
        const CObdSettingsRecord present = m_settings;
        if (connect(present.requestAddress, present.speed, present.protocol)) {
            m_established = true;
            // The demo car is on CAN whatever the demo record names.
            return obdDemo() && present.protocol == 0 ? kCanProtocol : present.protocol;
        }
    }
    for (const CAttempt& attempt : kAttempts) {
        if (choice != kAutomatic && attempt.protocol != choice)
            continue;
        if (connect(attempt.requestAddress, attempt.speed, attempt.protocol)) {
            m_established = true;
            logInfo(kLog, "engine computer found at request address " + hex(attempt.requestAddress));
            return attempt.protocol;
        }
    }
    return 0;
}

bool CObdDiagnostic::switchOff()
{
    m_settings.enabled = 0;
    if (!obdWriteSettings(m_settings.toBytes())) {
        showError(L"Nie powiodło się ustawienie urządzenia!");
        return false;
    }
    m_established = false;
    m_config.corrections = 0;
    if (!obdWriteConfig(m_config.toBytes())) {
        showError(L"Nie powiodło się ustawienie urządzenia!");
        return false;
    }
    clearReadingTexts();
    m_protocolText.clear();
    return true;
}

bool CObdDiagnostic::pollStep()
{
    if (!obdLinkConnected() || !m_established)
        return false;
    if (obdDemo())
        return demoPollStep();
    // The next enabled entry, wrapping from 8 to 0; connect leaves at least one enabled.
    for (int tries = 0; tries <= kReadingCount; ++tries) {
        if (m_readingIndex >= kReadingCount)
            m_readingIndex = 0;
        if (m_readings[static_cast<std::size_t>(m_readingIndex)].enabled)
            break;
        ++m_readingIndex;
    }
    CReading& entry = m_readings[static_cast<std::size_t>(m_readingIndex)];
    if (!entry.enabled) {
        ++m_readingIndex;
        return false;
    }
    if (entry.counter != entry.interval) {
        ++entry.counter;
        ++m_readingIndex;
        return false;
    }
    entry.counter = 0;
    CObdAnswer answer;
    const uint8_t request[] = { 0x01, entry.pid };
    const bool sent = send(request, answer);
    ++m_readingIndex;
    // One frame, and from the engine computer: another unit's answer is not the engine's trim.
    if (!sent || answer.size() != 1)
        return false;
    const CObdFrame& frame = answer.frames()[0];
    if (m_engineAddress != 0 && frame.from != m_engineAddress)
        return false;
    if (frame.data[1] != 0x41)
        return true;
    for (int k = 0; k < kReadingCount; ++k) {
        const CReading& r = m_readings[static_cast<std::size_t>(k)];
        if (r.enabled && r.pid == frame.data[2])
            setReadingText(k, readingValueText(k, frame.data[3], m_config.advancedFlags));
    }
    return true;
}

bool CObdDiagnostic::demoPollStep()
{
    CDiag newest;
    const bool held = obdLatestReadings(newest);
    setReadingText(0, fixed2(g_demo.s1));
    setReadingText(1, L"3.21");
    setReadingText(2, fixed2(g_demo.s2));
    setReadingText(3, L"2.98");
    setReadingText(4, fixed2(held ? newest.lambda1() : 0));
    setReadingText(5, L"0.43");
    setReadingText(6, fixed2(held ? newest.lambda2() : 0));
    setReadingText(7, L"0.48");
    g_demo.s1 += g_demo.d;
    g_demo.s2 += g_demo.d;
    if (g_demo.s1 > 15.0 || g_demo.s1 < -3.0)
        g_demo.d = -g_demo.d;
    return true;
}

void CObdDiagnostic::backgroundPoll()
{
    if (--m_pollCountdown > 0)
        return;
    m_pollCountdown = 2;
    pollStep();
}

bool CObdDiagnostic::storeMapConfig()
{
    if (obdWriteConfig(m_config.toBytes()))
        return true;
    showError(L"Nie powiodło się ustawienie urządzenia!");
    return false;
}

bool CObdDiagnostic::currentCorrections(double& bank1, double& bank2)
{
    if (m_config.corrections & CObdMapConfig::kSeparateBanks)
        return obdReadCorrections(bank1, bank2);
    CDiag newest;
    if (!obdLatestReadings(newest))
        return false;
    bank1 = bank2 = newest.u8(15) - 100.0;
    return true;
}

// ---- Trouble codes ----

CObdDiagnostic::Outcome CObdDiagnostic::readTroubleCodes(std::vector<uint16_t>& codes)
{
    codes.clear();
    if (obdDemo())
        return Outcome::Done;
    CObdAnswer status;
    const uint8_t statusRequest[] = { 0x01, kPidStatus };
    if (!send(statusRequest, status)) {
        showError(L"Nie można wczytać błędów OBD!");
        return Outcome::Failed;
    }
    if (status.empty())
        return Outcome::NoAnswer;
    for (const CObdFrame& unit : status.frames()) {
        if (!CObdAnswer::isPidAnswer(unit, kPidStatus))
            continue;
        const unsigned stored = unit.data[3] & 0x7F;
        if (stored == 0)
            continue;
        CObdAnswer answer;
        const uint8_t codesRequest[] = { 0x03 };
        if (!send(codesRequest, answer)) {
            showError(L"Nie można wczytać błędów OBD!");
            return Outcome::Failed;
        }
        // Only this unit's frames: segments of two units must not be joined.
        const auto found = answer.troubleCodes(m_settings.protocol, stored, unit.from);
        codes.insert(codes.end(), found.begin(), found.end());
    }
    logInfo(kLog, std::to_string(codes.size()) + " trouble codes read");
    m_codesRead = codes;
    m_codesWereRead = true;
    m_codesCleared = false;
    return Outcome::Done;
}

CObdDiagnostic::Outcome CObdDiagnostic::clearTroubleCodes()
{
    if (!userInteraction().question(translate(L"Czy chcesz skasować błędy OBD?"), kCaption, MsgIcon::Question, false))
        return Outcome::Declined;
    if (obdDemo()) {
        m_codesCleared = true;
        return Outcome::Done;
    }
    CObdAnswer answer;
    const uint8_t clearRequest[] = { 0x04 };
    if (!send(clearRequest, answer)) {
        showError(L"Nie powiodło się skasowanie błędów OBD!");
        return Outcome::Failed;
    }
    if (answer.empty())
        return Outcome::NoAnswer;
    if (answer.frames()[0].data[1] != 0x44)
        return Outcome::Refused;
    logInfo(kLog, "trouble codes cleared");
    m_codesCleared = true;
    return Outcome::Done;
}

// ---- Vehicle identification ----

bool CObdDiagnostic::wholeVin(std::string_view text)
{
    return text.size() == kVinLength && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z' && c != 'I' && c != 'O' && c != 'Q');
    });
}

CObdDiagnostic::Outcome CObdDiagnostic::readVin(std::wstring& vin)
{
    vin.clear();
    if (obdDemo()) {
        vin = kDemoVin;
        return Outcome::Done;
    }
    CObdAnswer answer;
    const uint8_t request[] = { 0x09, kPidVin };
    if (!send(request, answer)) {
        showError(L"Nie można odczytać VIN!");
        return Outcome::Failed;
    }
    if (answer.empty())
        return Outcome::NoAnswer;
    const std::string text = answer.vinCharacters(m_settings.protocol, m_engineAddress);
    if (!wholeVin(text)) {
        logInfo(kLog, "VIN answer of " + std::to_string(text.size()) + " characters taken as incomplete");
        return Outcome::Incomplete;
    }
    vin.assign(text.begin(), text.end());
    logInfo(kLog, "VIN read");
    return Outcome::Done;
}
