// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/simoptions.h>

#include <algorithm>
#include <cstring>
#include <iterator>

const char* const kSimUsage = R"(usage: korvana-sim [options]
Simulates the LPG injection controller on a pseudo-terminal. The first line on
stdout is the pseudo-terminal's path; after it, stdin takes control commands
(one per line, "help" lists them) and every command is answered with one line.

  --link PATH          also make PATH a symlink to the pseudo-terminal
  --pace               answer at the wire speed of 38400 baud
  --model 4|5|6|16     controller model (default 5)
  --version V          firmware version, 0x0306, 774 or 3.6 (default 0x0306);
                       without V: print the program's version and licence
  --injectors N        injectors 1..8 (default 4)
  --serial TEXT        serial number, at most 15 characters (default SIM0412345)
  --serial-hex HEX     the 16 serial bytes as 32 hex digits
  --prod-days N        production date as days after 1 April 2004 (default 3000)
  --bootloader         start in the bootloader without a valid application
  --state FILE         keep the controller in FILE between runs
  --engine STATE       off, crank, idle or sweep at start (default idle)
  --fuel MODE          auto, petrol or lpg at start (default auto)
  --obd BUS            can11, can29, iso9141, iso14230 or none (default can11)
  --obd-speed KBIT     250 or 500 for CAN (default 500)
  --fault KIND[:RATE]  stray, drop, checksum, type, silence or mixed; rate 0..1 (default 1)
  --seed N             seed of every random choice (default 1)
  --time-scale F       simulated seconds per real second (default 1)
  --main-corr MS       start with every main correction at MS milliseconds
  --help
)";

