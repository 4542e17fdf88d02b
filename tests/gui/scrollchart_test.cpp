// SPDX-License-Identifier: GPL-3.0-or-later
// The scroll chart: the 90 % scroll rule, a point replaced at an existing x,
// trimming to the most-points limit and the data's left edge, clamping of y,
// the scroll-bar actions and their limits, the pixel mapping both ways, the
// limits reported on scroll-bar updates, and painting a busy chart (27 lines
// of 10 000 points) checked at chosen pixels against hand-worked positions,
// and the value labels of many lines ending on one value kept apart.
#include "guitest.h"

#include <gradctrls/charts/scrollchart.h>

#include <QImage>
#include <QPainter>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

CChartData::SLine plainLine()
{
    return CChartData::SLine {};
}

TEST(ChartData, ScrollsOncePastNinetyPercentAndKeepsNewestThere)
{
    CChartData d;
    ASSERT_TRUE(d.addLine(0, plainLine()));
    for (int x = 0; x <= 900; x += 5)
        EXPECT_EQ(d.addData(0, x, 10).status, 1);
    EXPECT_DOUBLE_EQ(d.m_xStart, 0.0);
    const auto r = d.addData(0, 905, 10);
    EXPECT_TRUE(r.limitsMoved);
    EXPECT_DOUBLE_EQ(d.m_xStart, 5.0);
    for (int x = 910; x <= 3000; x += 5)
        d.addData(0, x, 10);
    EXPECT_DOUBLE_EQ(d.m_xStart, 3000 - 900.0);
    // The window's right edge never lags behind the data's extent.
    EXPECT_GE(d.m_xMax, d.m_xStart + d.m_xWidth);
}

TEST(ChartData, WindowScrolledBackStaysWhileDataGrows)
{
    CChartData d;
    d.addLine(0, plainLine());
    for (int x = 0; x <= 3000; x += 5)
        d.addData(0, x, 10);
    d.m_xStart = 500; // the user reads history
    d.addData(0, 3005, 10); // inside the extent 0 … 3100 already
    EXPECT_DOUBLE_EQ(d.m_xMax, 3100.0);
    d.addData(0, 3200, 10);
    EXPECT_DOUBLE_EQ(d.m_xStart, 500.0);
    EXPECT_DOUBLE_EQ(d.m_xMax, 3200 + 100.0);
}

TEST(ChartData, PointAtAnExistingXIsReplacedAndYIsClamped)
{
    CChartData d;
    d.addLine(3, plainLine());
    d.addData(3, 10, 20);
    d.addData(3, 10, 30);
    ASSERT_EQ(d.line(3)->points.size(), 1u);
    EXPECT_DOUBLE_EQ(d.line(3)->points.at(10), 30.0);
    d.addData(3, 20, 105); // a readings value above the scale
    d.addData(3, 30, -3);
    EXPECT_DOUBLE_EQ(d.line(3)->points.at(20), 100.0);
    EXPECT_DOUBLE_EQ(d.line(3)->points.at(30), 0.0);
}

TEST(ChartData, UnknownLineAndNotANumberChangeNothing)
{
    CChartData d;
    d.addLine(1, plainLine());
    d.addData(1, 0, 5);
    const double start = d.m_xStart, max = d.m_xMax, min = d.m_xMin;
    EXPECT_EQ(d.addData(7, 2000, 5).status, 0);
    EXPECT_EQ(d.addData(1, std::nan(""), 5).status, 0);
    EXPECT_EQ(d.pointCount(), 1u);
    EXPECT_EQ(d.m_xStart, start);
    EXPECT_EQ(d.m_xMax, max);
    EXPECT_EQ(d.m_xMin, min);
}

TEST(ChartData, MaxPointsDropsOldestAndMovesTheLeftEdge)
{
    CChartData d;
    d.addLine(0, plainLine());
    d.addLine(1, plainLine());
    EXPECT_EQ(d.setMaxPoints(10000), 0u);
    for (int i = 0; i < 10000; ++i) {
        d.addData(0, i * 5.0, 10);
        d.addData(1, i * 5.0, 20);
    }
    EXPECT_DOUBLE_EQ(d.m_xMin, 0.0);
    d.addData(0, 10000 * 5.0, 10);
    EXPECT_EQ(d.line(0)->points.size(), 10000u);
    EXPECT_DOUBLE_EQ(d.line(0)->points.begin()->first, 5.0);
    // The smallest x left over all lines: line 1 still holds x = 0.
    EXPECT_DOUBLE_EQ(d.m_xMin, 0.0);
    d.addData(1, 10000 * 5.0, 10);
    EXPECT_DOUBLE_EQ(d.m_xMin, 5.0);
    // A lower limit trims at once and reports the old one.
    EXPECT_EQ(d.setMaxPoints(100), 10000u);
    EXPECT_EQ(d.line(1)->points.size(), 100u);
    EXPECT_DOUBLE_EQ(d.m_xMin, (10001 - 100) * 5.0);
    EXPECT_GE(d.m_xStart, d.m_xMin);
}

