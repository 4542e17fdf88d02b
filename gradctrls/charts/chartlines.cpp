// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/chartlines.h>

#include <gradctrls/dialogs/gdippalette.h>

#include <QImage>
#include <QPainter>
#include <QLineF>

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

void CChartLines::fold(const CChartData& data, const QSize& size, double ratio, int fromColumn, int toColumn)
{
    m_size = size;
    m_ratio = std::max(1.0, ratio);
    m_from = std::max(0, fromColumn);
    m_to = toColumn;
    m_origin = static_cast<long long>(data.deviceOrigin(size.width(), m_ratio));
    m_count = 0;
    for (const auto& [number, line] : data.lines()) {
        if (!line.visible || line.points.empty())
            continue;
        if (m_folded.size() <= m_count)
            m_folded.emplace_back();
        SFolded& f = m_folded[m_count++];
        f.line = &line;
        f.runs = drawnAsRuns(line);
        // A run reaches right of its column by the line's width, and a column
        // joins the one before: a little before fromColumn is folded too.
        if (f.runs)
            data.foldColumns(line, size.width(), size.height(), m_ratio, f.columns, m_from - passes(line, m_ratio),
                m_to);
        else
            data.foldColumns(line, size.width(), size.height(), m_ratio, f.columns);
    }
}

int CChartLines::passes(const CChartData::SLine& line, double ratio)
{
    // The line's width in device pixels: a hair line is one device pixel wide.
    return std::max(1, static_cast<int>(std::lround(std::max(1, line.width) * ratio)));
}

void CChartLines::addRuns(const SFolded& f, int width) const
{
    width = std::min(width, m_to);
    const quint32 pixel = qPremultiply(GradPalette::fromColorRef(f.line->colour).rgba());
    const int n = passes(*f.line, m_ratio);
    const bool dashed = f.line->style == 1;
    constexpr int kPeriod = kDashStep * (kDashOn + kDashOff);
    // Rows in device pixels, bottom inclusive; n pixels wide and deep.
    auto add = [&](int column, double top, double bottom) {
        if (column + n <= m_from || column >= width)
            return;
        // Dashes as so many columns on, so many off, counted from x = 0.
        if (dashed && ((column + m_origin) % kPeriod + kPeriod) % kPeriod >= kDashOn * kDashStep)
            return;
        m_runs.push_back({ std::max(column, m_from), std::min(column + n, width), static_cast<int>(std::lround(top)),
            static_cast<int>(std::lround(bottom)) + n, pixel });
    };
    // The rows of a column whose line comes from row before and ends at row
    // here: one pixel when they are neighbours, else every row from the one
    // after before to here, so the line stays joined.
    auto step = [](double before, double here, double& top, double& bottom) {
        top = here > before ? std::min(here, before + 1) : here;
        bottom = here < before ? std::max(here, before - 1) : here;
    };
    const CChartData::SColumn* previous = nullptr;
    for (const CChartData::SColumn& c : f.columns) {
        double top = c.top * m_ratio;
        double bottom = c.bottom * m_ratio;
        if (previous) {
            const double from = previous->lastRow * m_ratio;
            const int span = c.column - previous->column;
            if (span == 1) {
                // A column is joined to the last row of the column before, so
                // the line stays continuous and no peak is lost.
                top = std::min(top, from);
                bottom = std::max(bottom, from);
            } else {
                // Columns without points between two points: the straight line
                // between them, stepped through column by column.
                const double to = c.firstRow * m_ratio;
                auto rowAt = [&](int k) {
                    return std::round(from + (to - from) * (k - previous->column) / span);
                };
                const int last = std::min(c.column - 1, width - 1);
                for (int k = std::max(previous->column + 1, m_from - n); k <= last; ++k) {
                    double runTop = 0;
                    double runBottom = 0;
                    step(rowAt(k - 1), rowAt(k), runTop, runBottom);
                    add(k, runTop, runBottom);
                }
                double arrivalTop = 0;
                double arrivalBottom = 0;
                step(rowAt(c.column - 1), std::round(to), arrivalTop, arrivalBottom);
                top = std::min(top, arrivalTop);
                bottom = std::max(bottom, arrivalBottom);
            }
        }
        previous = &c;
        add(c.column, top, bottom);
    }
}

void CChartLines::writeRuns(QImage& image) const
{
    std::vector<SRun>& runs = m_runs;
    runs.clear();
    for (std::size_t i = 0; i < m_count; ++i)
        if (m_folded[i].runs)
            addRuns(m_folded[i], image.width());
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
        if (!f.runs)
            drawPainted(painter, f);
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

void CChartLines::drawPainted(QPainter& painter, const SFolded& f) const
{
    const CChartData::SLine& line = *f.line;
    const Qt::PenStyle style = penStyle(line.style);
    if (style == Qt::NoPen)
        return;
    // A vertex at the first point of every column and, where a column holds
    // several points, a bar over their rows.
    std::vector<QPointF>& poly = m_poly;
    poly.clear();
    std::vector<QLineF>& bars = m_bars;
    bars.clear();
    for (const CChartData::SColumn& c : f.columns) {
        poly.emplace_back(c.firstX, c.firstRow);
        if (c.bottom - c.top >= 1)
            bars.emplace_back(c.firstX, c.top, c.firstX, c.bottom);
    }
    painter.setPen(QPen(GradPalette::fromColorRef(line.colour), std::max(1, line.width), style, Qt::FlatCap,
        Qt::BevelJoin));
    const int count = static_cast<int>(poly.size());
    if (count == 1)
        painter.drawPoint(poly.front());
    else if (count > 1)
        painter.drawPolyline(poly.data(), count);
    if (!bars.empty())
        painter.drawLines(bars.data(), static_cast<int>(bars.size()));
}
