// SPDX-License-Identifier: GPL-3.0-or-later
#include "afmbuilder.h"

#include <algorithm>
#include <random>

namespace {

constexpr std::size_t kGapAt = 8320;
constexpr std::size_t kNameAt = 19;
constexpr std::size_t kNameField = 19;

void put16(std::vector<uint8_t>& out, std::size_t at, uint16_t v)
{
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

std::vector<uint8_t> afmPlainBytes(const AfmContent& c)
{
    std::vector<uint8_t> body;
    const std::size_t head = std::min(c.image.size(), kGapAt);
    body.insert(body.end(), c.image.begin(), c.image.begin() + static_cast<std::ptrdiff_t>(head));
    if (c.image.size() >= kGapAt) {
        body.insert(body.end(), c.gap.begin(), c.gap.end());
        body.insert(body.end(), c.image.begin() + static_cast<std::ptrdiff_t>(kGapAt), c.image.end());
    }

    std::vector<uint8_t> out(40, 0);
    const uint32_t size = c.announcedSize.value_or(static_cast<uint32_t>(body.size()));
    for (int i = 0; i < 4; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    put16(out, 4, c.version);
    put16(out, 6, c.marker);
    // Bytes 8…18 are not read by the program; fill them so a loader that did would notice.
    for (std::size_t i = 8; i < kNameAt; ++i)
        out[i] = static_cast<uint8_t>(0xE0 + i);
    for (std::size_t i = 0; i < kNameField && i < c.modelName.size(); ++i)
        out[kNameAt + i] = static_cast<uint8_t>(c.modelName[i]);

    unsigned long headerSum = 1;
    for (uint8_t b : out)
        headerSum += b;
    unsigned long bodySum = 1;
    for (uint8_t b : body)
        bodySum += b;
    put16(out, 38, static_cast<uint16_t>(headerSum + bodySum + static_cast<unsigned long>(c.checksumDelta)));

    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> buildAfm(const AfmContent& content)
{
    std::vector<uint8_t> bytes = afmPlainBytes(content);
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(b << 2 | b >> 6);
    return bytes;
}

const AfmModel* afmModel(uint8_t code)
{
    static const AfmModel models[] = {
        { 4, "OREM 33F TYCO", 0x2000, 0x9C00 },
        { 5, "OREM 33F MOLEX", 0x2000, 0x9C00 },
        { 6, "OREM 33EP MOLEX", 0x1800, 0x8800 },
        { 16, "OREM K410 33EP FCI", 0x1800, 0x8800 },
    };
    for (const auto& m : models)
        if (m.code == code)
            return &m;
    return nullptr;
}

std::vector<uint8_t> syntheticImage(const AfmModel& model, uint16_t version, uint32_t seed)
{
    std::vector<uint8_t> image(static_cast<std::size_t>(model.end) * 2, 0xFF);
    std::mt19937 rng(seed);
    for (uint32_t a = model.first; a < model.end; a += 2) {
        uint8_t* ins = image.data() + 2 * static_cast<std::size_t>(a);
        const uint32_t word = rng();
        ins[0] = static_cast<uint8_t>(word);
        ins[1] = static_cast<uint8_t>(word >> 8);
        ins[2] = static_cast<uint8_t>(word >> 16);
        ins[3] = 0;
    }
    uint8_t* mark = image.data() + 2 * static_cast<std::size_t>(model.first + 2);
    mark[0] = static_cast<uint8_t>(version);
    mark[1] = static_cast<uint8_t>(version >> 8);
    mark[2] = 0xA5;
    return image;
}
