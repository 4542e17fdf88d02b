// SPDX-License-Identifier: GPL-3.0-or-later
// How the chart's lines become pixels: the ordered point store (out-of-order
// x, a replaced x, the oldest dropped), folding points onto pixel columns
// (peaks kept, device columns at 200 %), dense lines drawn as per-column runs
// (a step stays joined, a gap in the data is bridged), wide lines at 200 %
// without holes, a live chart's picture scrolled tick by tick and equal to one
// drawn afresh, and the background picture drawn once and then copied.
#include "guitest.h"

#include <gradctrls/charts/chartlines.h>
#include <gradctrls/charts/scrollchart.h>
#include <gradctrls/dialogs/backgroundcache.h>

#include <QBackingStore>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <QWindow>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

TEST(ChartPoints, KeepXOrderReplaceAnExistingXAndDropTheOldest)
{
    CChartPoints points;
    points[10] = 1;
    points[30] = 3;
    points[20] = 2; // arrives late
    points[30] = 4; // replaces
    ASSERT_EQ(points.size(), 3u);
    std::vector<double> xs;
    for (const auto& [x, y] : points)
        xs.push_back(x);
    EXPECT_EQ(xs, (std::vector<double> { 10, 20, 30 }));
    EXPECT_EQ(points.at(30), 4.0);
    EXPECT_THROW(points.at(25), std::out_of_range);
    EXPECT_EQ(points.lower_bound(15)->first, 20.0);
    EXPECT_EQ(points.upper_bound(20)->first, 30.0);
    points.popFront();
    EXPECT_EQ(points.begin()->first, 20.0);
    EXPECT_EQ(points.rbegin()->first, 30.0);
}

// 100 points, x 0 … 99, over a 100-unit window of 10 pixels: ten a column.
CChartData tenToAColumn()
{
    CChartData d;
    d.m_xWidth = 100;
    d.addLine(0, CChartData::SLine {});
    for (int x = 0; x < 100; ++x)
        d.addData(0, x, x == 34 ? 90.0 : 10.0 + x % 10);
    d.m_xStart = 0; // the window had followed the newest points
    return d;
}

TEST(ChartData, FoldKeepsEachColumnsExtremesAndEnds)
{
    const CChartData d = tenToAColumn();
    std::vector<CChartData::SColumn> columns;
    // 100 pixels high: row = 100 - trunc(100 * y * 0.999 / 100).
    EXPECT_EQ(d.foldColumns(*d.line(0), 10, 100, 1.0, columns), 100u);
    ASSERT_EQ(columns.size(), 10u);
    const CChartData::SColumn& c = columns[3]; // x 30 … 39, the spike at 34
    EXPECT_EQ(c.column, 3);
    EXPECT_DOUBLE_EQ(c.firstX, 3.0);
    EXPECT_EQ(c.firstRow, 100 - 9); // y 10
    EXPECT_EQ(c.lastRow, 100 - 18); // y 19
    EXPECT_EQ(c.top, 100 - 89); // y 90, the spike
    EXPECT_EQ(c.bottom, 100 - 9);
    // At 200 % the same points fall on twice the columns, five to each.
    EXPECT_EQ(d.foldColumns(*d.line(0), 10, 100, 2.0, columns), 100u);
    ASSERT_EQ(columns.size(), 20u);
    EXPECT_EQ(columns[7].column, 7);
    EXPECT_EQ(columns[6].top, 100 - 89);
    EXPECT_EQ(columns[7].top, 100 - 18);
}

constexpr QRgb kWhite = 0xffffffff;

// A white chart without grid holding one line of the colour 0x0000FF (red).
void whiteChart(CScrollChart& chart, const QSize& size, int width)
{
    chart.resize(size);
    chart.SetGrid(0);
    chart.setGradientColors(Qt::white, Qt::white);
    chart.AddLine(
        0, [](double) { return std::string(); }, 0x0000FF, 0, width);
}

QImage paint(const CScrollChart& chart, const QSize& size, double ratio = 1.0)
{
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    chart.paintChart(painter, size);
    return image;
}

TEST(ScrollChart, ADenseStepStaysJoinedAndAGapIsBridged)
{
    // 50 000 units over 500 pixels, a point every 5 units: ten to a column.
    CScrollChart chart;
    const QSize size(500, 200);
    whiteChart(chart, size, 1);
    chart.SetHorzRange(50000);
    for (int k = 0; k < 10000; ++k) {
        const double x = k * 5.0;
        // Nothing between x 30 000 and 40 000: a gap of 100 columns.
        if (x >= 30000 && x < 40000)
            continue;
        chart.AddData(0, x, x < 10000 ? 10.0 : 80.0, false);
    }
    chart.data().m_xStart = 0; // the whole history
    const QImage image = paint(chart, size);
    const QRgb red = qRgb(255, 0, 0);
    // The step at x 10 000 (column 100): y 10 is row 181, y 80 row 41; every row between is drawn.
    for (int row = 42; row < 181; ++row) {
        const bool drawn = image.pixel(99, row) == red || image.pixel(100, row) == red;
        ASSERT_TRUE(drawn) << "row " << row;
    }
    EXPECT_EQ(image.pixel(99, 30), kWhite);
    // Across the gap the line runs on at row 41 (a flat join).
    EXPECT_EQ(image.pixel(350, 41), red);
    EXPECT_EQ(image.pixel(350, 120), kWhite);
}

