// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-bench-chart: CPU time of one repaint of the readings chart, at
// 1400 x 700 (larger than the 1001 x 646 it has on a 1920 x 1080 readings
// page, so the figures err on the safe side), with 27 lines of 10 000 points
// (the most it keeps). The cases: the live window (the newest 1000 units,
// about 200 points a line), a live tick (27 new points, then the repaint), a
// window over all 10 000 points of every line at 100 % and 200 %, and the
// share of that repaint spent folding the points onto pixel columns. Not a
// test: it prints the figures and always succeeds.
#include <gradctrls/charts/scrollchart.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

double cpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

const uint32_t kColours[11] = {0x2D2D5A, 0x649664, 0x649196, 0x8046BE, 0x1E64DC, 0xFC64E6,
                               0x7D0269, 0xFFFF00, 0xFF8080, 0x40FF00, 0x008000};

uint32_t colourOf(unsigned int line)
{
    if (line < 11)
        return kColours[line];
    return line < 19 ? 0x000096 : 0x005000;
}

double value(unsigned int line, int k)
{
    return 5 + 40 + 30 * std::sin(k / (15.0 + line)) + 5 * std::sin(k * 0.7 + line);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QSize size(1400, 700);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    CScrollChart chart;
    chart.resize(size);
    chart.SetMaxPoints(10000);
    for (unsigned int i = 0; i < 27; ++i)
        chart.AddLine(i, [](double y) {
            char text[16];
            std::snprintf(text, sizeof text, "%.1f", y - 5);
            return std::string(text);
        }, colourOf(i), 0, 2);
    int counter = 0;
    for (int k = 0; k < 10000; ++k, counter += 5)
        for (unsigned int i = 0; i < 27; ++i)
            chart.AddData(i, counter, value(i, k), false);

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    auto repaint = [&] {
        QPainter painter(&image);
        chart.paintChart(painter, size);
    };
    auto measure = [&](const char* name, auto&& step) {
        step();
        const double start = cpuMs();
        for (int r = 0; r < repeats; ++r)
            step();
        const double perRepaint = (cpuMs() - start) / repeats;
        std::printf("%-44s %8.3f ms CPU per repaint\n", name, perRepaint);
        std::fflush(stdout);
    };

    std::printf("chart %d x %d, 27 lines x %zu points, %d repeats\n", size.width(), size.height(),
                chart.data().line(0)->points.size(), repeats);
    std::fflush(stdout);
    measure("live window (1000 units, ~200 points/line)", repaint);
    int k = 10000;
    measure("live tick (27 new points + repaint)", [&] {
        for (unsigned int i = 0; i < 27; ++i)
            chart.AddData(i, counter, value(i, k), false);
        counter += 5;
        ++k;
        repaint();
    });
    chart.SetHorzRange(50000);
    chart.data().m_xStart = chart.data().m_xMin;
    measure("whole history (10 000 points/line visible)", repaint);
    QImage hidpi(size * 2, QImage::Format_ARGB32_Premultiplied);
    hidpi.setDevicePixelRatio(2.0);
    measure("whole history at 200 % (device pixels doubled)", [&] {
        QPainter painter(&hidpi);
        chart.paintChart(painter, size);
    });
    std::vector<CChartData::SColumn> columns;
    measure("  of which folding the points onto columns", [&] {
        for (const auto& [number, line] : chart.data().lines())
            chart.data().foldColumns(line, size.width(), size.height(), 1.0, columns);
    });
    return 0;
}
