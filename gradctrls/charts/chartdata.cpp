// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/chartdata.h>

#include <algorithm>
#include <cmath>
#include <limits>

bool CChartData::addLine(unsigned int number, const SLine& record)
{
    return m_lines.emplace(number, record).second;
}

CChartData::SLine* CChartData::line(unsigned int number)
{
    auto it = m_lines.find(number);
    return it == m_lines.end() ? nullptr : &it->second;
}

const CChartData::SLine* CChartData::line(unsigned int number) const
{
    auto it = m_lines.find(number);
    return it == m_lines.end() ? nullptr : &it->second;
}

std::size_t CChartData::pointCount() const
{
    std::size_t n = 0;
    for (const auto& [number, l] : m_lines)
        n += l.points.size();
    return n;
}

CChartData::SAddResult CChartData::addData(unsigned int number, double x, double y)
{
    SLine* l = line(number);
    if (!l)
        return {};
    // NaN would break the ordering of the point map and every limit below.
    if (std::isnan(x) || std::isnan(y))
        return {};
    bool moved = false;
    if (pointCount() != 0) {
        const bool lastInside = !l->points.empty() && l->points.rbegin()->first >= m_xStart
                                && l->points.rbegin()->first <= m_xStart + m_xWidth;
        if (lastInside && x > m_xStart + 0.9 * m_xWidth) {
            m_xStart = x - 0.9 * m_xWidth;
            moved = true;
        } else if (x > m_xMax && x > m_xWidth) {
            m_xMax = x + 0.1 * m_xWidth;
            moved = true;
        } else if (x < m_xMin) {
            m_xMin = x;
            moved = true;
        }
    }
    y = std::clamp(y, m_yMin, m_yMax);
    l->points[x] = y;
    if (trim() || moved) {
        normalise();
        moved = true;
    }
    return {1, moved};
}

CChartData::SAddResult CChartData::addData(unsigned int number, double y)
{
    const SLine* l = line(number);
    if (!l || !l->visible)
        return {};
    const double x = l->points.empty() ? 0.0 : l->points.rbegin()->first + l->autoinc;
    return addData(number, x, y);
}

bool CChartData::trim()
{
    if (m_maxPoints == 0)
        return false;
    bool dropped = false;
    for (auto& [number, l] : m_lines) {
        while (l.points.size() > m_maxPoints) {
            l.points.popFront();
            dropped = true;
        }
    }
    if (dropped) {
        double smallest = std::numeric_limits<double>::max();
        for (const auto& [number, l] : m_lines)
            if (!l.points.empty())
                smallest = std::min(smallest, l.points.begin()->first);
        if (smallest != std::numeric_limits<double>::max())
            m_xMin = smallest;
    }
    return dropped;
}

void CChartData::normalise()
{
    m_xStart = std::max(m_xStart, m_xMin);
    m_xMax = std::max(m_xMax, m_xStart + m_xWidth);
}

unsigned int CChartData::setMaxPoints(unsigned int n)
{
    const unsigned int previous = m_maxPoints;
    m_maxPoints = n;
    if (n != previous && trim())
        normalise();
    return previous;
}

double CChartData::setHorzRange(double width)
{
    const double previous = m_xWidth;
    // A window without width would divide every mapping by zero.
    if (!(width > 0.0))
        return previous;
    m_xWidth = width;
    if (width > m_xMax)
        m_xMax = 1.1 * width;
    return previous;
}

void CChartData::clear()
{
    for (auto& [number, l] : m_lines)
        l.points.clear();
    m_xStart = 0.0;
    m_xMin = 0.0;
}

void CChartData::scroll(EScroll action, int thumbPos)
{
    switch (action) {
    case EScroll::LineLeft:
        if (m_xStart >= 1.0)
            m_xStart -= 0.01 * m_xWidth;
        break;
    case EScroll::LineRight:
        m_xStart += 0.01 * m_xWidth;
        break;
    case EScroll::PageLeft:
        m_xStart = std::max(0.0, m_xStart - m_xWidth / 2.0);
        break;
    case EScroll::PageRight:
        m_xStart += m_xWidth / 2.0;
        break;
    case EScroll::ThumbTrack:
        m_xStart = m_xMin + (m_xMax - m_xMin) * thumbPos / 1000.0;
        break;
    }
    clampStart();
}

