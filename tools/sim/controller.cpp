// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/controller.h>

#include <tools/sim/fittedcar.h>
#include <tools/sim/simbytes.h>

#include <algorithm>
#include <cmath>

SimMessage acknowledge(uint8_t code)
{
    return { 2, { CController::kAcknowledge, code, 0, 0, 0, 0 } };
}

SimMessage refusal(uint8_t code)
{
    return { 2, { CController::kRefused, code, 0, 0, 0, 0 } };
}

CController::CController(const SimConfig& config)
    : m_engine(m_store, config.seed)
    , m_boot(config.identity.model)
    , m_ecu(m_engine, m_store, config.bus, config.canSpeed)
{
    m_store.identity = config.identity;
    fillFittedCar(m_store);
    if (config.mainCorr)
        setAllMainCorrections(m_store, *config.mainCorr);
    m_boot.setState(config.bootloader, !config.bootloader);
    m_engine.setControllerHalted(config.bootloader);
    m_engine.setEngine(config.engine);
    m_engine.setFuelMode(config.fuel);
}

void CController::restoreBootloader(bool active, bool appValid)
{
    m_boot = CBootloader(m_store.identity.model);
    m_boot.setState(active, appValid);
    m_engine.setControllerHalted(active);
}

int CController::takeSaveRequest()
{
    const int r = m_saveRequest;
    m_saveRequest = 0;
    return r;
}

void CController::settingsChanged()
{
    ++m_store.statModify;
    m_saveRequest = std::max(m_saveRequest, 1);
}

