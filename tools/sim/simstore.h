// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's memory as the simulator keeps it: the settings records as
// raw payloads per record code, the EEPROM area that holds the 288-byte map
// page, the identity, the statistics counters, the error bits and the petrol
// and LPG maps of the 2D chart. It knows record lengths and byte positions,
// never the engineering units: decoding is left to the PC under test.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct SimIdentity {
    uint8_t model = 5; // 4, 5, 6 or 16
    uint16_t version = 0x0306; // high byte major, low byte minor
    uint8_t injectors = 4; // 1 … 8
    std::array<uint8_t, 16> serial {};
    uint16_t prodDays = 3000; // days after 1 April 2004
    uint32_t flags1 = 1; // bit 0: the controller has the OBD gateway
    uint32_t flags2 = 0;
};

class CSimStore {
public:
    static constexpr std::size_t kMemorySize = 1024;
    static constexpr uint16_t kMapPageAddress = 246;
    static constexpr std::size_t kMapPageSize = 288;
    static constexpr std::size_t kBlockSize = 32;
    static constexpr int kMapRows = 19;
    static constexpr int kMapColumns = 15;
    static constexpr std::size_t kChartMapLength = 188;
    static constexpr int kChartMapCells = 31;

    // Length of a settings record the PC reads and writes whole (4, 7, 9, 15,
    // 18, 26, 27, 30, 31, 32, 33, 34); 0 for any other code.
    static std::size_t settingsRecordLength(uint8_t code);

    // Every record zero-filled, the memory erased (0xFF) with a valid empty map page.
    CSimStore();

    // A settings record or one of the chart maps (28, 29); throws std::out_of_range for other codes.
    const std::vector<uint8_t>& record(uint8_t code) const;
    std::vector<uint8_t>& record(uint8_t code);
    // Replaces a settings record; false (and nothing changed) for a wrong code or length.
    bool writeRecord(uint8_t code, const std::vector<uint8_t>& bytes);

    // One 32-byte block; false for a block that does not lie inside the memory.
    bool readBlock(uint16_t address, uint8_t* out) const;
    bool writeBlock(uint16_t address, const uint8_t* data);
    std::array<uint8_t, kMemorySize>& memory() { return m_memory; }
    const std::array<uint8_t, kMemorySize>& memory() const { return m_memory; }

    // The map page: (1 + sum of bytes 0 … 285) mod 65536 in bytes 286–287, high first.
    bool mapPageValid() const;
    void sealMapPage();
    // Cell value in percent (byte − 100), row on the injection-time axis.
    int mapCell(int row, int column) const;
    void setMapCell(int row, int column, int percent); // clamped to −50 … +50

    // Answers built from the fields below: identity (record 8, 30 bytes),
    // statistics (record 12, 12 bytes), error bits (record 6, 4 bytes).
    std::vector<uint8_t> identityRecord() const;
    std::vector<uint8_t> statisticsRecord() const;
    std::vector<uint8_t> errorRecord() const;

    // Chart maps: cell b (0 … 30) sums petrol times (0.025 ms units) at byte 4b,
    // counts samples at byte 124 + 2b; the total count sits at byte 186.
    // A sample that would overflow a count is not taken.
    void addChartSample(bool lpg, int cell, uint16_t ticks);
    void clearChartMap(bool lpg);

    SimIdentity identity;
    uint32_t statPetrol = 0; // half-seconds
    uint32_t statLpg = 0; // half-seconds
    uint32_t statModify = 0;
    std::array<uint8_t, 4> errors {};
    // Trouble codes stored in the car's engine computer (two-byte encoding, P0171 = 0x0171).
    std::vector<uint16_t> dtcs;
    // The car's VIN as its engine computer reports it (any length, to play a car that answers short).
    std::string vin = "KRVZZZ1ZZAK012345";

private:
    std::map<uint8_t, std::vector<uint8_t>> m_records;
    std::array<uint8_t, kMemorySize> m_memory {};
};