void CChartData::clampStart()
{
    m_xStart = std::min(m_xStart, m_xMax - m_xWidth);
    m_xStart = std::max(m_xStart, m_xMin);
}

CChartData::SScrollInfo CChartData::scrollInfo() const
{
    const double extent = m_xMax - m_xMin;
    // No extent: the window shows everything there is.
    if (!(extent > 0.0))
        return {1000, 0};
    SScrollInfo info;
    info.page = static_cast<int>(std::clamp(m_xWidth / extent * 1000.0, 0.0, 1000.0));
    info.pos = static_cast<int>(std::clamp((m_xStart - m_xMin) / extent * 1000.0, 0.0, 1000.0));
    return info;
}

int CChartData::toPixelY(double y, int h) const
{
    if (!(m_yMax != 0.0))
        return h;
    return h - static_cast<int>(h * y * 0.999 / m_yMax);
}

std::size_t CChartData::foldColumns(const SLine& l, int w, int h, double ratio, std::vector<SColumn>& out,
                                    int fromColumn, int toColumn) const
{
    out.clear();
    if (l.points.empty() || w <= 0 || h <= 0 || !(m_xWidth > 0.0))
        return 0;
    // The mapping of toPixelX, with its factors taken out of the loop.
    const double scale = w / m_xWidth;
    const double deviceScale = this->deviceScale(w, ratio);
    const double origin = deviceOrigin(w, ratio);
    const double from = fromColumn;
    const double to = std::min(std::round(w * ratio), static_cast<double>(toColumn));
    auto columnOf = [&](double x) { return std::floor(x * deviceScale) - origin; };
    // The points on the columns [from, to) and one either side, chosen by
    // column rather than by x, so that a window moved by less than a column
    // folds the same points.
    auto firstAt = [&](double column) {
        auto it = l.points.lower_bound((origin + column) / deviceScale);
        while (it != l.points.begin() && columnOf(std::prev(it)->first) >= column)
            --it;
        while (it != l.points.end() && columnOf(it->first) < column)
            ++it;
        return it;
    };
    auto first = firstAt(from);
    if (first != l.points.begin())
        --first;
    auto last = firstAt(to);
    if (last != l.points.end())
        ++last;
    std::size_t count = 0;
    SColumn* open = nullptr;
    for (auto it = first; it != last; ++it, ++count) {
        // Points far outside the window still fold onto one column each side.
        const double dx = std::clamp(it->first * deviceScale, origin - 1.0e6, origin + 1.0e6);
        int column = static_cast<int>(dx - origin);
        if (dx - origin < column)
            --column; // floor, without a library call per point
        // toPixelY's arithmetic, kept inline for the walk over every point.
        const int row = m_yMax != 0.0 ? h - static_cast<int>(h * it->second * 0.999 / m_yMax) : h;
        if (open && open->column == column) {
            open->lastRow = row;
            open->top = std::min(open->top, row);
            open->bottom = std::max(open->bottom, row);
            continue;
        }
        open = &out.emplace_back(SColumn {column, (it->first - m_xStart) * scale, row, row, row, row});
    }
    return count;
}

bool CChartData::nearestPoint(unsigned int number, double x, double maxDistance, double& px, double& py) const
{
    const SLine* l = line(number);
    if (!l || l->points.empty())
        return false;
    auto after = l->points.lower_bound(x);
    auto best = l->points.end();
    if (after != l->points.end())
        best = after;
    if (after != l->points.begin()) {
        auto before = std::prev(after);
        if (best == l->points.end() || x - before->first < best->first - x)
            best = before;
    }
    if (std::abs(best->first - x) > maxDistance)
        return false;
    px = best->first;
    py = best->second;
    return true;
}
