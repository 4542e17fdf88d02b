// SPDX-License-Identifier: GPL-3.0-or-later
// The correction curve editor: one control design for the temperature and
// pressure curves and the curve of the 2D chart. It paints the plot (grid,
// axis labels and captions, the curve, its nodes and the current point, the
// live marker) and routes the mouse and the keys to the editing rules of
// CCurveEditModel; what must be written is reported by corrChanged and
// incrementAll, which the page answers.
#pragma once

#include <curvemodel/curveeditmodel.h>
#include <basectrls/compctrl.h>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QPainter;

class CCorrChart : public CCompCtrl {
    Q_OBJECT
public:
    struct Axes {
        double xMin, xMax, yMin, yMax;
        double xStep = 10, yStep = 10;
    };
    using LabelFunction = std::function<QString(double)>;

    CCorrChart(std::vector<double> xs, const Axes& axes);
    ~CCorrChart() override;

    CCurveEditModel& model() { return m_model; }
    const CCurveEditModel& model() const { return m_model; }
    const Axes& axes() const { return m_axes; }

    // Whole-percent values in point order; the node marks stay.
    void setValues(const std::vector<double>& values);
    std::vector<double> values() const { return m_model.values(); }
    // Every point 0; only the ends stay nodes.
    void clearCurve();
    // No curve at all (its values are unknown): nothing drawn, no edit taken.
    void setCurveShown(bool shown);
    bool curveShown() const { return m_curveShown; }

    void setCaptions(const QString& yCaption, const QString& xCaption);
    void setXLabel(LabelFunction label) { m_xLabel = std::move(label); }
    // The sensor value drawn on the curve; none hides the marker.
    void setLiveValue(std::optional<double> x);
    std::optional<double> liveValue() const { return m_live; }
    // Called on every resize before the node marks are taken from the shape:
    // the page refreshes the values from the settings image.
    void setRefreshValues(std::function<void()> refresh) { m_refreshValues = std::move(refresh); }

    // The plot rectangle in pixels and the mapping to it.
    QRect plotRect() const { return m_plot; }
    int screenX(double x) const;
    int screenY(double y) const;

    // The whole control drawn into painter (the page's screenshots use it too).
    void render(QPainter& painter) const;

signals:
    void corrChanged();
    void incrementAll(int step);

protected:
    // Margins around the plot; the 2D chart adds a right-hand axis.
    virtual int rightMargin() const { return m_margin; }
    // Drawn after the grid, before the curve.
    virtual void paintBehindCurve(QPainter&) const { }
    // The live marker; the base draws it on the curve at x = liveValue.
    virtual void paintLive(QPainter& painter) const;
    void paintCrosshair(QPainter& painter, int x, int y) const;
    static QColor bgr(uint32_t colour);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    int m_marginLeft = 60;
    int m_margin = 20;
    QFont m_font;

private:
    void recalcPlot();
    void paintCurve(QPainter& painter) const;

    CCurveEditModel m_model;
    Axes m_axes;
    QRect m_plot;
    QString m_yCaption;
    QString m_xCaption;
    LabelFunction m_xLabel;
    std::optional<double> m_live;
    bool m_curveShown = true;
    std::function<void()> m_refreshValues;
};

// Temperature correction: 20 points from −20 to 100 °C.
class CTemprCorrChart : public CCorrChart {
    Q_OBJECT
public:
    CTemprCorrChart();
    static const std::vector<double>& breakpoints();
};

// Pressure correction: 26 points from 0 to 250 hundredths of a bar.
class CPressCorrChart : public CCorrChart {
    Q_OBJECT
public:
    CPressCorrChart();
    static const std::vector<double>& breakpoints();
};
