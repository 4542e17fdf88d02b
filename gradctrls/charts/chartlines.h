// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a scroll chart as they are painted: every visible line's points
// inside the window folded onto device pixel columns (min / max per column, so
// peaks stay visible however many points share a column), then drawn.
// Solid and dashed lines become vertical runs, one or a few a column, written
// straight into an image of device pixels: a column spanned by the points it
// holds and joined to its neighbours, a stretch between two points far apart
// stepped through column by column. The columns count from x = 0, so a run
// lands on the same pixels wherever the window starts, and a picture of the
// lines can be scrolled and only its new columns written. Lines of the other
// patterns, and point marks, are drawn through the painter. The vectors are
// kept between paints, so a repaint allocates nothing once they have grown.
#pragma once

#include <gradctrls/charts/chartdata.h>

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QSize>

#include <limits>
#include <vector>

class QImage;
class QPainter;

class CChartLines {
public:
    // A dashed line: kDashOn × kDashStep device columns drawn, kDashOff × kDashStep left out.
    static constexpr int kDashStep = 3;
    static constexpr int kDashOn = 2;
    static constexpr int kDashOff = 1;

    // Folds the visible lines of data for a client area of size at ratio device
    // pixels per pixel: the lines drawn as runs over the device columns
    // [fromColumn, toColumn) (with what joins them to the columns either
    // side), the others whole.
    void fold(const CChartData& data, const QSize& size, double ratio, int fromColumn = 0,
             int toColumn = std::numeric_limits<int>::max());
    // Writes the run lines, in line order, into image (device pixels, 32 bits):
    // only the fold's columns.
    void writeRuns(QImage& image) const;
    // Draws, through painter, the lines of the other patterns and the point
    // marks of lines that show them.
    void draw(QPainter& painter, const CChartData& data) const;
    // The widest run line in device pixels (how far a run reaches right of its column).
    static int passes(const CChartData::SLine& line, double ratio);
    // Drawn as runs: solid and dashed lines. Style 5 draws nothing.
    static bool drawnAsRuns(const CChartData::SLine& line) { return line.style <= 1; }

private:
    struct SFolded {
        const CChartData::SLine* line = nullptr;
        std::vector<CChartData::SColumn> columns;
        bool runs = false;
    };

    void addRuns(const SFolded& f, int width) const;
    void drawPainted(QPainter& painter, const SFolded& f) const;

    // A rectangle of device pixels [x0, x1) × [y0, y1) in one colour.
    struct SRun {
        int x0, x1, y0, y1;
        quint32 pixel;
    };

    std::vector<SFolded> m_folded;
    std::size_t m_count = 0;
    QSize m_size;
    double m_ratio = 1.0;
    int m_from = 0;
    int m_to = 0;
    long long m_origin = 0;
    mutable std::vector<QPointF> m_poly;
    mutable std::vector<QLineF> m_bars;
    mutable std::vector<SRun> m_runs;
    mutable std::vector<int> m_bandStart; // first entry of each band in m_bandRuns
    mutable std::vector<int> m_bandRuns; // run indices, band by band
    mutable std::vector<int> m_bandFill;
};
