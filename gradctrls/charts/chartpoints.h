// SPDX-License-Identifier: GPL-3.0-or-later
// The points of one chart line: x -> y, ordered by x, each x once (a point at
// an existing x replaces it). Points arrive in x order nearly always and leave
// from the front, so they are kept in one deque rather than a tree: adding or
// dropping one allocates nothing per point, and a walk over them reads memory
// in order (the chart walks every visible point on each repaint). edits()
// counts the changes other than a point added at the end or the oldest
// dropped, so a picture of the points can tell when it must be drawn afresh.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <utility>

class CChartPoints {
public:
    using value_type = std::pair<double, double>;
    using container_type = std::deque<value_type>;
    using iterator = container_type::iterator;
    using const_iterator = container_type::const_iterator;
    using const_reverse_iterator = container_type::const_reverse_iterator;

    const_iterator begin() const { return m_points.begin(); }
    const_iterator end() const { return m_points.end(); }
    const_reverse_iterator rbegin() const { return m_points.rbegin(); }
    const_reverse_iterator rend() const { return m_points.rend(); }
    std::size_t size() const { return m_points.size(); }
    bool empty() const { return m_points.empty(); }
    void clear()
    {
        m_points.clear();
        ++m_edits;
    }
    std::uint64_t edits() const { return m_edits; }

    // The first point at or after x, and the first after x.
    const_iterator lower_bound(double x) const
    {
        return std::lower_bound(
            m_points.begin(), m_points.end(), x, [](const value_type& p, double v) { return p.first < v; });
    }
    const_iterator upper_bound(double x) const
    {
        return std::upper_bound(
            m_points.begin(), m_points.end(), x, [](double v, const value_type& p) { return v < p.first; });
    }

    // The y at x; a missing x is inserted in order with y 0.
    double& operator[](double x)
    {
        if (m_points.empty() || m_points.back().first < x)
            return m_points.emplace_back(x, 0.0).second;
        ++m_edits;
        auto it = m_points.begin() + (lower_bound(x) - m_points.cbegin());
        if (it->first == x)
            return it->second;
        return m_points.emplace(it, x, 0.0)->second;
    }
    // The y at x; throws std::out_of_range when there is no point at x.
    double at(double x) const
    {
        const auto it = lower_bound(x);
        if (it == m_points.end() || it->first != x)
            throw std::out_of_range("no chart point at this x");
        return it->second;
    }
    // Drops the point with the smallest x.
    void popFront() { m_points.pop_front(); }

private:
    container_type m_points;
    std::uint64_t m_edits = 0;
};
