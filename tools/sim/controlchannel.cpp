// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/controlchannel.h>

#include <tools/sim/obdecu.h>
#include <tools/sim/statefile.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

constexpr const char* kHelp
    = "ok commands: status | fault off|KIND [RATE] [after N] | engine off|crank|idle|sweep|rpm N | "
      "fuel petrol|lpg|auto | errors B0 B1 B2 B3 | dtc [CODE ...] | vin [TEXT] | tank PERCENT | "
      "advance SECONDS | live | dump flash FILE | dump store | mapcell ROW COLUMN PERCENT | recordbyte CODE OFFSET VALUE | refuse record N|off | garble record N|off | save | "
      "vanish | appear | "
      "path | bytes | quit";

bool parseNumber(const std::string& text, double& out)
{
    try {
        std::size_t used = 0;
        out = std::stod(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

bool parseByte(const std::string& text, uint8_t& out)
{
    try {
        std::size_t used = 0;
        const unsigned long v = std::stoul(text, &used, 16);
        if (used != text.size() || v > 255)
            return false;
        out = static_cast<uint8_t>(v);
        return true;
    } catch (...) {
        return false;
    }
}

const char* engineName(EngineState s)
{
    switch (s) {
    case EngineState::Off: return "off";
    case EngineState::Cranking: return "crank";
    case EngineState::Idle: return "idle";
    case EngineState::Sweep: return "sweep";
    case EngineState::Hold: return "rpm";
    }
    return "off";
}

const char* fuelName(FuelMode m)
{
    switch (m) {
    case FuelMode::Auto: return "auto";
    case FuelMode::Petrol: return "petrol";
    case FuelMode::Lpg: return "lpg";
    }
    return "auto";
}

std::string hexByte(uint8_t b)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02x", b);
    return text;
}

} // namespace

CControlChannel::CControlChannel(CController& controller, CFaultInjector& faults, ILinkControl* link)
    : m_controller(controller)
    , m_faults(faults)
    , m_link(link)
{
}

bool CControlChannel::parseDtc(const std::string& text, uint16_t& code)
{
    std::string digits = text;
    unsigned system = 0;
    if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0]))) {
        static const std::string letters = "PCBU";
        const auto at = letters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
        if (at == std::string::npos)
            return false;
        system = static_cast<unsigned>(at);
        digits = text.substr(1);
    }
    if (digits.size() != 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    const unsigned long value = std::stoul(digits, nullptr, 16);
    if (system != 0 && value > 0x3FFF)
        return false;
    code = static_cast<uint16_t>(system << 14 | value);
    return true;
}

std::string CControlChannel::formatDtc(uint16_t code)
{
    char text[8];
    std::snprintf(text, sizeof text, "%c%04X", "PCBU"[code >> 14], code & 0x3FFF);
    return text;
}

