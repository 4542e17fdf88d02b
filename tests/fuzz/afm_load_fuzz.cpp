// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the .afm loader. Input: one byte of settings, then the file
// as stored. Settings bit 0 makes the header announce exactly the body bytes
// present, bit 1 puts the right checksum in, so the fuzzer also reaches the
// image building behind those two checks. On success every image byte and
// every row is read, and the sizes must agree with the rules.
#include <app/data/firmwarefile.h>

#include <cstdlib>
#include <vector>

namespace {

uint8_t rotl2(uint8_t b)
{
    return static_cast<uint8_t>(b << 2 | b >> 6);
}

uint8_t rotr2(uint8_t b)
{
    return static_cast<uint8_t>(b >> 2 | b << 6);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t settings = data[0];
    std::vector<uint8_t> file(data + 1, data + size);
    if (file.size() >= 40 && (settings & 1)) {
        const uint32_t body = static_cast<uint32_t>(file.size() - 40);
        for (int i = 0; i < 4; ++i)
            file[static_cast<size_t>(i)] = rotl2(static_cast<uint8_t>(body >> (8 * i)));
    }
    if (file.size() >= 40 && (settings & 2)) {
        uint32_t announced = 0;
        for (int i = 0; i < 4; ++i)
            announced |= static_cast<uint32_t>(rotr2(file[static_cast<size_t>(i)])) << (8 * i);
        uint32_t sum = 2;
        for (size_t i = 0; i < 40; ++i)
            if (i != 38 && i != 39)
                sum += rotr2(file[i]);
        for (size_t i = 40; i < file.size() && i - 40 < announced; ++i)
            sum += rotr2(file[i]);
        file[38] = rotl2(static_cast<uint8_t>(sum));
        file[39] = rotl2(static_cast<uint8_t>(sum >> 8));
    }

    CFirmwareFile afm;
    uint16_t version = 0;
    uint16_t marker = 0;
    std::wstring name;
    if (!afm.load(std::span<const uint8_t>(file), version, name, marker)) {
        if (afm.isLoaded() || afm.imageLength() != 0)
            std::abort();
        return 0;
    }
    const size_t length = afm.imageLength();
    if (afm.bodySize() > 524288 || afm.bodySize() < 8381 || length != afm.bodySize() - 60u
        || afm.rowCount() != (length + 255) / 256 || name.size() > 19)
        std::abort();
    unsigned sum = 0;
    for (uint8_t b : afm.image())
        sum += b;
    uint8_t row[256];
    for (size_t r = 0; r <= afm.rowCount(); ++r) {
        afm.copyRow(r * 256, row);
        sum += row[255];
    }
    return static_cast<int>(sum & 0);
}