TEST(ChartData, PointsWithoutXFollowTheStepOfVisibleLines)
{
    CChartData d;
    auto hidden = plainLine();
    hidden.visible = false;
    d.addLine(0, plainLine());
    d.addLine(1, hidden);
    d.line(0)->autoinc = 2.5;
    EXPECT_EQ(d.addData(0, 7.0).status, 1);
    EXPECT_EQ(d.addData(0, 8.0).status, 1);
    EXPECT_EQ(d.addData(1, 8.0).status, 0);
    EXPECT_DOUBLE_EQ(d.line(0)->points.rbegin()->first, 2.5);
    EXPECT_TRUE(d.line(1)->points.empty());
}

TEST(ChartData, ClearEmptiesLinesAndResetsTheLeftEdge)
{
    CChartData d;
    d.addLine(0, plainLine());
    d.setMaxPoints(10);
    for (int x = 0; x < 5000; x += 5)
        d.addData(0, x, 1);
    d.clear();
    EXPECT_EQ(d.pointCount(), 0u);
    EXPECT_EQ(d.m_xStart, 0.0);
    EXPECT_EQ(d.m_xMin, 0.0);
}

TEST(ChartData, HorzRangeWidensTheExtentAndRefusesNoWidth)
{
    CChartData d;
    EXPECT_DOUBLE_EQ(d.setHorzRange(2000), 1000.0);
    EXPECT_DOUBLE_EQ(d.m_xMax, 2200.0);
    EXPECT_DOUBLE_EQ(d.setHorzRange(0), 2000.0);
    EXPECT_DOUBLE_EQ(d.m_xWidth, 2000.0);
}

struct ScrollCase {
    const char* name;
    double start;
    CChartData::EScroll action;
    int thumb;
    double expected;
};

TEST(ChartData, ScrollBarActionsMoveAndClampTheWindow)
{
    using S = CChartData::EScroll;
    // Extent 0 … 5000, window 1000 wide: the start may range over 0 … 4000.
    const ScrollCase cases[] = {
        {"line left", 2000, S::LineLeft, 0, 1990},
        {"line left below 1 stays", 0.5, S::LineLeft, 0, 0.5},
        {"line right", 2000, S::LineRight, 0, 2010},
        {"page left", 2000, S::PageLeft, 0, 1500},
        {"page left not below 0", 300, S::PageLeft, 0, 0},
        {"page right", 2000, S::PageRight, 0, 2500},
        {"page right held at the end", 3900, S::PageRight, 0, 4000},
        {"thumb", 2000, S::ThumbTrack, 300, 1500},
        {"thumb past the end", 2000, S::ThumbTrack, 1000, 4000},
    };
    for (const ScrollCase& c : cases) {
        CChartData d;
        d.m_xMax = 5000;
        d.m_xStart = c.start;
        d.scroll(c.action, c.thumb);
        EXPECT_DOUBLE_EQ(d.m_xStart, c.expected) << c.name;
    }
    CChartData d;
    d.m_xMin = 1000;
    d.m_xMax = 5000;
    d.m_xStart = 2000;
    EXPECT_EQ(d.scrollInfo().page, 250);
    EXPECT_EQ(d.scrollInfo().pos, 250);
    d.scroll(S::PageLeft); // 1500 is still above the data's left edge
    EXPECT_DOUBLE_EQ(d.m_xStart, 1500.0);
    d.scroll(S::PageLeft); // 1000: held at the left edge of the data, not 0
    EXPECT_DOUBLE_EQ(d.m_xStart, 1000.0);
    d.m_xMax = d.m_xMin; // no extent: no division by zero
    EXPECT_EQ(d.scrollInfo().page, 1000);
}

