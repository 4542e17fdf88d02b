// SPDX-License-Identifier: GPL-3.0-or-later
// The data and window arithmetic of the scroll chart, free of any window so it
// can be tested on its own: numbered lines of (x, y) points, the horizontal
// window that follows the newest data, the extent of the data, trimming to a
// most-points limit, the scroll-bar actions and the pixel mapping.
#pragma once

#include <gradctrls/charts/chartpoints.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

class CChartData {
public:
    // The text shown for a chart value y (UTF-8).
    using LabelFunction = std::function<std::string(double)>;

    struct SLine {
        CChartPoints points;   // x -> y, ordered by x
        LabelFunction label;
        uint32_t colour = 0;   // 0x00BBGGRR
        int style = 0;         // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 none
        int width = 1;         // pixels
        bool visible = true;
        bool pointsShown = false;
        double autoinc = 1.0;  // x step of points added without x
    };

    enum class EScroll { LineLeft, LineRight, PageLeft, PageRight, ThumbTrack };

    // A line's points inside the window folded onto one pixel column: rows of
    // the first and last point and the highest (top) and lowest (bottom) row.
    struct SColumn {
        int column = 0;       // device pixel column, counted from deviceOrigin()
        double firstX = 0.0;  // the first point's x in (logical) pixels
        int firstRow = 0;
        int lastRow = 0;
        int top = 0;
        int bottom = 0;
    };

    // Scroll-bar state on a 0 … 1000 scale.
    struct SScrollInfo {
        int page = 1000;
        int pos = 0;
    };

    // Result of adding a point: 0 for an unknown line; limitsMoved tells the
    // caller to update its scroll bar.
    struct SAddResult {
        int status = 0;
        bool limitsMoved = false;
    };

    // False when the number is already taken.
    bool addLine(unsigned int line, const SLine& record);
    SLine* line(unsigned int line);
    const SLine* line(unsigned int line) const;
    const std::map<unsigned int, SLine>& lines() const { return m_lines; }

    SAddResult addData(unsigned int line, double x, double y);
    // x = the line's last x + its step (0 for its first point); visible lines only.
    SAddResult addData(unsigned int line, double y);

    // Returns the previous limit; a change trims at once.
    unsigned int setMaxPoints(unsigned int n);
    unsigned int maxPoints() const { return m_maxPoints; }
    // Returns the previous width; a width beyond the data's extent widens it.
    double setHorzRange(double width);
    void clear();

    // Applies one scroll-bar action; thumbPos (0 … 1000) is used by ThumbTrack.
    void scroll(EScroll action, int thumbPos = 0);
    // Keeps the window start within [xMin, xMax - width].
    void clampStart();
    SScrollInfo scrollInfo() const;

    // Pixel mapping for a client area of width w and height h.
    double toPixelX(double x, int w) const { return (x - m_xStart) * w / m_xWidth; }
    int toPixelY(double y, int h) const;
    double fromPixelX(double column, int w) const { return column * m_xWidth / w + m_xStart; }
    double fromPixelY(double row, int h) const { return (h - row) * m_yMax / h; }

    // Device pixels per x unit for a client area w pixels wide at ratio device pixels each.
    double deviceScale(int w, double ratio) const { return w / m_xWidth * ratio; }
    // The device column, counted from x = 0, that the window starts in. Points
    // fold onto whole device columns counted from x = 0, so a window moved by
    // any amount folds every point onto the same column as before, shifted by
    // the difference of the origins: a picture of them can be scrolled.
    double deviceOrigin(int w, double ratio) const { return std::floor(m_xStart * deviceScale(w, ratio)); }

    // Folds the line's points on the window's device columns (and one either
    // side, so a line reaches the edges) onto the device pixel columns of a client area of w × h
    // logical pixels at ratio device pixels each; returns the number of points.
    // However many points share a column, it costs one entry and keeps its peaks.
    // Only the points on the device columns [fromColumn, toColumn) and one
    // either side are folded.
    std::size_t foldColumns(const SLine& line, int w, int h, double ratio, std::vector<SColumn>& out,
                            int fromColumn = 0, int toColumn = std::numeric_limits<int>::max()) const;

    // The line's point nearest to x within maxDistance, if any.
    bool nearestPoint(unsigned int line, double x, double maxDistance, double& px, double& py) const;
    std::size_t pointCount() const;

    double m_xStart = 0.0;
    double m_xWidth = 1000.0;
    double m_xMin = 0.0;
    double m_xMax = 1000.0;
    double m_yMax = 100.0;
    double m_yMin = 0.0;

private:
    bool trim();
    void normalise();

    std::map<unsigned int, SLine> m_lines;
    unsigned int m_maxPoints = 0;
};