std::string CControlChannel::execute(const std::string& line)
{
    // "#N command" answers "#N reply": a caller that gave up on a slow reply
    // can tell it from the reply to its next command.
    if (line.size() > 1 && line[0] == '#') {
        const std::size_t end = line.find_first_not_of("0123456789", 1);
        if (end == 1 || end == std::string::npos || line[end] != ' ')
            return "error malformed tag";
        const std::string tag = line.substr(0, end);
        return tag + " " + execute(line.substr(end + 1));
    }
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
        w.push_back(word);
    if (w.empty())
        return "error empty command";
    const std::string& cmd = w[0];
    CEngineModel& engine = m_controller.engine();

    if (cmd == "help")
        return kHelp;
    if (cmd == "status")
        return status();
    if (cmd == "quit") {
        m_quit = true;
        return "ok bye";
    }
    if (cmd == "fault") {
        if (w.size() == 1)
            return std::string("ok fault ") + CFaultInjector::name(m_faults.kind()) + " " + std::to_string(m_faults.rate());
        const auto kind = CFaultInjector::parseKind(w[1]);
        double rate = 1.0;
        double after = 0;
        // "after N" at the end: that many answers still pass untouched.
        std::size_t words = w.size();
        const bool delayed = words >= 4 && w[words - 2] == "after";
        if (delayed) {
            if (!parseNumber(w[words - 1], after) || after < 0 || after > 1e6 || after != static_cast<long>(after))
                words = 0;
            else
                words -= 2;
        }
        if (!kind || words < 2 || words > 3 || (words == 3 && (!parseNumber(w[2], rate) || rate < 0 || rate > 1)))
            return "error usage: fault off|stray|drop|checksum|type|silence|mixed [RATE 0..1] [after N]";
        m_faults.set(*kind, *kind == FaultKind::None ? 0 : rate, static_cast<std::size_t>(after));
        m_faults.resetCounts();
        std::string reply
            = std::string("ok fault ") + CFaultInjector::name(m_faults.kind()) + " " + std::to_string(m_faults.rate());
        if (delayed)
            reply += " after " + std::to_string(m_faults.spared());
        return reply;
    }
    if (cmd == "engine") {
        static const std::pair<const char*, EngineState> states[] = {
            { "off", EngineState::Off }, { "crank", EngineState::Cranking }, { "idle", EngineState::Idle },
            { "sweep", EngineState::Sweep } };
        for (const auto& [name, state] : states) {
            if (w.size() == 2 && w[1] == name) {
                engine.setEngine(state);
                return std::string("ok engine ") + name;
            }
        }
        double rpm = 0;
        if (w.size() == 3 && w[1] == "rpm" && parseNumber(w[2], rpm) && rpm >= 300 && rpm <= 8000) {
            engine.setEngine(EngineState::Hold, rpm);
            return "ok engine rpm " + w[2];
        }
        return "error usage: engine off|crank|idle|sweep|rpm N (300..8000)";
    }
    if (cmd == "fuel") {
        static const std::pair<const char*, FuelMode> modes[] = {
            { "petrol", FuelMode::Petrol }, { "lpg", FuelMode::Lpg }, { "auto", FuelMode::Auto } };
        for (const auto& [name, mode] : modes) {
            if (w.size() == 2 && w[1] == name) {
                engine.setFuelMode(mode);
                return std::string("ok fuel ") + name;
            }
        }
        return "error usage: fuel petrol|lpg|auto";
    }
    if (cmd == "errors") {
        auto& errors = m_controller.store().errors;
        if (w.size() == 5) {
            std::array<uint8_t, 4> bytes {};
            for (std::size_t i = 0; i < 4; ++i) {
                std::string text = w[i + 1];
                if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)
                    text = text.substr(2);
                if (!parseByte(text, bytes[i]))
                    return "error usage: errors B0 B1 B2 B3 (hex bytes)";
            }
            errors = bytes;
        } else if (w.size() != 1) {
            return "error usage: errors B0 B1 B2 B3 (hex bytes)";
        }
        return "ok errors " + hexByte(errors[0]) + " " + hexByte(errors[1]) + " " + hexByte(errors[2]) + " "
            + hexByte(errors[3]);
    }
    if (cmd == "dtc") {
        std::vector<uint16_t> codes;
        for (std::size_t i = 1; i < w.size(); ++i) {
            uint16_t code = 0;
            if (!parseDtc(w[i], code) || code == 0)
                return "error bad trouble code " + w[i];
            codes.push_back(code);
        }
        if (codes.size() > CObdEcu::kMaxCodes)
            return "error at most " + std::to_string(CObdEcu::kMaxCodes) + " codes";
        if (w.size() > 1)
            m_controller.store().dtcs = codes;
        std::string reply = "ok dtc";
        for (uint16_t code : m_controller.store().dtcs)
            reply += " " + formatDtc(code);
        return reply;
    }
    if (cmd == "vin") {
        if (w.size() > 2 || (w.size() == 2 && w[1].size() > 40))
            return "error usage: vin [TEXT] (at most 40 characters)";
        if (w.size() == 2)
            m_controller.store().vin = w[1];
        return "ok vin " + m_controller.store().vin;
    }
    if (cmd == "tank") {
        double percent = 0;
        if (w.size() != 2 || !parseNumber(w[1], percent) || percent < 0 || percent > 100)
            return "error usage: tank PERCENT (0..100)";
        engine.setTankLevel(percent);
        return "ok tank " + w[1];
    }
    if (cmd == "advance") {
        double seconds = 0;
        if (w.size() != 2 || !parseNumber(w[1], seconds) || seconds < 0 || seconds > 86400)
            return "error usage: advance SECONDS (0..86400)";
        m_controller.advance(seconds);
        return "ok time " + std::to_string(engine.time());
    }
    if (cmd == "live") {
        const auto record = engine.liveRecord();
        return "ok " + toHex(record.data(), record.size());
    }
    if (cmd == "dump")
        return dump(w);
    if (cmd == "refuse") {
        double type = 0;
        if (w.size() == 2 && w[1] == "off") {
            m_controller.setRefusedRecord(0);
            return "ok refuse off";
        }
        if (w.size() != 3 || w[1] != "record" || !parseNumber(w[2], type) || type < 3 || type > 255)
            return "error usage: refuse record N (3..255) | refuse off";
        m_controller.setRefusedRecord(static_cast<uint8_t>(type));
        return "ok refuse record " + std::to_string(static_cast<int>(type));
    }
    if (cmd == "garble") {
        double type = 0;
        if (w.size() == 2 && w[1] == "off") {
            m_controller.setGarbledRecord(0);
            return "ok garble off";
        }
        if (w.size() != 3 || w[1] != "record" || !parseNumber(w[2], type) || type < 3 || type > 255
            || type == CController::kGarbledType)
            return "error usage: garble record N (3..255) | garble off";
        m_controller.setGarbledRecord(static_cast<uint8_t>(type));
        return "ok garble record " + std::to_string(static_cast<int>(type));
    }
    if (cmd == "cut") {
        double type = 0;
        double count = 0;
        if (w.size() == 2 && w[1] == "off") {
            m_controller.cut(0, 0);
            return "ok cut off";
        }
        if (w.size() != 5 || w[1] != "record" || !parseNumber(w[2], type) || type < 3 || type > 255 || w[3] != "after"
            || !parseNumber(w[4], count) || count < 1 || count > 1000)
            return "error usage: cut record N after COUNT | cut off";
        m_controller.cut(static_cast<uint8_t>(type), static_cast<unsigned>(count));
        return "ok cut record " + std::to_string(static_cast<int>(type)) + " after "
            + std::to_string(static_cast<int>(count));
    }
    if (cmd == "mapcell") {
        // Another program (or a fitter at another PC) changes one cell behind the tool's back.
        double row = 0, column = 0, percent = 0;
        if (w.size() != 4 || !parseNumber(w[1], row) || !parseNumber(w[2], column) || !parseNumber(w[3], percent)
            || row < 0 || row >= CSimStore::kMapRows || column < 0 || column >= CSimStore::kMapColumns)
            return "error usage: mapcell ROW COLUMN PERCENT";
        m_controller.store().setMapCell(static_cast<int>(row), static_cast<int>(column), static_cast<int>(percent));
        m_controller.store().sealMapPage();
        return "ok mapcell";
    }
    if (cmd == "recordbyte") {
        // Another program changes one byte of a settings record behind the tool's back.
        double code = 0, offset = 0, value = 0;
        if (w.size() != 4 || !parseNumber(w[1], code) || !parseNumber(w[2], offset) || !parseNumber(w[3], value)
            || code < 0 || code > 255 || offset < 0 || value < 0 || value > 255)
            return "error usage: recordbyte CODE OFFSET VALUE";
        try {
            std::vector<uint8_t>& record = m_controller.store().record(static_cast<uint8_t>(code));
            if (offset >= static_cast<double>(record.size()))
                return "error offset past the record";
            record[static_cast<std::size_t>(offset)] = static_cast<uint8_t>(value);
        } catch (const std::out_of_range&) {
            return "error no such record";
        }
        return "ok recordbyte";
    }
    if (cmd == "save") {
        if (m_statePath.empty())
            return "error no --state file";
        std::string error;
        return saveState(m_statePath, m_controller, error) ? "ok saved " + m_statePath : "error " + error;
    }
    if (cmd == "bytes") {
        if (!m_link)
            return "error no link";
        return "ok in=" + std::to_string(m_link->bytesIn()) + " out=" + std::to_string(m_link->bytesOut());
    }
    if (cmd == "vanish" || cmd == "appear" || cmd == "path") {
        if (!m_link)
            return "error no link";
        std::string text;
        if (cmd == "path")
            return m_link->path().empty() ? "error vanished" : "ok " + m_link->path();
        if (cmd == "vanish")
            return m_link->vanish(text) ? "ok vanished" : "error " + text;
        return m_link->appear(text) ? "ok " + text : "error " + text;
    }
    return "error unknown command " + cmd + " (try help)";
}