TEST(ChartData, PixelMappingBothWays)
{
    CChartData d;
    d.m_xStart = 100;
    // 500 x 200 pixels, window 100 … 1100, y 0 … 100.
    EXPECT_DOUBLE_EQ(d.toPixelX(600, 500), 250.0);
    EXPECT_EQ(d.toPixelY(50, 200), 200 - 99);
    EXPECT_EQ(d.toPixelY(100, 200), 200 - 199);
    EXPECT_EQ(d.toPixelY(0, 200), 200);
    EXPECT_DOUBLE_EQ(d.fromPixelX(250, 500), 600.0);
    EXPECT_DOUBLE_EQ(d.fromPixelY(50, 200), 75.0);
    d.addLine(0, plainLine());
    d.addData(0, 500, 1);
    d.addData(0, 700, 2);
    double x = 0, y = 0;
    ASSERT_TRUE(d.nearestPoint(0, 640, 200, x, y));
    EXPECT_EQ(x, 700);
    EXPECT_FALSE(d.nearestPoint(0, 1000, 200, x, y)); // farther than a fifth of the window
}

// --- the control ------------------------------------------------------------

std::unique_ptr<QWidget> parentWith(CScrollChart*& chart, unsigned int style)
{
    auto parent = std::make_unique<QWidget>();
    parent->resize(640, 360);
    chart = new CScrollChart;
    EXPECT_TRUE(chart->Create(style, QRect(10, 10, 600, 300), parent.get(), 1014));
    return parent;
}

TEST(ScrollChart, CreateFromStaticTakesThePlaceAndTheScrollBar)
{
    QWidget parent;
    auto* placeholder = new QWidget(&parent);
    setCtrlId(placeholder, 1014);
    placeholder->setGeometry(20, 30, 400, 200);
    auto* chart = new CScrollChart;
    ASSERT_TRUE(chart->CreateFromStatic(CScrollChart::kHScroll | CScrollChart::kNotify, &parent, 1014));
    EXPECT_EQ(chart->geometry(), QRect(20, 30, 400, 200));
    EXPECT_EQ(findChildCtrl(&parent, 1014), chart);
    EXPECT_FALSE(chart->scrollBar()->isHidden());
    EXPECT_EQ(chart->scrollBar()->pageStep(), 1000);
    EXPECT_LT(chart->clientRect().height(), 200);
}

TEST(ScrollChart, ScrollBarActionsMoveTheWindowAndReportLimits)
{
    CScrollChart* chart = nullptr;
    auto parent = parentWith(chart, CScrollChart::kHScroll | CScrollChart::kNotify);
    ASSERT_EQ(chart->AddLine(0, nullptr, 0x0000FF), 1);
    EXPECT_EQ(chart->AddLine(0, nullptr, 0x00FF00), 0);
    for (int x = 0; x <= 5000; x += 5)
        chart->AddData(0, x, 50, false);
    const double start = chart->data().m_xStart;
    EXPECT_DOUBLE_EQ(start, 5000 - 900.0);
    std::vector<std::pair<double, double>> xs, ys;
    QObject::connect(chart, &CScrollChart::xRangeChanged, [&](double a, double b) { xs.emplace_back(a, b); });
    QObject::connect(chart, &CScrollChart::yRangeChanged, [&](double a, double b) { ys.emplace_back(a, b); });
    chart->scrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_DOUBLE_EQ(chart->data().m_xStart, start - 500);
    ASSERT_GE(xs.size(), 1u);
    EXPECT_DOUBLE_EQ(xs.back().first, start - 500);
    EXPECT_DOUBLE_EQ(xs.back().second, start + 500);
    ASSERT_GE(ys.size(), 1u);
    EXPECT_DOUBLE_EQ(ys.back().second, 100.0);
    EXPECT_EQ(chart->scrollBar()->value(), chart->data().scrollInfo().pos);
    // Added points no longer pull the window while it is scrolled back.
    chart->AddData(0, 5005, 50, false);
    EXPECT_DOUBLE_EQ(chart->data().m_xStart, start - 500);
}

TEST(ScrollChart, WithoutNotifyNoLimitsAreReported)
{
    CScrollChart* chart = nullptr;
    auto parent = parentWith(chart, CScrollChart::kHScroll);
    int reports = 0;
    QObject::connect(chart, &CScrollChart::xRangeChanged, [&](double, double) { ++reports; });
    chart->UpdateScrollInfo();
    EXPECT_EQ(reports, 0);
}

