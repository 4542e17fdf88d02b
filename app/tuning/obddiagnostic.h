// SPDX-License-Identifier: GPL-3.0-or-later
// The OBD state of a device, composed into it as its OBD gateway: the two OBD
// records, the link to the car's engine computer through the controller's
// gateway, the eight OBD readings polled one per turn, and the car's trouble
// codes. A subclass supplies the relays (the protected hooks below); the
// device's own are in deviceobd.h.
//
// Threads: everything runs on the GUI thread except the reading texts, which
// the diagnostic recording also reads on the polling thread; they have their
// own lock. Port errors of the relays pass through as thrown IError*.
// Messages go through the user-interaction seam, captioned "KORVANA".
#pragma once

#include <app/device/obdgateway.h>
#include <app/tuning/obdanswer.h>
#include <app/tuning/obdrecords.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CDiag;

class CObdDiagnostic : public IObdGateway {
public:
    static constexpr int kReadingCount = 8;
    static constexpr std::size_t kRequestSize = 20;
    using Request = std::array<uint8_t, kRequestSize>;

    // How "Włącz OBD" looks for the engine computer, in this order.
    struct CAttempt {
        uint32_t requestAddress;
        uint8_t speed;
        uint8_t protocol;
    };
    static const std::array<CAttempt, 6> kAttempts;

    struct CReading {
        uint8_t pid;
        int interval; // requested on every (interval + 1)-th turn that falls to it
        int counter = 0;
        bool enabled = true;
    };

    enum class Outcome {
        Done,
        Declined, // the fitter answered No
        NoAnswer, // no control unit answered
        Refused, // the car answered but did not confirm
        Failed, // the controller did not relay the request (message shown)
        Incomplete, // the car answered, but not with a whole VIN
    };
    static constexpr std::size_t kVinLength = 17;

    CObdDiagnostic();
    CObdDiagnostic(const CObdDiagnostic&) = delete;
    CObdDiagnostic& operator=(const CObdDiagnostic&) = delete;
    ~CObdDiagnostic() override = default;

    // ---- Readings ----
    // Reading i = 0 … 7: STFT B1, LTFT B1, STFT B2, LTFT B2, O2 B1-1, B1-2, B2-1, B2-2.
    // Out-of-range indices read empty and are not written.
    std::wstring readingText(int i) const;
    void setReadingText(int i, const std::wstring& text);
    void clearReadingTexts();
    // The number at the start of reading i's text; 0 when there is none or i is out of range.
    double value(int i) const override;
    const CReading& reading(int i) const { return m_readings.at(static_cast<std::size_t>(i)); }
    int readingIndex() const { return m_readingIndex; }

    // ---- The link to the engine computer ----
    // After connecting to the controller: reads both records and, when OBD is
    // on, identifies the engine computer and its readings. True when the link
    // is established and both identifying requests were answered.
    bool setupStep();
    // How many times the setup step has run; a page that shows the records
    // fills itself again when this moves on (new records, a new connection).
    unsigned setupCount() const { return m_setupCount; }
    // One connection attempt: writes the connection record for this bus and
    // identifies the engine computer. Does not set established.
    bool connect(uint32_t requestAddress, uint8_t speed, uint8_t protocol);
    // "Włącz OBD" with choice 4 (automatic: the present bus, then every
    // attempt) or 1 … 3 (the attempts of that protocol). Returns the protocol
    // found (established set), or 0 when none answered; the connection
    // record is then written back as it was before the detection.
    uint8_t detect(uint8_t choice);
    // "Włącz OBD" off: OBD and the automatic corrections switched off.
    bool switchOff();
    // One turn of the readings poll; true when a reading was taken.
    bool pollStep();
    // The main view's timer: every second call runs the poll step.
    void backgroundPoll();

    bool established() const { return m_established; }
    void setEstablished(bool on) { m_established = on; }
    // The address the engine computer answered from; 0 while unknown.
    uint32_t engineAddress() const { return m_engineAddress; }
    const std::wstring& protocolText() const { return m_protocolText; }
    // The OBD standard the car claims (PID 0x1C), empty when unknown.
    const std::wstring& standardText() const { return m_standardText; }
    // Requests and record reads that the controller did not answer cleanly
    // (a disturbed or lost link, not a silent engine computer), counted since
    // construction: a caller compares it before and after a step.
    unsigned linkFailures() const { return m_linkFailures; }