namespace {

const std::string kWithValue[] = { "--link", "--state", "--model", "--version", "--injectors", "--serial",
                                   "--serial-hex", "--prod-days", "--engine", "--fuel", "--obd", "--obd-speed",
                                   "--fault", "--seed", "--time-scale", "--main-corr" };

bool toUnsigned(const std::string& text, unsigned long max, unsigned long& out)
{
    try {
        std::size_t used = 0;
        out = std::stoul(text, &used, 0);
        return used == text.size() && out <= max;
    } catch (...) {
        return false;
    }
}

bool toDouble(const std::string& text, double& out)
{
    try {
        std::size_t used = 0;
        out = std::stod(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

bool parseVersion(const std::string& text, uint16_t& version)
{
    unsigned long v = 0;
    const auto dot = text.find('.');
    if (dot != std::string::npos && text.rfind("0x", 0) != 0) {
        unsigned long major = 0;
        unsigned long minor = 0;
        if (!toUnsigned(text.substr(0, dot), 255, major) || !toUnsigned(text.substr(dot + 1), 255, minor))
            return false;
        version = static_cast<uint16_t>(major << 8 | minor);
        return true;
    }
    if (!toUnsigned(text, 0xFFFF, v))
        return false;
    version = static_cast<uint16_t>(v);
    return true;
}

} // namespace

std::optional<SimOptions> parseSimOptions(const std::vector<std::string>& args, std::string& message, bool& help)
{
    SimOptions o;
    help = false;
    const char defaultSerial[] = "SIM0412345";
    std::memcpy(o.config.identity.serial.data(), defaultSerial, sizeof defaultSerial - 1);

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                message = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        const auto fail = [&](const std::string& why) -> std::optional<SimOptions> {
            message = a + ": " + why;
            return std::nullopt;
        };
        std::string v;
        unsigned long n = 0;
        if (a == "--help" || a == "-h") {
            help = true;
            return std::nullopt;
        } else if (a == "--version" && (i + 1 == args.size() || args[i + 1].rfind('-', 0) == 0)) {
            // Without a firmware version after it, the program's own.
            o.printVersion = true;
            return o;
        } else if (a == "--pace") {
            o.pace = true;
        } else if (a == "--bootloader") {
            o.config.bootloader = true;
            o.identityGiven.push_back(a);
        } else if (std::find(std::begin(kWithValue), std::end(kWithValue), a) == std::end(kWithValue)) {
            message = "unknown option " + a;
            return std::nullopt;
        } else if (!value(v)) {
            return std::nullopt;
        } else if (a == "--link") {
            o.link = v;
        } else if (a == "--state") {
            o.state = v;
        } else if (a == "--model") {
            if (!toUnsigned(v, 255, n) || (n != 4 && n != 5 && n != 6 && n != 16))
                return fail("4, 5, 6 or 16");
            o.config.identity.model = static_cast<uint8_t>(n);
            o.identityGiven.push_back(a);
        } else if (a == "--version") {
            if (!parseVersion(v, o.config.identity.version))
                return fail("0x0306, 774 or 3.6");
            o.identityGiven.push_back(a);
        } else if (a == "--injectors") {
            if (!toUnsigned(v, 8, n) || n == 0)
                return fail("1 to 8");
            o.config.identity.injectors = static_cast<uint8_t>(n);
            o.identityGiven.push_back(a);
        } else if (a == "--serial") {
            if (v.size() > 15)
                return fail("at most 15 characters");
            o.config.identity.serial.fill(0);
            std::memcpy(o.config.identity.serial.data(), v.data(), v.size());
            o.identityGiven.push_back(a);
        } else if (a == "--serial-hex") {
            if (v.size() != 32 || v.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return fail("32 hex digits");
            for (std::size_t b = 0; b < 16; ++b)
                o.config.identity.serial[b] = static_cast<uint8_t>(std::stoul(v.substr(2 * b, 2), nullptr, 16));
            o.identityGiven.push_back(a);
        } else if (a == "--prod-days") {
            if (!toUnsigned(v, 0xFFFF, n))
                return fail("0 to 65535");
            o.config.identity.prodDays = static_cast<uint16_t>(n);
            o.identityGiven.push_back(a);
        } else if (a == "--engine") {
            if (v == "off")
                o.config.engine = EngineState::Off;
            else if (v == "crank")
                o.config.engine = EngineState::Cranking;
            else if (v == "idle")
                o.config.engine = EngineState::Idle;
            else if (v == "sweep")
                o.config.engine = EngineState::Sweep;
            else
                return fail("off, crank, idle or sweep");
        } else if (a == "--fuel") {
            if (v == "auto")
                o.config.fuel = FuelMode::Auto;
            else if (v == "petrol")
                o.config.fuel = FuelMode::Petrol;
            else if (v == "lpg")
                o.config.fuel = FuelMode::Lpg;
            else
                return fail("auto, petrol or lpg");
        } else if (a == "--obd") {
            if (v == "can11")
                o.config.bus = ObdBus::Can11;
            else if (v == "can29")
                o.config.bus = ObdBus::Can29;
            else if (v == "iso9141")
                o.config.bus = ObdBus::Iso9141;
            else if (v == "iso14230")
                o.config.bus = ObdBus::Iso14230;
            else if (v == "none")
                o.config.bus = ObdBus::None;
            else
                return fail("can11, can29, iso9141, iso14230 or none");
        } else if (a == "--obd-speed") {
            if (v == "250")
                o.config.canSpeed = 1;
            else if (v == "500")
                o.config.canSpeed = 2;
            else
                return fail("250 or 500");
        } else if (a == "--fault") {
            const auto colon = v.find(':');
            const auto kind = CFaultInjector::parseKind(v.substr(0, colon));
            double rate = 1.0;
            if (!kind || (colon != std::string::npos && (!toDouble(v.substr(colon + 1), rate) || rate < 0 || rate > 1)))
                return fail("KIND[:RATE], KIND one of stray, drop, checksum, type, silence, mixed; RATE 0..1");
            o.fault = *kind;
            o.faultRate = *kind == FaultKind::None ? 0 : rate;
        } else if (a == "--seed") {
            if (!toUnsigned(v, 0xFFFFFFFF, n))
                return fail("a whole number");
            o.config.seed = static_cast<uint32_t>(n);
        } else if (a == "--main-corr") {
            double ms = 0;
            if (!toDouble(v, ms) || ms < -100 || ms > 100)
                return fail("milliseconds, -100 to 100");
            o.config.mainCorr = ms;
        } else if (a == "--time-scale") {
            double f = 0;
            if (!toDouble(v, f) || f <= 0 || f > 1000)
                return fail("above 0, at most 1000");
            o.timeScale = f;
        }
    }
    return o;
}
