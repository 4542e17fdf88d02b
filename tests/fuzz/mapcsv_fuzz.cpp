// Map CSV files and clipboard blocks from arbitrary text: reading must never
// crash, and a file that was taken must read back the same after writing.
#include <app/tuning/mapcsv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    MapFile map;
    MapTextError error;
    if (parseMapCsv(text, map, error)) {
        MapFile again;
        if (!parseMapCsv(formatMapCsv(map), again, error) || again.table != map.table || again.rpm != map.rpm)
            std::abort();
    }
    std::vector<std::vector<int>> block;
    if (parseMapBlock(text, block, error)) {
        for (const auto& row : block)
            for (int v : row)
                if (v < -50 || v > 50 || row.size() != block.front().size())
                    std::abort();
    }
    return 0;
}