std::string CControlChannel::dump(const std::vector<std::string>& w)
{
    if (w.size() == 3 && w[1] == "flash") {
        const auto image = m_controller.bootloader().imageLayout();
        std::ofstream file(w[2], std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        if (!file)
            return "error cannot write " + w[2];
        return "ok flash " + std::to_string(image.size()) + " bytes";
    }
    if (w.size() == 2 && w[1] == "store") {
        const CSimStore& s = m_controller.store();
        std::string reply = "ok";
        for (int code : { 4, 7, 9, 15, 18, 26, 27, 28, 29, 30, 31, 32, 33, 34 }) {
            const auto& r = s.record(static_cast<uint8_t>(code));
            reply += " record" + std::to_string(code) + "=" + toHex(r.data(), r.size());
        }
        const auto identity = s.identityRecord();
        const auto statistics = s.statisticsRecord();
        reply += " identity=" + toHex(identity.data(), identity.size());
        reply += " statistics=" + toHex(statistics.data(), statistics.size());
        reply += " errors=" + toHex(s.errors.data(), s.errors.size());
        reply += " memory=" + toHex(s.memory().data(), s.memory().size());
        return reply;
    }
    return "error usage: dump flash FILE | dump store";
}

std::string CControlChannel::status()
{
    const CEngineModel& e = m_controller.engine();
    const CSimStore& s = m_controller.store();
    char text[512];
    std::snprintf(text, sizeof text,
                  "ok mode=%s model=%u version=0x%04x engine=%s fuelmode=%s fuel=%u pending=%d rpm=%.0f "
                  "reducer=%.1f lpgtemp=%.1f pressure=%.0f manifold=%.1f stft=%.1f ltft=%.1f mixture=%.3f "
                  "tank=%.1f time=%.2f faults=%s:%g answers=%zu disturbed=%zu writes=%zu reads=%zu",
                  m_controller.bootloaderMode() ? "bootloader" : "application", unsigned(s.identity.model),
                  unsigned(s.identity.version), engineName(e.engine()), fuelName(e.fuelMode()),
                  unsigned(e.fuelState()), e.switchPending() ? 1 : 0, e.rpm(), e.reducerCelsius(), e.lpgCelsius(),
                  e.lpgPressureKpa(), e.manifoldKpa(), e.shortTrimPercent(), e.longTrimPercent(), e.mixtureError(),
                  e.tankLevel(), e.time(), CFaultInjector::name(m_faults.kind()), m_faults.rate(),
                  m_faults.answers(), m_faults.disturbed(), m_controller.writeCount(), m_controller.readCount());
    return text;
}
