// SPDX-License-Identifier: GPL-3.0-or-later
// The live line chart: numbered lines of (x, y) points drawn over a grid
// through a horizontal window that follows the newest data and can be scrolled
// back with a horizontal scroll bar. The window arithmetic is CChartData's;
// this class paints, owns the scroll bar and reports its limits.
#pragma once

#include <gradctrls/charts/chartdata.h>
#include <gradctrls/charts/chartlines.h>
#include <gradctrls/dialogs/backgroundcache.h>
#include <gradctrls/dialogs/igdipgradientctrl.h>

#include <QColor>
#include <QRgba64>
#include <QFont>
#include <QStaticText>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

class QScrollBar;

class CScrollChart : public QWidget, public IGDIpGradientCtrl {
    Q_OBJECT
public:
    // Style bits: the chart reports its limits (xRangeChanged, yRangeChanged)
    // on every scroll-bar update; the chart has a horizontal scroll bar.
    static constexpr unsigned int kNotify = 0x1;
    static constexpr unsigned int kHScroll = 0x00100000;
    using LabelFunction = CChartData::LabelFunction;

    CScrollChart();
    ~CScrollChart() override;

    bool Create(unsigned int style, const QRect& rect, QWidget* parent, int id);
    // Takes the place of the parent's child with the id (same rectangle and id).
    bool CreateFromStatic(unsigned int style, QWidget* parent, int id);

    // 0 when the number is taken. style: 0 solid … 5 none; colour 0x00BBGGRR.
    int AddLine(unsigned int line, LabelFunction label, uint32_t colour, int style = 0, int width = 1,
                bool visible = true, bool pointsShown = false);
    // 1 when added, 0 for an unknown line.
    int AddData(unsigned int line, double x, double y, bool redraw = true);
    // At the line's last x + its step; 0 for an unknown or hidden line.
    int AddData(unsigned int line, double y, bool redraw = true);

    unsigned int SetMaxPoints(unsigned int n);
    unsigned int GetMaxPoints() const { return m_data.maxPoints(); }
    int SetGrid(int on);
    unsigned int SetHorzDiv(unsigned int n, bool redraw = true);
    unsigned int SetVertDiv(unsigned int n, bool redraw = true);
    unsigned int GetHorzDiv() const { return m_horzDiv; }
    unsigned int GetVertDiv() const { return m_vertDiv; }
    double SetHorzRange(double width);
    uint32_t SetLineColor(unsigned int line, uint32_t colour);
    uint32_t GetLineColor(unsigned int line) const;
    int SetLineStyle(unsigned int line, int style, bool redraw = true);
    int GetLineStyle(unsigned int line) const;
    int SetLineWidth(unsigned int line, int width, bool redraw = true);
    int GetLineWidth(unsigned int line) const;
    double SetAutoinc(unsigned int line, double step);
    void ShowLine(unsigned int line, bool visible, bool redraw = true);
    void ShowPoints(unsigned int line, bool visible, bool redraw = true);
    void Clear();

    void SetReadMode(bool on);
    bool GetReadMode() const { return m_readMode; }
    // Brings the scroll bar in line with the window and reports the limits.
    void UpdateScrollInfo();
    void ShowScrollBar(bool show);
    QScrollBar* scrollBar() const { return m_scrollBar; }
    void setGridColor(const QColor& colour) { m_gridColour = colour; }

    // The window and extent (the readings page steps the window itself).
    CChartData& data() { return m_data; }
    const CChartData& data() const { return m_data; }
    // The drawing area: the widget less the scroll bar when shown.
    QRect clientRect() const;

    // The value labels at the newest point of every line (on by default).
    void SetValueLabels(bool on);
    // A y scale at the left edge for one line: its labels at the chart values
    // ticks gives, and unit above them; line -1 for none.
    void SetAxis(int line, const QString& unit, std::vector<double> ticks);
    int GetAxisLine() const { return m_axisLine; }
    // A cursor under the mouse: a vertical line through every visible line's
    // point there, with timeText(x) at its top. While it is shown the chart
    // reports cursorMoved, and cursorLeft once the mouse leaves.
    void SetCursor(bool on, std::function<QString(double)> timeText);
    // Time labels along the bottom (with the cursor's time text) at round
    // seconds; xPerSecond says how many chart units a second is now.
    void SetTimeAxis(std::function<double()> xPerSecond);
    // The cursor's x, when the mouse is over the chart with the cursor on.
    std::optional<double> cursorX() const;

