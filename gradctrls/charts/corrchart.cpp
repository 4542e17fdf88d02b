// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/corrchart.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t kFrame = 0x646464;
constexpr uint32_t kBackground = 0xC6C6C6;
constexpr uint32_t kGrid = 0x9A9A9A;
constexpr uint32_t kCurve = 0x007CF0;
constexpr uint32_t kNode = 0x00FFFF;
constexpr uint32_t kCurrent = 0x0000FF;
constexpr uint32_t kLive = 0xFF0000;

std::optional<CurveKey> curveKey(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return CurveKey::Enter;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return CurveKey::Delete;
    case Qt::Key_Left:
        return CurveKey::Left;
    case Qt::Key_Right:
        return CurveKey::Right;
    case Qt::Key_Up:
        return CurveKey::Up;
    case Qt::Key_Down:
        return CurveKey::Down;
    default:
        return std::nullopt;
    }
}

} // namespace

CCorrChart::CCorrChart(std::vector<double> xs, const Axes& axes)
    : m_model(std::move(xs))
    , m_axes(axes)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_font.setFamilies({ QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans") });
    m_font.setPixelSize(12);
    m_xLabel = [](double x) { return QString::number(x, 'f', 0); };
}

CCorrChart::~CCorrChart() = default;

QColor CCorrChart::bgr(uint32_t c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

void CCorrChart::setValues(const std::vector<double>& values)
{
    m_model.setValues(values);
    update();
}

void CCorrChart::setCurveShown(bool shown)
{
    m_curveShown = shown;
    setEnabled(shown);
    update();
}

void CCorrChart::clearCurve()
{
    m_model.clear();
    update();
}

void CCorrChart::setCaptions(const QString& yCaption, const QString& xCaption)
{
    m_yCaption = yCaption;
    m_xCaption = xCaption;
    update();
}

void CCorrChart::setLiveValue(std::optional<double> x)
{
    if (x == m_live)
        return;
    m_live = x;
    update();
}

void CCorrChart::recalcPlot()
{
    const int right = rightMargin();
    m_plot = QRect(m_marginLeft, m_margin, std::max(1, width() - m_marginLeft - right),
        std::max(1, height() - m_margin - m_marginLeft));
}

int CCorrChart::screenX(double x) const
{
    return static_cast<int>(m_plot.left() + (x - m_axes.xMin) / (m_axes.xMax - m_axes.xMin) * m_plot.width());
}

int CCorrChart::screenY(double y) const
{
    return static_cast<int>(
        m_plot.top() + m_plot.height() - (y - m_axes.yMin) / (m_axes.yMax - m_axes.yMin) * m_plot.height());
}

void CCorrChart::resizeEvent(QResizeEvent* event)
{
    CCompCtrl::resizeEvent(event);
    m_font.setPixelSize(std::max(8, static_cast<int>(std::sqrt(static_cast<double>(width()) * height()) / 50)));
    // Room for the labels and the turned caption.
    m_marginLeft = std::max(60, m_font.pixelSize() * 5);
    m_margin = std::max(20, m_font.pixelSize() * 3 / 2);
    recalcPlot();
    if (m_refreshValues)
        m_refreshValues();
    m_model.markShapeNodes();
    update();
}

void CCorrChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    render(painter);
}

void CCorrChart::render(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(rect(), bgr(kBackground));
    painter.setPen(QPen(bgr(kFrame), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(m_font);
    const QFontMetrics fm(m_font);

    // Grid with the labels of both axes; x labels thinned out where they would touch.
    painter.setPen(QPen(bgr(kGrid), 1));
    int lastLabelRight = -1 << 20;
    for (double x = m_axes.xMin; x <= m_axes.xMax + 1e-9; x += m_axes.xStep) {
        const int sx = screenX(x);
        painter.setPen(QPen(bgr(kGrid), 1));
        painter.drawLine(sx, m_plot.top(), sx, m_plot.bottom());
        const QString label = m_xLabel(x);
        const int w = fm.horizontalAdvance(label);
        if (sx - w / 2 > lastLabelRight + fm.averageCharWidth()) {
            painter.setPen(Qt::black);
            painter.drawText(QRect(sx - w, m_plot.bottom() + 4, 2 * w, fm.height()), Qt::AlignCenter, label);
            lastLabelRight = sx + w / 2;
        }
    }
    for (double y = m_axes.yMin; y <= m_axes.yMax + 1e-9; y += m_axes.yStep) {
        const int sy = screenY(y);
        painter.setPen(QPen(std::fabs(y) < 1e-9 ? bgr(kFrame) : bgr(kGrid), 1));
        painter.drawLine(m_plot.left(), sy, m_plot.right(), sy);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, sy - fm.height() / 2, m_plot.left() - 6, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter, QString::number(y, 'f', 0));
    }
    painter.setPen(QPen(bgr(kFrame), 1));
    painter.drawRect(m_plot);
    painter.setPen(Qt::black);
    painter.drawText(QRect(m_plot.left(), m_plot.bottom() + 4 + fm.height(), m_plot.width(), fm.height() + 4),
        Qt::AlignCenter, m_xCaption);
    painter.save();
    painter.translate(fm.height() / 2 + 2, m_plot.center().y());
    painter.rotate(-90);
    painter.drawText(
        QRect(-m_plot.height() / 2, -fm.height() / 2, m_plot.height(), fm.height() + 2), Qt::AlignCenter, m_yCaption);
    painter.restore();

    painter.setClipRect(m_plot.adjusted(-8, -8, 8, 8));
    paintBehindCurve(painter);
    paintCurve(painter);
    paintLive(painter);
    painter.restore();
}

void CCorrChart::paintCurve(QPainter& painter) const
{
    const auto& points = m_model.points();
    if (points.empty() || !m_curveShown)
        return;
    QPolygon line;
    for (const auto& p : points)
        line << QPoint(screenX(p.x), screenY(p.y));
    painter.setPen(QPen(bgr(kCurve), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(line);
    painter.setPen(QPen(bgr(kNode), 5));
    for (const auto& p : points)
        if (p.node)
            painter.drawEllipse(QPoint(screenX(p.x), screenY(p.y)), 2, 2);
    const auto& cur = points[m_model.current()];
    const QPoint c(screenX(cur.x), screenY(cur.y));
    painter.setPen(QPen(bgr(kCurrent), 13, Qt::SolidLine, Qt::RoundCap));
    painter.drawEllipse(c, 2, 2);
    const QFontMetrics fm(m_font);
    const QString text = QString::asprintf("%.0f%%", cur.y);
    const int w = fm.horizontalAdvance(text);
    // Above the point, or below it near the top.
    int ty = c.y() - 10 - fm.height();
    if (ty < m_plot.top())
        ty = c.y() + 10;
    const int tx = std::clamp(c.x() - w / 2, m_plot.left() + 2, m_plot.right() - w - 2);
    painter.setPen(Qt::black);
    painter.drawText(QRect(tx, ty, w + 2, fm.height()), Qt::AlignCenter, text);
}

void CCorrChart::paintCrosshair(QPainter& painter, int x, int y) const
{
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawLine(m_plot.left(), y, m_plot.right(), y);
    painter.drawLine(x, m_plot.top(), x, m_plot.bottom());
}

void CCorrChart::paintLive(QPainter& painter) const
{
    if (!m_live || !m_curveShown)
        return;
    const double x = std::clamp(*m_live, m_axes.xMin, m_axes.xMax);
    const int sx = screenX(x);
    const int sy = screenY(m_model.valueAt(x));
    paintCrosshair(painter, sx, sy);
    painter.setPen(QPen(bgr(kLive), 15, Qt::SolidLine, Qt::RoundCap));
    painter.drawEllipse(QPoint(sx, sy), 2, 2);
}

void CCorrChart::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    auto toScreen = [this](const CCurveEditModel::Point& p) { return std::pair<int, int>(screenX(p.x), screenY(p.y)); };
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        if (m_model.leftClick(pos.x(), pos.y(), toScreen))
            update();
    } else if (event->button() == Qt::RightButton) {
        if (m_model.rightClick(pos.x(), pos.y(), toScreen))
            update();
    }
    CCompCtrl::mousePressEvent(event);
}

void CCorrChart::keyPressEvent(QKeyEvent* event)
{
    const auto key = curveKey(event->key());
    if (!key) {
        CCompCtrl::keyPressEvent(event);
        return;
    }
    int step = 0;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (m_model.key(*key, ctrl, &step)) {
    case CCurveEditModel::Effect::None:
        break;
    case CCurveEditModel::Effect::Redraw:
        update();
        break;
    case CCurveEditModel::Effect::CorrChanged:
        update();
        emit corrChanged();
        break;
    case CCurveEditModel::Effect::IncrementAll:
        emit incrementAll(step);
        break;
    }
    event->accept();
}

CTemprCorrChart::CTemprCorrChart()
    : CCorrChart(breakpoints(), { -20, 100, -50, 50 })
{
    setObjectName(QStringLiteral("temprCorrChart"));
}

const std::vector<double>& CTemprCorrChart::breakpoints()
{
    static const std::vector<double> xs { -20, -15, -10, -5, 0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 60, 70, 80, 90,
        100 };
    return xs;
}

CPressCorrChart::CPressCorrChart()
    : CCorrChart(breakpoints(), { 0, 250, -50, 50 })
{
    setObjectName(QStringLiteral("pressCorrChart"));
    setXLabel([](double x) { return QString::asprintf("%.1f", x / 100); });
}

const std::vector<double>& CPressCorrChart::breakpoints()
{
    static const std::vector<double> xs = [] {
        std::vector<double> v;
        for (int i = 0; i <= 25; ++i)
            v.push_back(10.0 * i);
        return v;
    }();
    return xs;
}
