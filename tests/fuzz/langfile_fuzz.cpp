// SPDX-License-Identifier: GPL-3.0-or-later
// Language files from arbitrary bytes: parsing must never crash, and a lookup
// of the first line's text must work on whatever was read.
#include <app/data/langfile.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    CLangFile file;
    file.openBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    std::wstring probe;
    for (std::size_t i = 2; i + 1 < size && probe.size() < 64; i += 2)
        probe.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
    (void)file.translate(probe);
    return 0;
}