TEST(ScrollChart, AWideLineAtTwoHundredPercentHasNoHoles)
{
    // A 2-pixel line is four device pixels thick at 200 %, sparse or dense.
    for (const int points : { 150, 5000 }) {
        CScrollChart chart;
        const QSize size(300, 100);
        whiteChart(chart, size, 2);
        chart.SetHorzRange(points * 5.0 + 100);
        for (int k = 0; k < points; ++k)
            chart.AddData(0, k * 5.0, 50.0, false);
        const QImage image = paint(chart, size, 2.0);
        // y 50 at row 100 - trunc(49.95) = 51 → device rows 102 … 105.
        const int column = 100;
        for (int row = 102; row <= 105; ++row)
            EXPECT_EQ(image.pixel(column, row), qRgb(255, 0, 0)) << points << " points, device row " << row;
        EXPECT_EQ(image.pixel(column, 101), kWhite) << points;
        EXPECT_EQ(image.pixel(column, 106), kWhite) << points;
    }
}

// Four lines as the readings page feeds them, tick by tick: sparse solid,
// sparse dashed and wide, dense, and one stepping between two values; a grid
// every eighth of the window; the oldest points dropped past a limit.
void addTick(CChartData& data, int tick)
{
    const double x = tick * 7.0;
    data.addData(0, x, 50 + 40 * std::sin(tick * 0.3));
    data.addData(1, x, 30 + 20 * std::sin(tick * 0.11));
    for (int k = 0; k < 7; ++k)
        data.addData(2, x + k, 70 + 25 * std::sin((x + k) * 0.05) + (k % 3) * 4);
    data.addData(3, x, tick / 9 % 2 ? 90.0 : 5.0);
}

TEST(ScrollChart, ATickScrollsThePictureAndDrawsOnlyItsNewColumns)
{
    const QSize size(400, 120);
    // At 100 %, 150 % and 200 %, over an opaque background and over a see-through one.
    for (const double ratio : { 1.0, 1.5, 2.0, -1.0 }) {
        const int alpha = ratio < 0 ? 200 : 255;
        auto makeChart = [&](CScrollChart& chart) {
            chart.resize(size);
            chart.setGradientColors(QColor(250, 250, 240, alpha), QColor(220, 230, 250, alpha));
            chart.SetGrid(1);
            chart.SetHorzDiv(8);
            chart.SetMaxPoints(1200);
            const auto label = [](double) { return std::string(); };
            chart.AddLine(0, label, 0x0000FF, 0, 1);
            chart.AddLine(1, label, 0x00A000, 1, 2);
            chart.AddLine(2, label, 0xFF0000, 0, 1);
            chart.AddLine(3, label, 0x808000, 0, 1);
        };
        CScrollChart chart;
        makeChart(chart);
        const double scale = std::abs(ratio);
        const int width = static_cast<int>(size.width() * scale);
        int scrolled = 0;
        for (int tick = 0; tick < 220; ++tick) {
            addTick(chart.data(), tick);
            if (tick == 200)
                chart.data().m_xStart -= 300; // the fitter looks back: drawn afresh
            if (tick == 201) // and follows the newest again: 120 columns on at 100 %
                chart.data().m_xStart = chart.data().m_xMax - chart.data().m_xWidth;
            if (tick == 170)
                chart.data().addData(2, 170 * 7.0 - 200.5, 10); // a point inside the window: drawn afresh
            const QImage ticked = paint(chart, size, scale);
            CScrollChart fresh;
            makeChart(fresh);
            fresh.data() = chart.data();
            const QImage drawn = paint(fresh, size, scale);
            int differing = 0;
            QPoint first;
            for (int y = 0; y < drawn.height(); ++y)
                for (int x = 0; x < drawn.width(); ++x)
                    if (ticked.pixel(x, y) != drawn.pixel(x, y) && differing++ == 0)
                        first = QPoint(x, y);
            ASSERT_EQ(differing, 0) << "tick " << tick << " at " << scale * 100 << " % alpha " << alpha << ", first at " << first.x() << ","
                                    << first.y() << " of columns drawn " << chart.columnsDrawn();
            ASSERT_EQ(fresh.columnsDrawn(), width);
            if (tick == 0 || tick == 170 || tick == 200)
                EXPECT_EQ(chart.columnsDrawn(), width) << tick;
            else if (chart.columnsDrawn() < width / 7)
                ++scrolled;
        }
        // A tick draws the columns of one record (2.8 pixels at 100 %), the
        // line it joins and, once the window follows the data, the empty
        // tenth of the window before it. Not so the first ticks, whose points
        // fall on the margin the background has at the left.
        EXPECT_GE(scrolled, 212) << scale * 100 << " % alpha " << alpha;
    }
}

