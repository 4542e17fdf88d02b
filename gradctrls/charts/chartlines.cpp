// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/chartlines.h>

#include <gradctrls/dialogs/gdippalette.h>

#include <QImage>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

Qt::PenStyle penStyle(int style)
{
    switch (style) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    case 5:
        return Qt::NoPen;
    default:
        return Qt::SolidLine;
    }
}

template <int N> void fillRows(quint32* p, qsizetype step, int rows, quint32 pixel)
{
    for (int y = 0; y < rows; ++y, p += step)
        for (int x = 0; x < N; ++x)
            p[x] = pixel;
}

} // namespace

int CChartLines::fold(const CChartData& data, const QSize& size, double ratio)
{
    m_size = size;
    m_ratio = std::max(1.0, ratio);
    m_count = 0;
    int dense = 0;
    for (const auto& [number, line] : data.lines()) {
        if (!line.visible || line.points.empty())
            continue;
        if (m_folded.size() <= m_count)
            m_folded.emplace_back();
        SFolded& f = m_folded[m_count++];
        f.line = &line;
        const std::size_t points = data.foldColumns(line, size.width(), size.height(), m_ratio, f.columns);
        // Solid and dashed lines; the other patterns need the painter's stroking.
        f.dense = line.style <= 1 && points > f.columns.size();
        dense += f.dense ? 1 : 0;
    }
    return dense;
}

int CChartLines::passes(const CChartData::SLine& line) const
{
    // The line's width in device pixels: a hair line is one device pixel wide.
    return std::max(1, static_cast<int>(std::lround(std::max(1, line.width) * m_ratio)));
}

void CChartLines::writeDense(QImage& image) const
{
    // Every column a run from its highest to its lowest row, joined to the last
    // row of the column before, so the line stays continuous and no peak is lost.
    std::vector<SRun>& runs = m_runs;
    runs.clear();
    for (std::size_t i = 0; i < m_count; ++i) {
        const SFolded& f = m_folded[i];
        if (!f.dense)
            continue;
        const quint32 pixel = qPremultiply(GradPalette::fromColorRef(f.line->colour).rgba());
        const int n = passes(*f.line);
        const CChartData::SColumn* previous = nullptr;
        const bool dashed = f.line->style == 1;
        for (const CChartData::SColumn& c : f.columns) {
            int top = c.top;
            int bottom = c.bottom;
            if (previous && previous->column + 1 == c.column) {
                top = std::min(top, previous->lastRow);
                bottom = std::max(bottom, previous->lastRow);
            }
            previous = &c;
            // Dashes as the pen draws them: so many columns on, so many off.
            if (dashed && c.column / kDashStep % (kDashOn + kDashOff) >= kDashOn)
                continue;
            const int x0 = std::max(c.column, 0);
            const int x1 = std::min(c.column + n, image.width());
            if (x0 < x1)
                runs.push_back({ x0, x1, static_cast<int>(std::lround(top * m_ratio)),
                    static_cast<int>(std::lround(bottom * m_ratio)) + n, pixel });
        }
    }
    // Band by band, so that the rows being written stay in the cache while every
    // line passes over them; line by line over the whole picture, each line
    // would fetch the picture from memory again. Each band lists the runs that
    // reach into it (a counting sort), so a band costs only its own runs.
    const int height = image.height();
    const qsizetype stride = image.bytesPerLine();
    const int band = std::max(8, static_cast<int>(256 * 1024 / std::max<qsizetype>(1, stride)));
    const int bands = (height + band - 1) / band;
    if (bands <= 0)
        return;
    auto bandsOf = [&](const SRun& r, int& first, int& last) {
        first = std::clamp(r.y0, 0, height - 1) / band;
        last = std::clamp(r.y1 - 1, 0, height - 1) / band;
        return r.y0 < r.y1 && r.y1 > 0 && r.y0 < height;
    };
    std::vector<int>& start = m_bandStart;
    start.assign(static_cast<std::size_t>(bands) + 1, 0);
    for (const SRun& r : runs) {
        int first = 0;
        int last = 0;
        if (bandsOf(r, first, last))
            for (int b = first; b <= last; ++b)
                ++start[static_cast<std::size_t>(b) + 1];
    }
    for (int b = 0; b < bands; ++b)
        start[static_cast<std::size_t>(b) + 1] += start[static_cast<std::size_t>(b)];
    std::vector<int>& order = m_bandRuns;
    order.resize(static_cast<std::size_t>(start.back()));
    std::vector<int>& next = m_bandFill;
    next.assign(start.begin(), start.end() - 1);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        int first = 0;
        int last = 0;
        if (bandsOf(runs[i], first, last))
            for (int b = first; b <= last; ++b)
                order[static_cast<std::size_t>(next[static_cast<std::size_t>(b)]++)] = static_cast<int>(i);
    }
    uchar* const bits = image.bits();
    const qsizetype step = stride / static_cast<qsizetype>(sizeof(quint32));
    for (int b = 0; b < bands; ++b) {
        const int bandTop = b * band;
        const int bandBottom = std::min(bandTop + band, height);
        for (int k = start[static_cast<std::size_t>(b)]; k < start[static_cast<std::size_t>(b) + 1]; ++k) {
            const SRun& r = runs[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])];
            const int y0 = std::max(r.y0, bandTop);
            const int y1 = std::min(r.y1, bandBottom);
            auto* p = reinterpret_cast<quint32*>(bits + y0 * stride) + r.x0;
            const int n = r.x1 - r.x0;
            // Lines are one to a few device pixels wide: those widths without an inner loop.
            switch (n) {
            case 1:
                fillRows<1>(p, step, y1 - y0, r.pixel);
                break;
            case 2:
                fillRows<2>(p, step, y1 - y0, r.pixel);
                break;
            case 3:
                fillRows<3>(p, step, y1 - y0, r.pixel);
                break;
            case 4:
                fillRows<4>(p, step, y1 - y0, r.pixel);
                break;
            default:
                for (int y = y0; y < y1; ++y, p += step)
                    std::fill_n(p, n, r.pixel);
                break;
            }
        }
    }
}

