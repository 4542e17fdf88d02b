// SPDX-License-Identifier: GPL-3.0-or-later
// The controller as a function of requests: onFrame takes one request (type
// and plain payload) and gives the answer the controller sends, or nothing
// when it stays silent. Application mode answers the command set, bootloader
// mode only identification and programming. No link, no clock of its own:
// the caller feeds requests and advances simulated time.
#pragma once

#include <tools/sim/bootloader.h>
#include <tools/sim/enginemodel.h>
#include <tools/sim/obdecu.h>
#include <tools/sim/requestreader.h>
#include <tools/sim/simstore.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

struct SimConfig {
    SimIdentity identity;
    bool bootloader = false; // start without a valid application
    ObdBus bus = ObdBus::Can11;
    uint8_t canSpeed = 2; // 500 kbit/s
    uint32_t seed = 1;
    EngineState engine = EngineState::Idle;
    FuelMode fuel = FuelMode::Auto;
    // Every main correction at this value (ms) instead of the fitted car's.
    std::optional<double> mainCorr;
};

class CController {
public:
    // Negative answer: type 2, byte 0 = 0, byte 1 = the refused command code or record type.
    static constexpr uint8_t kRefused = 0;
    static constexpr uint8_t kAcknowledge = 4;
    static constexpr uint8_t kBootloaderAnswer = 5;
    // The type a garbled answer goes out with: no record of the command set has it.
    static constexpr uint8_t kGarbledType = 0x7E;
    static constexpr uint8_t kReadingsAllowed = 85;

    // A new controller holding the fitted car.
    explicit CController(const SimConfig& config);
    CController(const CController&) = delete;
    CController& operator=(const CController&) = delete;

    std::optional<SimMessage> onFrame(uint8_t type, const std::vector<uint8_t>& payload);
    void advance(double seconds) { m_engine.advance(seconds); }

    CSimStore& store() { return m_store; }
    CEngineModel& engine() { return m_engine; }
    CBootloader& bootloader() { return m_boot; }
    CObdEcu& ecu() { return m_ecu; }
    bool bootloaderMode() const { return m_boot.active(); }
    // Puts the bootloader state loaded from a file (model taken from the store's identity).
    void restoreBootloader(bool active, bool appValid);

    // Records of this type are refused before they take effect (0: none), as a
    // controller that will not take a record does.
    void setRefusedRecord(uint8_t type) { m_refusedRecord = type; }
    // Every answer of this type goes out with another type (0 = none): a
    // block that never reads, however often it is asked for.
    void setGarbledRecord(uint8_t type) { m_garbledRecord = type; }
    uint8_t garbledRecord() const { return m_garbledRecord; }
    // After count acknowledged writes of record type the controller falls
    // silent until cut(0, 0): a cable pulled in the middle of a write.
    void cut(uint8_t type, unsigned count)
    {
        m_cutType = type;
        m_cutCount = count;
        m_silent = false;
    }
    bool silent() const { return m_silent; }
    uint8_t refusedRecord() const { return m_refusedRecord; }

    // Whether something worth keeping changed since the last call: 0 nothing,
    // 1 settings (save soon), 2 bootloader state (save at once).
    int takeSaveRequest();

    // Requests that changed the controller or commanded it (writes, fuel
    // switches, action commands, bootloader frames other than its queries)
    // since the simulator started: a test tells by it that nothing was sent.
    std::size_t writeCount() const { return m_writes; }
    // Settings reads (identity, blocks, memory) answered since the
    // application last started: a test tells by it that the blocks were read
    // again after a programming.
    std::size_t readCount() const { return m_reads; }

private:
    std::optional<SimMessage> application(uint8_t type, const std::vector<uint8_t>& payload);
    std::optional<SimMessage> applicationCommand(const std::vector<uint8_t>& payload);
    std::optional<SimMessage> bootloaderFrame(uint8_t type, const std::vector<uint8_t>& payload);
    SimMessage applyMapEdit();
    void settingsChanged();

    CSimStore m_store;
    CEngineModel m_engine;
    CBootloader m_boot;
    CObdEcu m_ecu;
    std::optional<std::array<uint8_t, 6>> m_mapEdit; // record 13, applied by 0x13
    bool m_mapClear = false; // 0x14, applied by 0x13
    int m_saveRequest = 0;
    uint8_t m_refusedRecord = 0;
    uint8_t m_garbledRecord = 0;
    uint8_t m_cutType = 0;
    unsigned m_cutCount = 0;
    bool m_silent = false;
    std::size_t m_writes = 0;
    std::size_t m_reads = 0;
};

SimMessage acknowledge(uint8_t code);
SimMessage refusal(uint8_t code);
