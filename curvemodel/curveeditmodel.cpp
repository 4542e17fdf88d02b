// SPDX-License-Identifier: GPL-3.0-or-later
#include <curvemodel/curveeditmodel.h>

#include <algorithm>
#include <cmath>

CCurveEditModel::CCurveEditModel(const std::vector<double>& xs)
{
    m_points.reserve(xs.size());
    for (double x : xs)
        m_points.push_back({ x, 0, false, false });
    if (!m_points.empty()) {
        m_points.front().node = m_points.front().fixedNode = true;
        m_points.back().node = m_points.back().fixedNode = true;
    }
}

std::vector<double> CCurveEditModel::values() const
{
    std::vector<double> v;
    v.reserve(m_points.size());
    for (const Point& p : m_points)
        v.push_back(p.y);
    return v;
}

void CCurveEditModel::setValues(const std::vector<double>& values)
{
    for (std::size_t i = 0; i < m_points.size() && i < values.size(); ++i)
        m_points[i].y = std::trunc(values[i]);
}

void CCurveEditModel::clear()
{
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        Point& p = m_points[i];
        p.y = 0;
        const bool end = i == 0 || i + 1 == m_points.size();
        p.node = p.fixedNode = end;
    }
    if (m_current >= m_points.size())
        m_current = 0;
}

void CCurveEditModel::markShapeNodes()
{
    for (std::size_t i = 1; i + 1 < m_points.size(); ++i) {
        const double y = m_points[i].y, a = m_points[i - 1].y, b = m_points[i + 1].y;
        const bool extreme = (y > a && y > b) || (y < a && y < b);
        if (extreme || std::fabs(std::fabs(y - a) - std::fabs(y - b)) > 1)
            m_points[i].node = m_points[i].fixedNode = true;
    }
}

bool CCurveEditModel::select(std::size_t i, bool makeFixed)
{
    const bool changed = i != m_current || (makeFixed && !m_points[i].fixedNode);
    m_current = i;
    if (makeFixed)
        m_points[i].node = m_points[i].fixedNode = true;
    return changed;
}

std::size_t CCurveEditModel::previousNode(std::size_t from) const
{
    for (std::size_t i = from; i-- > 0;)
        if (m_points[i].node)
            return i;
    return 0;
}

std::size_t CCurveEditModel::nextNode(std::size_t from) const
{
    for (std::size_t i = from + 1; i < m_points.size(); ++i)
        if (m_points[i].node)
            return i;
    return m_points.size() - 1;
}

void CCurveEditModel::straighten(std::size_t from, std::size_t to)
{
    if (to <= from)
        return;
    const Point& a = m_points[from];
    const Point& b = m_points[to];
    for (std::size_t i = from + 1; i < to; ++i)
        m_points[i].y = a.y + (b.y - a.y) * (m_points[i].x - a.x) / (b.x - a.x);
}

void CCurveEditModel::step(int delta)
{
    // A point left between whole values by a straight stretch stays within the range.
    m_points[m_current].y = std::clamp(m_points[m_current].y + delta, kMin, kMax);
    straighten(previousNode(m_current), m_current);
    straighten(m_current, nextNode(m_current));
}

CCurveEditModel::Effect CCurveEditModel::key(CurveKey key, bool ctrl, int* stepOut)
{
    if (m_points.empty())
        return Effect::None;
    const std::size_t last = m_points.size() - 1;
    Point& cur = m_points[m_current];
    switch (key) {
    case CurveKey::Enter:
        cur.node = cur.fixedNode = true;
        return Effect::Redraw;
    case CurveKey::Delete: {
        if (m_current == 0 || m_current == last)
            return Effect::None;
        cur.node = cur.fixedNode = false;
        const std::size_t p = previousNode(m_current), q = nextNode(m_current);
        m_current = (m_current - p <= q - m_current) ? p : q;
        return Effect::Redraw;
    }
    case CurveKey::Left:
    case CurveKey::Right: {
        const bool left = key == CurveKey::Left;
        if (left ? m_current == 0 : m_current == last)
            return Effect::None;
        if (!cur.fixedNode)
            cur.node = false;
        m_current = left ? m_current - 1 : m_current + 1;
        m_points[m_current].node = true;
        return Effect::Redraw;
    }
    case CurveKey::Up:
    case CurveKey::Down: {
        const int delta = key == CurveKey::Up ? 1 : -1;
        if (ctrl) {
            if (stepOut)
                *stepOut = delta;
            return Effect::IncrementAll;
        }
        // A point at 49 still reaches 50; one at the limit stays.
        if (delta > 0 ? cur.y >= kMax : cur.y <= kMin)
            return Effect::None;
        step(delta);
        return Effect::CorrChanged;
    }
    }
    return Effect::None;
}

double CCurveEditModel::valueAt(double x) const
{
    if (m_points.empty())
        return 0;
    if (x <= m_points.front().x)
        return m_points.front().y;
    if (x >= m_points.back().x)
        return m_points.back().y;
    for (std::size_t i = 1; i < m_points.size(); ++i)
        if (x <= m_points[i].x) {
            const Point& a = m_points[i - 1];
            const Point& b = m_points[i];
            return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
        }
    return m_points.back().y;
}
