// SPDX-License-Identifier: GPL-3.0-or-later
#include <tools/sim/statefile.h>

#include <tools/sim/controller.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr const char* kMagic = "korvana-sim-state";

std::vector<uint8_t> asBytes(const std::string& s)
{
    return { s.begin(), s.end() };
}

bool parseUnsigned(const std::string& text, unsigned long max, unsigned long& out)
{
    try {
        std::size_t used = 0;
        out = std::stoul(text, &used, 0);
        return used == text.size() && out <= max;
    } catch (...) {
        return false;
    }
}

} // namespace

std::string toHex(const unsigned char* data, std::size_t count)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        s.push_back(digits[data[i] >> 4]);
        s.push_back(digits[data[i] & 15]);
    }
    return s;
}

bool fromHex(const std::string& text, std::string& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int v = 0;
        for (std::size_t j = 0; j < 2; ++j) {
            const char c = text[i + j];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= c - '0';
            else if (c >= 'a' && c <= 'f')
                v |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                v |= c - 'A' + 10;
            else
                return false;
        }
        bytes.push_back(static_cast<char>(v));
    }
    return true;
}

bool saveState(const std::string& path, CController& controller, std::string& error)
{
    const CSimStore& s = controller.store();
    const CBootloader& boot = controller.bootloader();
    std::ostringstream out;
    out << kMagic << " 1\n";
    out << "model " << unsigned(s.identity.model) << "\n";
    out << "version " << s.identity.version << "\n";
    out << "injectors " << unsigned(s.identity.injectors) << "\n";
    out << "serial " << toHex(s.identity.serial.data(), s.identity.serial.size()) << "\n";
    out << "prod-days " << s.identity.prodDays << "\n";
    out << "flags " << s.identity.flags1 << " " << s.identity.flags2 << "\n";
    out << "bootloader " << (boot.active() ? 1 : 0) << " " << (boot.appValid() ? 1 : 0) << "\n";
    out << "statistics " << s.statPetrol << " " << s.statLpg << " " << s.statModify << "\n";
    out << "errors " << toHex(s.errors.data(), s.errors.size()) << "\n";
    out << "dtc";
    for (uint16_t code : s.dtcs)
        out << " " << code;
    out << "\n";
    out << "vin " << s.vin << "\n";
    for (int code : { 4, 7, 9, 15, 18, 26, 27, 28, 29, 30, 31, 32, 33, 34 }) {
        const auto& r = s.record(static_cast<uint8_t>(code));
        out << "record " << code << " " << toHex(r.data(), r.size()) << "\n";
    }
    for (std::size_t a = 0; a < CSimStore::kMemorySize; a += CSimStore::kBlockSize)
        out << "memory " << a << " " << toHex(s.memory().data() + a, CSimStore::kBlockSize) << "\n";
    for (uint32_t a = 0; a < boot.geometry().end; a += CBootloader::kRowUnits) {
        if (!boot.rowErased(a))
            out << "flash " << a << " " << toHex(boot.flash().data() + a / 2 * 3, CBootloader::kRowBytes) << "\n";
    }

    const std::string temp = path + ".tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file << out.str();
        file.flush();
        if (!file) {
            error = "cannot write " + temp;
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path;
        return false;
    }
    return true;
}

