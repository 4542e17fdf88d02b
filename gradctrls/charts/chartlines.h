// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of a scroll chart as they are painted: every visible line's points
// inside the window folded onto device pixel columns (min / max per column, so
// peaks stay visible however many points share a column), then drawn.
// A line with more points than columns is dense: its columns become vertical
// runs written straight into an image of device pixels, a few stores per row.
// The others are drawn as polylines through the painter. The vectors are kept
// between paints, so a repaint allocates nothing once they have grown.
#pragma once

#include <gradctrls/charts/chartdata.h>

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QSize>

#include <vector>

class QImage;
class QPainter;

class CChartLines {
public:
    // A dashed line: kDashOn × kDashStep pixels drawn, kDashOff × kDashStep left out.
    static constexpr int kDashStep = 3;
    static constexpr int kDashOn = 2;
    static constexpr int kDashOff = 1;

    // Folds the visible lines of data for a client area of size at ratio device
    // pixels per pixel; returns the number of dense lines.
    int fold(const CChartData& data, const QSize& size, double ratio);
    // Writes the dense lines, in line order, into image (device pixels, 32 bits).
    void writeDense(QImage& image) const;
    // Draws, through painter, the joins of dense lines over gaps in the data,
    // the other lines and the point marks of lines that show them.
    void draw(QPainter& painter, const CChartData& data) const;

private:
    struct SFolded {
        const CChartData::SLine* line = nullptr;
        std::vector<CChartData::SColumn> columns;
        bool dense = false;
    };

    void drawSparse(QPainter& painter, const SFolded& f) const;
    void drawJoins(QPainter& painter, const SFolded& f) const;
    int passes(const CChartData::SLine& line) const;

    // A rectangle of device pixels [x0, x1) × [y0, y1) in one colour.
    struct SRun {
        int x0, x1, y0, y1;
        quint32 pixel;
    };

    std::vector<SFolded> m_folded;
    std::size_t m_count = 0;
    QSize m_size;
    double m_ratio = 1.0;
    mutable std::vector<QPointF> m_poly;
    mutable std::vector<QLineF> m_segments;
    mutable std::vector<SRun> m_runs;
    mutable std::vector<int> m_bandStart; // first entry of each band in m_bandRuns
    mutable std::vector<int> m_bandRuns; // run indices, band by band
    mutable std::vector<int> m_bandFill;
};