TEST(ScrollChart, SettersReturnPreviousValues)
{
    CScrollChart* chart = nullptr;
    auto parent = parentWith(chart, 0);
    chart->AddLine(4, nullptr, 0x123456, 0, 2);
    EXPECT_EQ(chart->SetLineColor(4, 0x654321), 0x123456u);
    EXPECT_EQ(chart->GetLineColor(4), 0x654321u);
    EXPECT_EQ(chart->SetLineWidth(4, 3), 2);
    EXPECT_EQ(chart->SetLineStyle(4, 2), 0);
    EXPECT_EQ(chart->SetHorzDiv(0), 20u);
    EXPECT_EQ(chart->SetVertDiv(4), 10u);
    EXPECT_EQ(chart->SetMaxPoints(10000), 0u);
    EXPECT_DOUBLE_EQ(chart->SetAutoinc(4, 5), 1.0);
    EXPECT_DOUBLE_EQ(chart->SetHorzRange(3000), 1000.0);
}

// 27 lines, line i flat at y = 3 + 3.5 i, 10 000 points each, 5 apart; the
// background one colour and no grid, so every pixel's colour is known by hand.
void fillBusyChart(CScrollChart& chart)
{
    chart.SetGrid(0);
    chart.setGradientColors(Qt::white, Qt::white);
    chart.SetMaxPoints(10000);
    for (unsigned int i = 0; i < 27; ++i) {
        const uint32_t colour = (i * 9) | ((255 - i * 9) << 8) | (i * 5 << 16);
        chart.AddLine(i, [](double y) {
            char text[16];
            std::snprintf(text, sizeof text, "%.0f", y);
            return std::string(text);
        }, colour, 0, 2);
    }
    for (int k = 0; k < 10000; ++k)
        for (unsigned int i = 0; i < 27; ++i)
            chart.AddData(i, k * 5.0, 3 + 3.5 * i, false);
}