bool loadState(const std::string& path, CController& controller, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    CSimStore& s = controller.store();
    std::string line;
    if (!std::getline(file, line) || line != std::string(kMagic) + " 1") {
        error = path + ": not a simulator state file";
        return false;
    }
    bool active = false;
    bool appValid = true;
    std::vector<std::pair<unsigned long, std::string>> rows;
    int number = 1;
    while (std::getline(file, line)) {
        ++number;
        std::istringstream in(line);
        std::string key;
        in >> key;
        const auto bad = [&] {
            error = path + ":" + std::to_string(number) + ": bad line";
            return false;
        };
        std::vector<std::string> words;
        for (std::string w; in >> w;)
            words.push_back(w);
        unsigned long a = 0;
        unsigned long b = 0;
        unsigned long c = 0;
        std::string bytes;
        if (key.empty()) {
            continue;
        } else if (key == "model" && words.size() == 1 && parseUnsigned(words[0], 255, a)) {
            s.identity.model = static_cast<uint8_t>(a);
        } else if (key == "version" && words.size() == 1 && parseUnsigned(words[0], 0xFFFF, a)) {
            s.identity.version = static_cast<uint16_t>(a);
        } else if (key == "injectors" && words.size() == 1 && parseUnsigned(words[0], 8, a) && a > 0) {
            s.identity.injectors = static_cast<uint8_t>(a);
        } else if (key == "serial" && words.size() == 1 && fromHex(words[0], bytes) && bytes.size() == 16) {
            std::copy(bytes.begin(), bytes.end(), s.identity.serial.begin());
        } else if (key == "prod-days" && words.size() == 1 && parseUnsigned(words[0], 0xFFFF, a)) {
            s.identity.prodDays = static_cast<uint16_t>(a);
        } else if (key == "flags" && words.size() == 2 && parseUnsigned(words[0], 0xFFFFFFFF, a)
                   && parseUnsigned(words[1], 0xFFFFFFFF, b)) {
            s.identity.flags1 = static_cast<uint32_t>(a);
            s.identity.flags2 = static_cast<uint32_t>(b);
        } else if (key == "bootloader" && words.size() == 2 && parseUnsigned(words[0], 1, a)
                   && parseUnsigned(words[1], 1, b)) {
            active = a == 1;
            appValid = b == 1;
        } else if (key == "statistics" && words.size() == 3 && parseUnsigned(words[0], 0xFFFFFFFF, a)
                   && parseUnsigned(words[1], 0xFFFFFFFF, b) && parseUnsigned(words[2], 0xFFFFFFFF, c)) {
            s.statPetrol = static_cast<uint32_t>(a);
            s.statLpg = static_cast<uint32_t>(b);
            s.statModify = static_cast<uint32_t>(c);
        } else if (key == "errors" && words.size() == 1 && fromHex(words[0], bytes) && bytes.size() == 4) {
            std::copy(bytes.begin(), bytes.end(), s.errors.begin());
        } else if (key == "dtc") {
            s.dtcs.clear();
            for (const auto& w : words) {
                if (!parseUnsigned(w, 0xFFFF, a))
                    return bad();
                s.dtcs.push_back(static_cast<uint16_t>(a));
            }
        } else if (key == "vin" && words.size() <= 1) {
            s.vin = words.empty() ? std::string() : words[0];
        } else if (key == "record" && words.size() == 2 && parseUnsigned(words[0], 255, a)
                   && fromHex(words[1], bytes)) {
            const auto code = static_cast<uint8_t>(a);
            if (code == 28 || code == 29) {
                if (bytes.size() != CSimStore::kChartMapLength)
                    return bad();
                s.record(code) = asBytes(bytes);
            } else if (!s.writeRecord(code, asBytes(bytes))) {
                return bad();
            }
        } else if (key == "memory" && words.size() == 2 && parseUnsigned(words[0], CSimStore::kMemorySize - 32, a)
                   && fromHex(words[1], bytes) && bytes.size() == CSimStore::kBlockSize) {
            const auto data = asBytes(bytes);
            s.writeBlock(static_cast<uint16_t>(a), data.data());
        } else if (key == "flash" && words.size() == 2 && parseUnsigned(words[0], 0xFFFFFF, a)
                   && fromHex(words[1], bytes) && bytes.size() == CBootloader::kRowBytes) {
            rows.emplace_back(a, bytes);
        } else {
            return bad();
        }
    }
    // The flash geometry follows the model, so rows go in after the identity.
    controller.restoreBootloader(active, appValid);
    for (const auto& [address, bytes] : rows) {
        const auto data = asBytes(bytes);
        controller.bootloader().restoreRow(static_cast<uint32_t>(address), data.data());
    }
    return true;
}