    // Paints the whole chart into painter over a client area of size.
    void paintChart(QPainter& painter, const QSize& size) const;
    // How many device columns of its lines the last paint drew afresh: the
    // whole width after a change of look, the new columns after a tick.
    int columnsDrawn() const { return m_columnsDrawn; }

signals:
    // The window's x range, on every scroll-bar update when notifying.
    void xRangeChanged(double start, double end);
    // The y range, likewise.
    void yRangeChanged(double min, double max);
    void cursorMoved(double x);
    void cursorLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void onScrollAction(int action);
    void layoutScrollBar();
    void redrawIf(bool redraw);
    // What the picture of the run lines was drawn for. When only the window
    // moved on and lines grew at their end, it is scrolled, and only the
    // columns from the first one that changed are drawn afresh.
    struct SPlotLook {
        QSize size;
        qreal ratio = 1.0;
        std::size_t background = 0;
        bool opaque = true;
        double scale = 0.0;
        double yMin = 0.0;
        double yMax = 0.0;
        int grid = 0;
        unsigned int horzDiv = 0;
        QRgba64 gridColour;
        bool operator==(const SPlotLook&) const = default;
    };
    struct SPlotLine {
        unsigned int number;
        uint32_t colour;
        int style;
        int width;
        std::uint64_t edits;
        bool empty;
        double front;
        double last;
    };
    void plotLines(std::vector<SPlotLine>& lines) const;
    // The device columns [from, to) to draw afresh after the scroll; all when
    // nothing can be kept.
    std::pair<int, int> changedColumns(const std::vector<SPlotLine>& lines, double scale, double origin,
                                       int width) const;
    // The widths of the left and right margins in which the background's
    // columns differ from those between; -1 when they differ everywhere.
    static std::pair<int, int> plainColumns(const QImage& background);
    void drawColumns(const QImage& background, const QSize& size, qreal ratio, bool opaque, int from, int to) const;
    bool opaqueBackground() const;
    std::size_t backgroundKey() const;
    SPlotLook plotLook(const QSize& size, qreal ratio) const;
    void drawPlot(const QImage& background, const QSize& size, qreal ratio) const;
    void drawVerticalGrid(const QSize& size, qreal ratio, int fromColumn, int toColumn) const;
    void drawAxis(QPainter& painter, const QSize& size) const;
    void drawCursor(QPainter& painter, const QSize& size) const;
    void drawTimeAxis(QPainter& painter, const QSize& size) const;
    // Scale labels come back on every paint: laid out and measured once, then copied.
    const QStaticText& cachedText(const QPainter& painter, const QString& text) const;
    int cachedWidth(const QPainter& painter, const QString& text) const;
    void drawCachedText(QPainter& painter, const QRect& box, Qt::Alignment align, const QString& text) const;

    CChartData m_data;
    QScrollBar* m_scrollBar = nullptr;
    bool m_notify = false;
    bool m_updatingScroll = false;
    int m_grid = 1;
    QColor m_gridColour;
    unsigned int m_horzDiv = 20;
    unsigned int m_vertDiv = 10;
    bool m_readMode = false;
    QPoint m_mouse {-1, -1};
    bool m_valueLabels = true;
    int m_axisLine = -1;
    QString m_axisUnit;
    std::vector<double> m_axisTicks;
    bool m_cursor = false;
    std::function<QString(double)> m_timeText;
    std::function<double()> m_xPerSecond;
    // Painting state kept between paints, so a tick allocates nothing: the
    // background picture, the folded lines and the picture the lines are written into.
    mutable CBackgroundCache m_background;
    mutable CChartLines m_lines;
    mutable QImage m_frame;  // background and run lines, in device pixels
    mutable std::optional<SPlotLook> m_plotLook;
    mutable std::vector<SPlotLine> m_plotLines;
    mutable std::vector<SPlotLine> m_plotLinesNow;
    mutable double m_plotOrigin = 0.0;
    mutable std::pair<int, int> m_plotMargins { -1, -1 };
    mutable int m_columnsDrawn = 0;
    mutable std::vector<QRect> m_labelBoxes;
    mutable std::map<unsigned int, QStaticText> m_labelTexts;
    mutable QFont m_labelFont;
    mutable std::map<QString, QStaticText> m_scaleTexts;
    mutable QFont m_scaleFont;
};