TEST(ScrollChart, BusyChartPaintsItsLinesWherePutByHand)
{
    CScrollChart chart;
    chart.resize(600, 300);
    fillBusyChart(chart);
    EXPECT_DOUBLE_EQ(chart.data().m_xStart, 49995 - 900.0);
    QImage image(600, 300, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    chart.paintChart(painter, image.size());
    painter.end();
    // Line 10 at y = 38: row 300 - trunc(300 * 38 * 0.999 / 100) = 300 - 113 = 187;
    // a 2-pixel pen covers rows 186 … 187. Column 100 lies left of every label.
    const QRgb line10 = qRgb(90, 165, 50); // colour 0x00BBGGRR of line 10
    EXPECT_TRUE(image.pixel(100, 187) == line10 || image.pixel(100, 186) == line10)
        << std::hex << image.pixel(100, 187);
    // Halfway between lines 10 and 11 (y = 39.75, row 182) only the background shows.
    EXPECT_EQ(image.pixel(100, 182), QColor(Qt::white).rgb());
}

TEST(ScrollChart, ASpikeAmongFoldedPointsStillShows)
{
    // A window of 50 000 units over 600 pixels: some 80 points share each column.
    CScrollChart chart;
    chart.resize(600, 300);
    chart.SetGrid(0);
    chart.setGradientColors(Qt::white, Qt::white);
    chart.SetHorzRange(50000);
    chart.AddLine(0, nullptr, 0x0000FF, 0, 1);
    for (int k = 0; k < 10000; ++k)
        chart.AddData(0, k * 5.0, k == 5003 ? 90.0 : 10.0, false);
    QImage image(600, 300, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    chart.paintChart(painter, image.size());
    painter.end();
    // x = 25 015 at column 300; y = 90 at row 300 - 269 = 31.
    const int column = static_cast<int>(chart.data().toPixelX(25015, 600));
    bool red = false;
    for (int c = column - 1; c <= column + 1; ++c)
        red = red || image.pixel(c, 40) == qRgb(255, 0, 0);
    EXPECT_TRUE(red);
}

// Where each line's value label is inked, right of the column of the newest
// points; the lines draw nothing but their labels, each in its own colour.
std::vector<QRect> labelInk(const std::vector<double>& values, int height)
{
    CScrollChart chart;
    chart.resize(600, height);
    chart.SetGrid(0);
    chart.setGradientColors(Qt::white, Qt::white);
    std::vector<QRgb> colours;
    for (unsigned int i = 0; i < values.size(); ++i) {
        const uint32_t colour = (i * 13) | ((220 - i * 11) << 8) | ((i % 3) * 90 << 16);
        colours.push_back(qRgb(colour & 0xFF, (colour >> 8) & 0xFF, colour >> 16));
        chart.AddLine(i, [](double) { return std::string("8888"); }, colour, 5, 1); // no line, only the label
        chart.AddData(i, 100.0, values[i], false);
    }
    QImage image(600, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    chart.paintChart(painter, image.size());
    painter.end();
    const int column = static_cast<int>(chart.data().toPixelX(100.0, 600));
    std::vector<QRect> inked(values.size());
    for (int y = 0; y < image.height(); ++y)
        for (int x = column + 3; x < image.width(); ++x)
            for (std::size_t i = 0; i < values.size(); ++i)
                if (image.pixel(x, y) == colours[i])
                    inked[i] |= QRect(x, y, 1, 1);
    return inked;
}

TEST(ScrollChart, ValueLabelsOfManyLinesDoNotCoverEachOther)
{
    // Lines ending on one value, as the cylinders' injection times do, and the
    // readings page's mix; the charts are high enough for every label one
    // above another.
    const std::vector<double> oneValue(15, 50.0);
    // Ten readings spread over the chart, placed first, then two bunches of
    // eight (the injection times, the idle lines at the bottom).
    std::vector<double> bunches;
    for (int i = 0; i < 10; ++i)
        bunches.push_back(5.0 + i * 10);
    bunches.insert(bunches.end(), 8, 45.0);
    bunches.insert(bunches.end(), 8, 0.5);
    for (const auto& [values, height] : { std::pair { oneValue, 300 }, std::pair { bunches, 480 } }) {
        const std::vector<QRect> inked = labelInk(values, height);
        for (std::size_t i = 0; i < inked.size(); ++i) {
            ASSERT_FALSE(inked[i].isEmpty()) << values.size() << " lines: label " << i << " not drawn or wholly covered";
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(inked[i].intersects(inked[j]))
                    << values.size() << " lines: labels " << j << " and " << i << " overlap";
        }
    }
}

TEST(ScrollChart, ScreenshotOfABusyChartInReadMode)
{
    // The readings page's 27 lines with their colours, fed as live records would be.
    CScrollChart chart;
    chart.resize(1200, 560);
    chart.SetMaxPoints(10000);
    const uint32_t colours[11] = {0x2D2D5A, 0x649664, 0x649196, 0x8046BE, 0x1E64DC, 0xFC64E6,
                                  0x7D0269, 0xFFFF00, 0xFF8080, 0x40FF00, 0x008000};
    for (unsigned int i = 0; i < 27; ++i)
        chart.AddLine(i, [](double y) {
            char text[16];
            std::snprintf(text, sizeof text, "%.1f", y - 5);
            return std::string(text);
        }, i < 11 ? colours[i] : (i < 19 ? 0x000096 : 0x005000), 0, 2);
    for (int k = 0; k < 3000; ++k) {
        const double load = 0.5 + 0.4 * std::sin(k / 60.0);
        for (unsigned int i = 0; i < 27; ++i) {
            double y = 0;
            if (i == 0)
                y = (900 + 2500 * load) / 100 + 5;
            else if (i < 3)
                y = (i == 1 ? 112 : 30 + 60 * load) / 2.5 + 5;
            else if (i < 5)
                y = (i == 3 ? 31 : 72) + 5 + std::sin(k / 200.0);
            else if (i < 7)
                y = (k % 30 < 15 ? 0.8 : 0.1) * 20 + 5 + i;
            else if (i < 11)
                y = 55 + (i - 7) * 3 + 4 * std::sin(k / (40.0 + i));
            else
                y = (3 + 6 * load + (i >= 19 ? 0.4 : 0) + (i % 8) * 0.05) / 40 * 100 + 5;
            chart.AddData(i, k * 5.0, y, false);
        }
    }
    chart.SetReadMode(true);
    guitest::showAndSettle(&chart);
    QMouseEvent move(QEvent::MouseMove, QPointF(600, 200), QPointF(600, 200), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &move);
    EXPECT_FALSE(guitest::saveScreenshot(&chart, QStringLiteral("scrollchart_busy_readmode")).isEmpty());
}

} // namespace
