// SPDX-License-Identifier: GPL-3.0-or-later
// The history's figures: a series of points of one controller with small
// changes between them (each write leaves the point before it, which equals
// the point after the write before, and the point after it), as a fitter's
// years of visits would. Prints the time one point takes to store, the
// database's size, the time the list of every point takes to open, and what
// a connection pays: the point itself, the last point of this PC read back
// and the two compared.
//
//   korvana-bench-history [POINTS] [FOLDER]
#include <app/data/historystore.h>
#include <app/data/readblocks.h>
#include <app/device/historyimage.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

CHistoryPoint pointOf(const CHistoryContent& content, const char* operation)
{
    CHistoryPoint p;
    p.serial = "SIM0412345";
    p.model = "OREM 33F MOLEX";
    p.version = 0x0306;
    p.operation = operation;
    p.pc = "3d1219c7";
    p.car = "vendor=Skoda\nmodel=Octavia\n";
    p.blocks = content.blocks;
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvana-bench-history-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return 1;
        folder = pattern;
    }
    const std::string path = folder + "/history.sqlite3";
    std::filesystem::remove(path);

    CHistoryContent content;
    content.blocks = CReadBlocks::kAll;
    content.image.m_devInfo.m_serial = L"SIM0412345";
    content.image.m_devInfo.m_version = 0x0306;
    std::mt19937 random(20261208);
    for (auto& row : content.image.m_corrMap.m_injMapTable)
        for (double& cell : row)
            cell = double(int(random() % 20) - 5);

    std::vector<double> addMs;
    {
        CHistoryStore store;
        if (store.open(path) != CHistoryStore::State::Ok) {
            std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), store.detail().c_str());
            return 1;
        }
        for (int i = 0; i < count; ++i) {
            const bool before = i % 2 == 0;
            if (!before) {
                // A write: a setting or a few cells of the map.
                if (random() % 3 == 0) {
                    content.image.m_base.m_switchTempr = 20 + double(random() % 40);
                } else {
                    for (int c = 0; c < 4; ++c)
                        content.image.m_corrMap.m_injMapTable[random() % kMapRows][random() % kMapCols]
                            = double(int(random() % 30) - 10);
                }
            }
            const auto start = Clock::now();
            CHistoryPoint p = pointOf(content, before ? "before set" : "after set");
            if (!store.add(p, encodeHistoryImage(content))) {
                std::fprintf(stderr, "point %d not stored: %s\n", i, store.detail().c_str());
                return 1;
            }
            addMs.push_back(msSince(start));
        }
        std::printf("images stored: %lld for %d points\n", static_cast<long long>(store.imageCount()), count);
    }
    const auto size = std::filesystem::file_size(path);

    std::vector<double> listMs;
    std::vector<double> connectMs;
    for (int run = 0; run < 5; ++run) {
        auto start = Clock::now();
        CHistoryStore store;
        store.open(path);
        const auto points = store.list();
        listMs.push_back(msSince(start));
        if (points.size() < std::size_t(count))
            return 1;
        // What a connection adds once the store is open: the last point of
        // this PC, its image read back and compared, and the new point.
        start = Clock::now();
        const auto last = store.lastOf("SIM0412345", "3d1219c7");
        CHistoryContent previous;
        if (!last || !decodeHistoryImage(*store.image(last->imageId), previous))
            return 1;
        const auto differences = historyDifferences(previous, content);
        CHistoryPoint p = pointOf(content, "connected");
        store.add(p, encodeHistoryImage(content));
        connectMs.push_back(msSince(start));
        if (run == 0)
            std::printf("differences on connecting: %zu\n", differences.size());
    }
    std::printf("point stored: median %.2f ms, slowest %.2f ms (%d points)\n", median(addMs),
                *std::max_element(addMs.begin(), addMs.end()), count);
    std::printf("database: %.1f MB after %d points (%.0f bytes a point)\n", double(size) / 1e6, count,
                double(size) / count);
    std::printf("open and list %d points: median %.1f ms of 5\n", count, median(listMs));
    std::printf("added to a connection (last point read, compared, new point stored): median %.2f ms of 5\n",
                median(connectMs));
    if (argc <= 2)
        std::filesystem::remove_all(folder);
    return 0;
}
