// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-afmbuild: writes an .afm firmware file from a raw flash image (or a
// made-up one) for a controller model and a version, so tests and the
// simulator have firmware to flash.
//
//   korvana-afmbuild --model 5 --version 3.7 --synthetic [SEED] -o new.afm
//   korvana-afmbuild --model 6 --version 0x0305 --image flash.bin -o new.afm
//
// The raw image holds 4 bytes per instruction from address 0 (the bytes of
// address a at offset 2 × a), as the simulator's "dump flash" writes it.
#include "afmbuilder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

int usage(const std::string& message)
{
    std::cerr << "korvana-afmbuild: " << message << "\n"
              << "usage: korvana-afmbuild --model 4|5|6|16 --version V (--image RAW | --synthetic [SEED])\n"
                 "                        [--name TEXT] [--marker HEX] -o OUT.afm\n"
                 "  V: 3.7, 0x0307 or 775\n";
    return 2;
}

bool parseNumber(const std::string& text, unsigned long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 0);
    return *end == 0;
}

bool parseVersion(const std::string& text, uint16_t& version)
{
    const auto dot = text.find('.');
    unsigned long major = 0;
    unsigned long minor = 0;
    if (dot != std::string::npos) {
        if (!parseNumber(text.substr(0, dot), major) || !parseNumber(text.substr(dot + 1), minor) || major > 255
            || minor > 255)
            return false;
        version = static_cast<uint16_t>(major << 8 | minor);
        return true;
    }
    if (!parseNumber(text, major) || major > 0xFFFF)
        return false;
    version = static_cast<uint16_t>(major);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string model;
    std::string version;
    std::string imagePath;
    std::string name;
    std::string marker;
    std::string out;
    bool synthetic = false;
    unsigned long seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        bool ok = true;
        if (arg == "--model")
            ok = value(model);
        else if (arg == "--version")
            ok = value(version);
        else if (arg == "--image")
            ok = value(imagePath);
        else if (arg == "--name")
            ok = value(name);
        else if (arg == "--marker")
            ok = value(marker);
        else if (arg == "-o")
            ok = value(out);
        else if (arg == "--synthetic") {
            synthetic = true;
            if (i + 1 < argc && argv[i + 1][0] != '-' && !parseNumber(argv[++i], seed))
                return usage("not a seed: " + std::string(argv[i]));
        } else if (arg == "--help" || arg == "-h")
            return usage("help");
        else
            return usage("unknown argument " + arg);
        if (!ok)
            return usage(arg + " needs a value");
    }

    unsigned long code = 0;
    const AfmModel* m = parseNumber(model, code) && code < 256 ? afmModel(static_cast<uint8_t>(code)) : nullptr;
    if (!m)
        return usage("--model must be 4, 5, 6 or 16");
    AfmContent content;
    if (!parseVersion(version, content.version))
        return usage("--version is missing or malformed");
    if (out.empty() || synthetic == !imagePath.empty())
        return usage("give -o and exactly one of --image and --synthetic");
    content.modelName = name.empty() ? m->name : name;
    for (unsigned char c : content.modelName)
        if (c >= 0x80)
            return usage("--name takes ASCII text only");
    if (content.modelName.size() > 19)
        return usage("--name holds at most 19 characters");
    if (!marker.empty()) {
        unsigned long v = 0;
        if (!parseNumber(marker, v) || v > 0xFFFF)
            return usage("--marker is malformed");
        content.marker = static_cast<uint16_t>(v);
    }

    if (synthetic) {
        content.image = syntheticImage(*m, content.version, static_cast<uint32_t>(seed));
    } else {
        std::ifstream in(imagePath, std::ios::binary);
        if (!in) {
            std::cerr << "korvana-afmbuild: cannot read " << imagePath << "\n";
            return 1;
        }
        content.image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    const auto bytes = buildAfm(content);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::cerr << "korvana-afmbuild: cannot write " << out << "\n";
        return 1;
    }
    std::cout << out << ": " << content.modelName << " " << (content.version >> 8) << "." << (content.version & 0xFF)
              << ", image " << content.image.size() << " bytes, file " << bytes.size() << " bytes\n";
    return 0;
}
