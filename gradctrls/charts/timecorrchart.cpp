// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/timecorrchart.h>

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kPetrolPoint = 0x0000E6;
constexpr uint32_t kLpgPoint = 0x006400;
constexpr uint32_t kProposal = 0x8B008B;
constexpr uint32_t kLive = 0xFF0000;

} // namespace

CTimeCorrChart::CTimeCorrChart()
    : CCorrChart(breakpoints(), { 1, 20, -60, 60, 1, 10 })
{
    setObjectName(QStringLiteral("timeCorrChart"));
}

const std::vector<double>& CTimeCorrChart::breakpoints()
{
    static const std::vector<double> xs = [] {
        std::vector<double> v;
        for (int i = 0; i < 39; ++i)
            v.push_back(1.0 + 0.5 * i);
        return v;
    }();
    return xs;
}

void CTimeCorrChart::setMapPoints(std::vector<CMapSample> points)
{
    m_points = std::move(points);
    update();
}

void CTimeCorrChart::setProposal(std::vector<double> values)
{
    m_proposal = std::move(values);
    update();
}

void CTimeCorrChart::setPressureCaption(const QString& caption)
{
    m_pressureCaption = caption;
    update();
}

void CTimeCorrChart::setLivePoint(std::optional<std::pair<double, double>> point)
{
    if (point == m_livePoint)
        return;
    m_livePoint = point;
    update();
}

void CTimeCorrChart::setLegend(const QString& petrol, const QString& lpg, const QString& proposal)
{
    m_legend[0] = petrol;
    m_legend[1] = lpg;
    m_legend[2] = proposal;
    update();
}

int CTimeCorrChart::pressureY(double kPa) const
{
    const QRect plot = plotRect();
    return static_cast<int>(plot.top() + plot.height() - kPa / kPressureMax * plot.height());
}

void CTimeCorrChart::paintBehindCurve(QPainter& painter) const
{
    const QRect plot = plotRect();
    const QFontMetrics fm(m_font);
    // The pressure axis on the right, outside the clip of the plot.
    painter.save();
    painter.setClipping(false);
    painter.setFont(m_font);
    painter.setPen(Qt::black);
    for (double p = 0; p <= kPressureMax + 1e-9; p += 20) {
        const int y = pressureY(p);
        painter.drawLine(plot.right(), y, plot.right() + 4, y);
        painter.drawText(QRect(plot.right() + 6, y - fm.height() / 2, rightMargin() - 8, fm.height()),
            Qt::AlignLeft | Qt::AlignVCenter, QString::number(p, 'f', 0));
    }
    painter.translate(width() - fm.height() / 2 - 2, plot.center().y());
    painter.rotate(90);
    painter.drawText(QRect(-plot.height() / 2, -fm.height() / 2, plot.height(), fm.height() + 2), Qt::AlignCenter,
        m_pressureCaption);
    painter.restore();

    // Map samples: 3 × 3 squares, the height cut to a multiple of 10 pixels,
    // LPG shifted one pixel right and down so both fuels stay visible.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const CMapSample& s : m_points) {
        if (s.timeMs < axes().xMin || s.timeMs > axes().xMax || s.pressureKPa < 0 || s.pressureKPa > kPressureMax)
            continue;
        int x = screenX(s.timeMs);
        int y = pressureY(s.pressureKPa) / 10 * 10;
        if (s.lpg) {
            ++x;
            ++y;
        }
        painter.setPen(QPen(bgr(s.lpg ? kLpgPoint : kPetrolPoint), 3));
        painter.drawRect(x - 1, y - 1, 3, 3);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Legend: the proposal's line only while there is one.
    const QRect plotArea = plotRect();
    int ly = plotArea.top() + 6;
    for (int i = 0; i < 3; ++i) {
        if (m_legend[i].isEmpty() || (i == 2 && m_proposal.empty()))
            continue;
        const int lx = plotArea.left() + 8;
        const int mid = ly + fm.height() / 2;
        if (i < 2) {
            painter.setPen(QPen(bgr(i == 0 ? kPetrolPoint : kLpgPoint), 3));
            painter.drawRect(lx + 8, mid - 1, 3, 3);
        } else {
            painter.setPen(QPen(bgr(kProposal), 3, Qt::DashLine));
            painter.drawLine(lx, mid, lx + 20, mid);
        }
        painter.setPen(Qt::black);
        painter.drawText(
            QRect(lx + 28, ly, plotArea.width() / 2, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, m_legend[i]);
        ly += fm.height() + 2;
    }

    if (!m_proposal.empty()) {
        QPolygon line;
        const auto& xs = breakpoints();
        for (std::size_t i = 0; i < xs.size() && i < m_proposal.size(); ++i)
            line << QPoint(screenX(xs[i]), screenY(m_proposal[i]));
        painter.setPen(QPen(bgr(kProposal), 3, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(line);
    }
}

void CTimeCorrChart::paintLive(QPainter& painter) const
{
    if (!m_livePoint)
        return;
    const double t = std::clamp(m_livePoint->first, axes().xMin, axes().xMax);
    const double p = std::clamp(m_livePoint->second, 0.0, kPressureMax);
    const int x = screenX(t), y = pressureY(p);
    paintCrosshair(painter, x, y);
    painter.setPen(QPen(bgr(kLive), 9, Qt::SolidLine, Qt::RoundCap));
    painter.drawEllipse(QPoint(x, y), 2, 2);
}