TEST(ScrollChart, APictureCopiedIntoTheWindowLandsWhereTheEngineWouldDrawIt)
{
    // The chart 300 x 100 at (37, 23) in a window, a sibling lying over its
    // right end; painted by the window, compared with the chart drawn alone
    // (into a pixmap, through the engine's own image drawing).
    QWidget window;
    window.resize(420, 180);
    auto* chart = new CScrollChart;
    chart->setParent(&window);
    chart->setGeometry(37, 23, 300, 100);
    chart->setGradientColors(QColor(250, 250, 240), QColor(220, 230, 250));
    chart->AddLine(0, [](double) { return std::string(); }, 0x0000FF, 0, 2);
    chart->SetHorzRange(1000);
    for (int k = 0; k < 150; ++k)
        chart->AddData(0, k * 7.0, 50 + 40 * std::sin(k * 0.3), false);
    auto* cover = new QWidget(&window);
    cover->setGeometry(300, 60, 80, 40);
    cover->setAutoFillBackground(true);
    QPalette palette = cover->palette();
    palette.setColor(QPalette::Window, Qt::black);
    cover->setPalette(palette);
    window.show();
    ASSERT_TRUE(guitest::waitFor([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    window.repaint();
    const QImage screen = static_cast<QImage*>(window.backingStore()->paintDevice())->copy();
    const QImage alone = chart->grab().toImage().convertToFormat(screen.format());
    ASSERT_EQ(screen.size(), window.size());
    ASSERT_EQ(alone.size(), chart->size());
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x) {
            const bool covered = x + 37 >= 300 && y + 23 >= 60 && y + 23 < 100;
            const QRgb expected = covered ? qRgb(0, 0, 0) : alone.pixel(x, y);
            ASSERT_EQ(screen.pixel(x + 37, y + 23), expected) << x << "," << y;
        }
    // A paint of part of the chart writes only there.
    for (int k = 150; k < 170; ++k)
        chart->AddData(0, k * 7.0, 10, false);
    chart->repaint(QRect(0, 0, 100, 100));
    const QImage later = static_cast<QImage*>(window.backingStore()->paintDevice())->copy();
    const QImage now = chart->grab().toImage().convertToFormat(screen.format());
    ASSERT_NE(now, alone);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(later.pixel(x + 37, y + 23), x < 100 ? now.pixel(x, y) : screen.pixel(x + 37, y + 23))
                << x << "," << y;
    // Painted through a clip and a shift, the copy keeps to both.
    QImage target(200, 80, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        painter.translate(-50, 10);
        painter.setClipRect(QRect(60, 0, 100, 40));
        chart->paintChart(painter, QSize(300, 100));
    }
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool inside = x >= 10 && x < 110 && y >= 10 && y < 50;
            ASSERT_EQ(target.pixel(x, y), inside ? now.pixel(x + 50, y - 10) : kWhite) << x << "," << y;
        }
}

TEST(BackgroundCache, DrawnOnceThenCopiedUntilSizeOrKeyChanges)
{
    CBackgroundCache cache;
    int painted = 0;
    auto paintBackground = [&](QPainter& p) {
        ++painted;
        p.fillRect(QRect(0, 0, 40, 20), Qt::blue);
        p.fillRect(QRect(0, 0, 10, 10), Qt::green);
    };
    QImage target(40, 20, QImage::Format_ARGB32_Premultiplied);
    for (int tick = 0; tick < 3; ++tick) {
        target.fill(Qt::white);
        QPainter painter(&target);
        // Only the exposed parts are copied: two cells, not the box around them.
        cache.draw(painter, QSize(40, 20), 7, QRegion(0, 0, 20, 20) + QRegion(35, 15, 5, 5), paintBackground, true);
    }
    EXPECT_EQ(painted, 1);
    EXPECT_EQ(target.pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(target.pixel(15, 15), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(37, 17), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(30, 15), kWhite);
    EXPECT_EQ(target.pixel(37, 5), kWhite);
    {
        QPainter painter(&target);
        cache.draw(painter, QSize(40, 20), 8, QRect(0, 0, 40, 20), paintBackground, true);
        cache.draw(painter, QSize(30, 20), 8, QRect(0, 0, 40, 20), paintBackground, true);
    }
    EXPECT_EQ(painted, 3);
    EXPECT_EQ(cache.redraws(), 3);
    // At 200 % the picture has the device's pixels.
    EXPECT_EQ(cache.picture(2.0, QSize(40, 20), 8, paintBackground, true).size(), QSize(80, 40));
}

} // namespace