namespace {

// Command codes that only ask: settings reads, readings, errors, OBD, identification and the bootloader's id.
bool isQuery(uint8_t code)
{
    switch (code) {
    case 0x05: case 0x07: case 0x08: case 0x0B: case 0x0C: case 0x0D: case 0x0E: case 0x11: case 0x16: case 0x1B:
    case 0x22: case 0x23: case 0x24: case 0x25: case 0x26: case 0x27: case 0x2A: case 0x2B: case 0x2C: case 0x2D:
    case 0xC4: case 0xC5: case 0xCC:
        return true;
    default:
        return false;
    }
}

bool isSettingsRead(uint8_t code)
{
    switch (code) {
    case 0x07: case 0x08: case 0x0B: case 0x0C: case 0x0D: case 0x0E: case 0x16: case 0x22: case 0x2A: case 0x2B:
    case 0x2C: case 0x2D:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<SimMessage> CController::onFrame(uint8_t type, const std::vector<uint8_t>& payload)
{
    if (m_silent)
        return std::nullopt;
    const bool command = type == 2 && !payload.empty();
    // An OBD request (record 25) is relayed, not kept.
    if (!(command ? isQuery(payload[0]) : type == 25))
        ++m_writes;
    if (!m_boot.active() && command && isSettingsRead(payload[0]))
        ++m_reads;
    auto answer = m_boot.active() ? bootloaderFrame(type, payload) : application(type, payload);
    if (answer && m_garbledRecord != 0 && answer->type == m_garbledRecord)
        answer->type = kGarbledType;
    if (answer && m_cutType != 0 && type == m_cutType && answer->type == 2 && !answer->payload.empty()
        && answer->payload[0] == kAcknowledge && m_cutCount > 0 && --m_cutCount == 0)
        m_silent = true;
    return answer;
}

std::optional<SimMessage> CController::application(uint8_t type, const std::vector<uint8_t>& payload)
{
    if (type == 2)
        return applicationCommand(payload);
    if (m_refusedRecord != 0 && type == m_refusedRecord)
        return refusal(type);

    if (CSimStore::settingsRecordLength(type) > 0) {
        if (!m_store.writeRecord(type, payload))
            return refusal(type);
        if (type == 18)
            m_ecu.connectionWritten();
        settingsChanged();
        return acknowledge(type);
    }
    switch (type) {
    case 5: {
        if (payload.size() != 34 || !m_store.writeBlock(getU16(payload, 0), payload.data() + 2))
            return refusal(type);
        const uint16_t address = getU16(payload, 0);
        // A map page write ends with the block holding its checksum.
        const unsigned last = CSimStore::kMapPageAddress + CSimStore::kMapPageSize - 1;
        if (address <= last && address + CSimStore::kBlockSize > last)
            settingsChanged();
        else
            m_saveRequest = std::max(m_saveRequest, 1);
        return acknowledge(type);
    }
    case 13: {
        if (payload.size() != 6 || (payload[4] != 2 && payload[4] != 3))
            return refusal(type);
        std::array<uint8_t, 6> edit {};
        std::copy_n(payload.begin(), 6, edit.begin());
        m_mapEdit = edit;
        m_mapClear = false;
        return acknowledge(type);
    }
    case 25:
        if (payload.size() != 20)
            return refusal(type);
        return SimMessage { 24, m_ecu.answer(payload) };
    case 0xF6:
        if (!m_boot.accessCodeMatches(payload))
            return refusal(type);
        m_boot.enter();
        m_engine.setControllerHalted(true);
        m_saveRequest = 2;
        return acknowledge(type);
    default:
        return refusal(type);
    }
}

std::optional<SimMessage> CController::applicationCommand(const std::vector<uint8_t>& payload)
{
    if (payload.empty())
        return refusal(2);
    const uint8_t code = payload[0];
    const auto arg = [&payload](std::size_t i) -> uint8_t { return i < payload.size() ? payload[i] : 0; };
    switch (code) {
    case 0x01: m_engine.setFuelMode(FuelMode::Lpg); return acknowledge(code);
    case 0x02: m_engine.setFuelMode(FuelMode::Petrol); return acknowledge(code);
    case 0x03: m_engine.setFuelMode(FuelMode::Auto); return acknowledge(code);
    case 0x05: return SimMessage { 6, m_store.errorRecord() };
    case 0x07: return SimMessage { 31, m_store.record(31) };
    case 0x08: return SimMessage { 4, m_store.record(4) };
    case 0x0A: // settings take effect as written; the restart empties the error memory
        m_store.errors = {};
        return acknowledge(code);
    case 0x0B: {
        const auto address = static_cast<uint16_t>(arg(2) | arg(3) << 8);
        std::vector<uint8_t> block(34, 0);
        if (!m_store.readBlock(address, block.data() + 2))
            return refusal(code);
        putU16(block, 0, address);
        return SimMessage { 5, block };
    }
    case 0x0C: return SimMessage { 7, m_store.record(7) };
    case 0x0D: return SimMessage { 8, m_store.identityRecord() };
    case 0x0E: return SimMessage { 9, m_store.record(9) };
    case 0x11: return SimMessage { 12, m_store.statisticsRecord() };
    case 0x13: return applyMapEdit();
    case 0x14:
        m_mapClear = true;
        m_mapEdit.reset();
        return acknowledge(code);
    case 0x16: return SimMessage { 15, m_store.record(15) };
    case 0x17: m_engine.setPetrolCutMask(arg(2)); return acknowledge(code);
    case 0x18: m_engine.setLpgMask(arg(2)); return acknowledge(code);
    case 0x1B: return SimMessage { 18, m_store.record(18) };
    case 0x1C:
    case 0x1D:
        m_store.clearChartMap(code == 0x1D);
        m_saveRequest = std::max(m_saveRequest, 1);
        return acknowledge(code);
    case 0x22: return SimMessage { 26, m_store.record(26) };
    case 0x23: return SimMessage { 27, m_store.record(27) };
    case 0x24: return SimMessage { 1, m_engine.liveRecord() };
    case 0x25: return SimMessage { 28, m_store.record(28) };
    case 0x26: return SimMessage { 29, m_store.record(29) };
    case 0x27: {
        // The same rounding as byte 15 of the live readings.
        const auto corr = static_cast<uint8_t>(std::clamp(100L + std::lround(m_engine.obdCorrectionPercent()), 0L, 255L));
        return SimMessage { 2, { 0x28, 0, corr, corr, 0, 0 } };
    }
    case 0x2A: return SimMessage { 30, m_store.record(30) };
    case 0x2B: return SimMessage { 32, m_store.record(32) };
    case 0x2C: return SimMessage { 33, m_store.record(33) };
    case 0x2D: return SimMessage { 34, m_store.record(34) };
    case 0x60: return acknowledge(code);
    case 0xCC: return SimMessage { 2, { 4, m_store.identity.model, kReadingsAllowed, 0, 0, 0 } };
    default: return refusal(code);
    }
}

SimMessage CController::applyMapEdit()
{
    if (m_mapClear) {
        for (int r = 0; r < CSimStore::kMapRows; ++r)
            for (int c = 0; c < CSimStore::kMapColumns; ++c)
                m_store.setMapCell(r, c, 0);
    } else if (m_mapEdit) {
        const auto& e = *m_mapEdit;
        const int lastRow = std::min<int>(CSimStore::kMapRows, e[0] + e[2]);
        const int lastColumn = std::min<int>(CSimStore::kMapColumns, e[1] + e[3]);
        const int delta = e[4] == 2 ? e[5] : -e[5];
        for (int r = e[0]; r < lastRow; ++r)
            for (int c = e[1]; c < lastColumn; ++c)
                m_store.setMapCell(r, c, m_store.mapCell(r, c) + delta);
    } else {
        return acknowledge(0x13);
    }
    m_store.sealMapPage();
    m_mapEdit.reset();
    m_mapClear = false;
    settingsChanged();
    return acknowledge(0x13);
}

std::optional<SimMessage> CController::bootloaderFrame(uint8_t type, const std::vector<uint8_t>& payload)
{
    const auto& geometry = m_boot.geometry();
    if (type == 2 && !payload.empty()) {
        const uint8_t code = payload[0];
        switch (code) {
        case 0xCC: return SimMessage { 2, { kBootloaderAnswer, 0, 0, 0, 0, 0 } };
        case 0xC4:
        case 0xC5:
            if (code != geometry.queryCode)
                return refusal(code);
            return SimMessage { 2, { kAcknowledge, geometry.id, 0, 0, 0, 0 } };
        case 0x60:
            m_boot.leave();
            return acknowledge(code);
        case 0x0A:
            if (m_boot.restart()) {
                if (const uint16_t version = m_boot.imageVersion(); version != 0)
                    m_store.identity.version = version;
                m_engine.setControllerHalted(false);
                m_reads = 0;
            }
            m_saveRequest = 2;
            return acknowledge(code);
        default: return refusal(code);
        }
    }
    switch (type) {
    case 0xF6: return acknowledge(type); // already in the bootloader
    case 0xF9: {
        const bool wasProgramming = m_boot.programming();
        if (payload.size() != 4 || !m_boot.erase(getU32(payload, 0)))
            return refusal(type);
        if (!wasProgramming)
            m_saveRequest = 2; // from here a restart finds no application
        return acknowledge(type);
    }
    case 0xF7:
        if (payload.size() != 4 + CBootloader::kRowBytes || !m_boot.writeRow(getU32(payload, 0), payload.data() + 4))
            return refusal(type);
        m_saveRequest = std::max(m_saveRequest, 1);
        return acknowledge(type);
    default: return refusal(type);
    }
}
