// korvana-bench-readings: CPU time of one refresh of the busiest "Odczyty"
// page in a 1920 x 1080 window: the chart holding 27 lines of 10 000 points
// (the most it keeps), then per refresh one new demo record taken by the page
// (panel, bars, chart feed) and the whole page painted. Not a test: it prints
// the figures and always succeeds.
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
#include <QImage>
#include <QPainter>

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
    device.stopPolling();
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
    return app.ExitInstance() >= 0 ? 0 : 0;
}
