// SPDX-License-Identifier: GPL-3.0-or-later
// The 2D chart: the correction curve over petrol injection time (1 … 20 ms,
// −60 … 60 %) edited like the other correction curves, with the petrol and
// LPG map samples plotted against manifold pressure on a right-hand axis
// (0 … 160 kPa), a proposed curve beside the current one, and the live
// operating point.
#pragma once

#include <gradctrls/charts/corrchart.h>

struct CMapSample {
    double timeMs;
    double pressureKPa;
    bool lpg;
};

class CTimeCorrChart : public CCorrChart {
    Q_OBJECT
public:
    static constexpr double kPressureMax = 160;

    CTimeCorrChart();
    static const std::vector<double>& breakpoints();

    void setMapPoints(std::vector<CMapSample> points);
    const std::vector<CMapSample>& mapPoints() const { return m_points; }
    // A second line for a curve not yet written; empty hides it.
    void setProposal(std::vector<double> values);
    const std::vector<double>& proposal() const { return m_proposal; }
    void setPressureCaption(const QString& caption);
    // Names of the petrol points, the LPG points and the proposed curve, shown
    // as a legend in the plot's upper left corner.
    void setLegend(const QString& petrol, const QString& lpg, const QString& proposal);
    // The live operating point: petrol time (ms) and manifold pressure (kPa).
    void setLivePoint(std::optional<std::pair<double, double>> point);
    int pressureY(double kPa) const;

protected:
    int rightMargin() const override { return m_marginLeft; }
    void paintBehindCurve(QPainter& painter) const override;
    void paintLive(QPainter& painter) const override;

private:
    std::vector<CMapSample> m_points;
    std::vector<double> m_proposal;
    QString m_pressureCaption;
    QString m_legend[3];
    std::optional<std::pair<double, double>> m_livePoint;
};