    CObdSettingsRecord& settingsRecord() { return m_settings; }
    CObdMapConfig& mapConfig() { return m_config; }
    const CObdMapConfig& mapConfig() const { return m_config; }
    // Writes the configuration record as it stands (after a page's change);
    // "Nie powiodło się ustawienie urządzenia!" when the controller refused it.
    bool storeMapConfig();
    // The controller's current corrections of bank 1 and bank 2 in percent:
    // asked from the controller with separate banks, else byte 15 of the
    // newest live record − 100 for both. False when neither is at hand.
    bool currentCorrections(double& bank1, double& bank2);

    // ---- Trouble codes ----
    // The engine computer's stored codes (empty in demo mode).
    Outcome readTroubleCodes(std::vector<uint16_t>& codes);
    // Asks first; then service 0x04. Done only when the car confirmed.
    Outcome clearTroubleCodes();
    // What this connection did with the codes (the customer's report): the
    // codes last read, whether any read was done, and whether the car
    // confirmed a clear after that read.
    const std::vector<uint16_t>& codesRead() const { return m_codesRead; }
    bool codesWereRead() const { return m_codesWereRead; }
    bool codesCleared() const { return m_codesCleared; }

    // ---- Vehicle identification ----
    // The car's VIN (service 0x09, PID 0x02) from the engine computer. vin is
    // set only on Done, with 17 characters: an answer of any other length, or
    // with a character a VIN cannot hold, is Incomplete and never shown in part.
    Outcome readVin(std::wstring& vin);
    // Whether text is a whole VIN: 17 of 0-9 and A-Z without I, O and Q.
    static bool wholeVin(std::string_view text);

    // ---- Pure rules ----
    static uint32_t answerAddress(uint32_t requestAddress, uint32_t engineAddress);
    static uint32_t answerMask(uint32_t requestAddress, uint32_t engineAddress);
    static Request makeRequest(uint32_t requestAddress, uint32_t engineAddress, std::span<const uint8_t> data);
    // The enabled flags of the eight readings from the answer to PID 0x00
    // (A the most significant byte); entries 0 and 1 when none is supported.
    static std::array<bool, kReadingCount> supportedReadings(uint32_t bitmap);
    // The reading's value as text: trims in percent with the inversion and
    // divider options of the configuration record, oxygen sensors in volts.
    static std::wstring readingValueText(int reading, uint8_t a, uint8_t advancedFlags);
    // The protocol line: "CAN 11-bit 500kb/s" … on CAN, the protocol's name on the K-line.
    static std::wstring protocolName(uint32_t requestAddress, uint8_t speed, uint8_t protocol);
    // PID 0x1C: the OBD standard; empty for an unknown value.
    static std::wstring standardName(uint8_t value);
    // Demo readings start again from their first values (tests).
    static void resetDemoReadings();

protected:
    // The relays and state of the device (CDeviceObd).
    virtual bool obdLinkConnected() const = 0;
    virtual bool obdDemo() const = 0;
    virtual bool obdGatewayFitted() const = 0; // bit 0 of the identity's m_flags1
    virtual bool obdLatestReadings(CDiag& record) const = 0;
    virtual bool obdReadSettings(std::array<uint8_t, 12>& record) = 0;
    virtual bool obdWriteSettings(const std::array<uint8_t, 12>& record) = 0;
    virtual bool obdReadConfig(std::array<uint8_t, 18>& record) = 0;
    virtual bool obdWriteConfig(const std::array<uint8_t, 18>& record) = 0;
    virtual bool obdReadCorrections(double& first, double& second) = 0;
    // The record-24 payload of one exchange; false when the controller did not relay it.
    virtual bool obdRelay(const Request& request, std::vector<uint8_t>& answer) = 0;

private:
    bool send(std::span<const uint8_t> data, CObdAnswer& answer);
    bool identify();
    // The attempts of detect; the protocol found, or 0.
    uint8_t findEngine(uint8_t choice);
    void readStandard();
    bool demoPollStep();

    mutable std::mutex m_textsLock;
    std::array<std::wstring, kReadingCount> m_texts;

    std::array<CReading, kReadingCount> m_readings;
    CObdSettingsRecord m_settings;
    CObdMapConfig m_config;
    bool m_established = false;
    int m_readingIndex = 0;
    int m_pollCountdown = 2;
    unsigned m_setupCount = 0;
    uint32_t m_engineAddress = 0;
    std::wstring m_protocolText;
    std::wstring m_standardText;
    unsigned m_linkFailures = 0;
    std::vector<uint16_t> m_codesRead;
    bool m_codesWereRead = false;
    bool m_codesCleared = false;
};
