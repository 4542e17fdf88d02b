// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-bench-readings: CPU time of one refresh of the busiest "Odczyty"
// page in a 1920 x 1080 window: the chart holding 27 lines of 10 000 points
// (the most it keeps), then per refresh one new demo record taken by the page
// (panel, bars, chart feed) and the whole page painted; the chart with its
// window over the whole history at 100 % and 200 %; then the page left running
// for a while (argument 2, seconds) and its share of one core. Not a test: it
// prints the figures and always succeeds.
#include <app/data/demodiag.h>
#include <app/data/diag.h>
#include <app/data/diagdata.h>
#include <app/data/readingschart.h>
#include <app/device/lpgdevice.h>
#include <app/shell/korvanaapp.h>
#include <app/shell/korvanadoc.h>
#include <app/shell/korvanaview.h>
#include <app/shell/kormultipagectrl.h>
#include <app/shell/mainframe.h>
#include <app/shell/odczytydlg.h>
#include <gradctrls/charts/scrollchart.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

double cpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;

    SAppOptions options;
    options.demo = true;
    options.page = 0;
    options.size = std::make_pair(1920, 1080);
    CkorvanaApp app(options);
    if (!app.InitInstance()) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    CLPGDevice& device = app.document()->device();
    // The bench feeds the records itself, one per refresh.
    app.mainFrame()->stopTimer();
    device.session().stopPolling();
    auto* page = dynamic_cast<COdczytyDlg*>(app.view()->multiPage()->getPage(CkorvanaView::kFirstPage));
    if (!page) {
        std::fprintf(stderr, "no readings page\n");
        return 1;
    }
    QApplication::processEvents();

    // The chart full: 10 000 points on each of the 27 lines.
    const CDiagScale scale(device.image());
    CDiag record;
    for (int k = 0; k < 10000; ++k) {
        buildDemoRecord(record, device.diagData(), 3, scale);
        device.diagData().push(record);
        if (k % 200 == 199)
            page->onTimer();
    }
    page->onTimer();
    std::printf("page %dx%d, chart %dx%d, %zu points\n", page->width(), page->height(), page->chart()->width(),
        page->chart()->height(), page->chart()->data().pointCount());

    QImage image(page->size() * page->devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(page->devicePixelRatio());
    auto paintPage = [&] {
        QPainter painter(&image);
        page->render(&painter);
    };
    auto refresh = [&] {
        buildDemoRecord(record, device.diagData(), 3, scale);
        device.diagData().push(record);
        page->onTimer();
        paintPage();
    };
    auto measure = [&](const char* name, auto&& step) {
        step();
        const double start = cpuMs();
        for (int r = 0; r < repeats; ++r)
            step();
        std::printf("%-52s %8.3f ms CPU\n", name, (cpuMs() - start) / repeats);
        std::fflush(stdout);
    };
    measure("refresh: one record taken, whole page painted", refresh);
    measure("whole page painted, nothing new", paintPage);
    measure("one record taken, not painted", [&] {
        buildDemoRecord(record, device.diagData(), 3, scale);
        device.diagData().push(record);
        page->onTimer();
    });

    // The window over the whole history: every point of every line on screen.
    CScrollChart* chart = page->chart();
    const double start = chart->data().m_xStart;
    const double width = chart->data().m_xWidth;
    chart->SetHorzRange(chart->data().m_xMax - chart->data().m_xMin);
    chart->data().m_xStart = chart->data().m_xMin;
    for (const double ratio : { 1.0, 2.0 }) {
        QImage chartImage(chart->size() * ratio, QImage::Format_ARGB32_Premultiplied);
        chartImage.setDevicePixelRatio(ratio);
        char name[96];
        std::snprintf(name, sizeof name, "whole-history window, chart repainted at %.0f %%", ratio * 100);
        measure(name, [&] {
            QPainter painter(&chartImage);
            chart->paintChart(painter, chart->size());
        });
    }
    measure("whole-history window, whole page painted", paintPage);
    chart->SetHorzRange(width);
    chart->data().m_xStart = start;
    chart->data().clampStart();

    // The page left running on its own with its chart full, as in a workshop
    // all day: demo records from the polling thread, the frame timer's ticks,
    // the repaints they ask for. CPU time over wall time is the share of one core.
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    app.document()->startPolling();
    app.mainFrame()->startTimer();
    QApplication::processEvents();
    const double cpuStart = cpuMs();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &qapp, &QCoreApplication::quit);
    QApplication::exec();
    std::printf("%-52s %8.2f %% of one core over %d s\n", "running page, chart full, 10 records a second",
                (cpuMs() - cpuStart) / static_cast<double>(wall.elapsed()) * 100.0, seconds);
    std::fflush(stdout);
    return app.ExitInstance() >= 0 ? 0 : 0;
}