void CChartLines::draw(QPainter& painter, const CChartData& data) const
{
    for (std::size_t i = 0; i < m_count; ++i) {
        const SFolded& f = m_folded[i];
        if (f.dense)
            drawJoins(painter, f);
        else
            drawSparse(painter, f);
        if (!f.line->pointsShown)
            continue;
        auto first = f.line->points.lower_bound(data.m_xStart);
        if (first != f.line->points.begin())
            --first;
        auto last = f.line->points.upper_bound(data.m_xStart + data.m_xWidth);
        if (last != f.line->points.end())
            ++last;
        const QColor colour = GradPalette::fromColorRef(f.line->colour);
        painter.setPen(QPen(colour, 1));
        painter.setBrush(colour);
        for (auto it = first; it != last; ++it)
            painter.drawRect(QRectF(data.toPixelX(it->first, m_size.width()) - 1.5,
                data.toPixelY(it->second, m_size.height()) - 1.5, 3, 3));
        painter.setBrush(Qt::NoBrush);
    }
}

void CChartLines::drawJoins(QPainter& painter, const SFolded& f) const
{
    // Gaps in the data between the runs: sloped joins, as hair lines side by
    // side in device pixels.
    std::vector<QLineF>& joins = m_segments;
    joins.clear();
    const CChartData::SColumn* previous = nullptr;
    for (const CChartData::SColumn& c : f.columns) {
        if (previous && previous->column + 1 != c.column)
            joins.emplace_back(previous->column, previous->lastRow * m_ratio, c.column, c.firstRow * m_ratio);
        previous = &c;
    }
    if (joins.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setWorldTransform(QTransform::fromScale(1.0 / m_ratio, 1.0 / m_ratio), true);
    painter.setPen(QPen(GradPalette::fromColorRef(f.line->colour), 0));
    const QTransform base = painter.transform();
    for (int i = 0; i < passes(*f.line); ++i) {
        painter.setTransform(QTransform(base).translate(i, 0));
        painter.drawLines(joins.data(), static_cast<int>(joins.size()));
        painter.setTransform(QTransform(base).translate(0, i));
        painter.drawLines(joins.data(), static_cast<int>(joins.size()));
    }
    painter.restore();
}

void CChartLines::drawSparse(QPainter& painter, const SFolded& f) const
{
    // A vertex at the first point of every column and, where a column holds
    // several points, a bar over their rows.
    std::vector<QPointF>& poly = m_poly;
    std::vector<QLineF>& bars = m_segments;
    poly.clear();
    bars.clear();
    for (const CChartData::SColumn& c : f.columns) {
        poly.emplace_back(c.firstX, c.firstRow);
        if (c.bottom - c.top >= 1)
            bars.emplace_back(c.firstX, c.top, c.firstX, c.bottom);
    }
    const CChartData::SLine& line = *f.line;
    const QColor colour = GradPalette::fromColorRef(line.colour);
    const int count = static_cast<int>(poly.size());
    const int n = passes(line);
    if (line.style <= 1 && n > 1 && count > 1) {
        // A wide solid or dashed line as hair lines side by side, one device
        // pixel apart: the raster engine draws hair lines (dashed ones too) on a
        // fast path, while a wide pen is stroked as a path, which costs tens of
        // milliseconds on a dense line.
        QPen hair(colour, 0);
        if (line.style == 1)
            hair.setDashPattern({ static_cast<qreal>(kDashOn * kDashStep), static_cast<qreal>(kDashOff * kDashStep) });
        painter.setPen(hair);
        const QTransform base = painter.transform();
        for (int i = 0; i < n; ++i) {
            const qreal shift = i / m_ratio;
            painter.setTransform(QTransform(base).translate(shift, 0));
            painter.drawPolyline(poly.data(), count);
            painter.drawLines(bars.data(), static_cast<int>(bars.size()));
            if (i == 0)
                continue;
            painter.setTransform(QTransform(base).translate(0, shift));
            painter.drawPolyline(poly.data(), count);
        }
        painter.setTransform(base);
        return;
    }
    painter.setPen(QPen(colour, std::max(1, line.width), penStyle(line.style), Qt::FlatCap, Qt::BevelJoin));
    if (count == 1)
        painter.drawPoint(poly.front());
    else if (count > 1)
        painter.drawPolyline(poly.data(), count);
    if (!bars.empty())
        painter.drawLines(bars.data(), static_cast<int>(bars.size()));
}
