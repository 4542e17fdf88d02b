// SPDX-License-Identifier: GPL-3.0-or-later
// The editing rules shared by the correction curve charts (temperature,
// pressure, and the curve of the 2D chart): points at fixed x, nodes that
// shape the curve with straight segments between them, a current point moved
// by the keys and the mouse, and values kept within −50 … +50. The chart
// controls paint and route input; the page writes what changed.
#pragma once

#include <cstddef>
#include <vector>

enum class CurveKey { Enter, Delete, Left, Right, Up, Down };

class CCurveEditModel {
public:
    struct Point {
        double x = 0;
        double y = 0;
        bool node = false;
        bool fixedNode = false;
    };
    // What a key asks of the page after the model has changed.
    enum class Effect { None, Redraw, CorrChanged, IncrementAll };

    static constexpr double kMin = -50, kMax = 50;
    static constexpr int kPickRadius = 40; // pixels

    explicit CCurveEditModel(const std::vector<double>& xs = {});

    std::size_t size() const { return m_points.size(); }
    const Point& point(std::size_t i) const { return m_points.at(i); }
    const std::vector<Point>& points() const { return m_points; }
    std::size_t current() const { return m_current; }
    std::vector<double> values() const;

    // Each y := trunc(value) (whole percent); the marks stay.
    void setValues(const std::vector<double>& values);
    // Every point 0, only the ends remain nodes.
    void clear();
    // Marks as fixed node each interior point that is a strict local extreme
    // or where the slopes to its two neighbours differ by more than 1.
    void markShapeNodes();

    // Key-down; ctrl with Up/Down asks for IncrementAll with step ±1.
    Effect key(CurveKey key, bool ctrl, int* step = nullptr);
    // Mouse at pixel (px, py); toScreen maps a point to a pixel pair
    // (first x, second y). Left picks the first node within ±40 pixels, right
    // the first point and makes it a fixed node. True when something changed.
    template <class Map> bool leftClick(int px, int py, Map toScreen)
    {
        for (std::size_t i = 0; i < m_points.size(); ++i)
            if (m_points[i].node && near(toScreen(m_points[i]), px, py))
                return select(i, false);
        return false;
    }
    template <class Map> bool rightClick(int px, int py, Map toScreen)
    {
        for (std::size_t i = 0; i < m_points.size(); ++i)
            if (near(toScreen(m_points[i]), px, py))
                return select(i, true);
        return false;
    }

    // Linear interpolation of the curve at x, clamped to the x range.
    double valueAt(double x) const;

private:
    template <class P> static bool near(P p, int px, int py)
    {
        return p.first >= px - kPickRadius && p.first <= px + kPickRadius && p.second >= py - kPickRadius
            && p.second <= py + kPickRadius;
    }
    bool select(std::size_t i, bool makeFixed);
    void step(int delta);
    std::size_t previousNode(std::size_t from) const;
    std::size_t nextNode(std::size_t from) const;
    void straighten(std::size_t from, std::size_t to);

    std::vector<Point> m_points;
    std::size_t m_current = 0;
};
