// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/scrollchart.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <QMouseEvent>
#include <QHashFunctions>
#include <QPaintDevice>
#include <QPainter>
#include <QScrollBar>
#include <QStaticText>
#include <QTransform>

#include <algorithm>
#include <cstring>
#include <utility>
#include <cmath>
#include <vector>

namespace {

constexpr int kLabelWidth = 33;
constexpr int kLabelHeight = 25;

QString labelText(const CChartData::SLine& line, double y)
{
    if (line.label)
        return QString::fromStdString(line.label(y));
    return QString::number(y, 'f', 1);
}

// A label box whose bottom edge sits at the point's row, beside the point, kept
// inside the chart; when it would cover a box placed before it, it takes the
// nearest free place above or below. With more labels than fit, the last ones overlap.
// A box is one text line high (at most kLabelHeight), so that many lines' labels fit.
QRect placeLabel(int column, int row, const QSize& size, const std::vector<QRect>& placed, int height)
{
    int left = column + 3;
    if (left + kLabelWidth > size.width())
        left = column - 3 - kLabelWidth;
    left = std::max(0, left);
    const int lowest = std::max(0, size.height() - height);
    const int top0 = std::clamp(row - height, 0, lowest);
    auto freeAt = [&](int top) {
        const QRect r(left, top, kLabelWidth, height);
        return std::none_of(placed.begin(), placed.end(), [&](const QRect& p) { return p.intersects(r); });
    };
    for (int delta = 0; delta <= lowest; delta += 2) {
        if (top0 - delta >= 0 && freeAt(top0 - delta))
            return QRect(left, top0 - delta, kLabelWidth, height);
        if (top0 + delta <= lowest && freeAt(top0 + delta))
            return QRect(left, top0 + delta, kLabelWidth, height);
    }
    return QRect(left, top0, kLabelWidth, height);
}

// Moves the boxes of labels side by side apart vertically, each as little as
// it takes, so that none covers another while all fit into height: the
// injection times of eight cylinders end on nearly one value.
void stackLabels(std::vector<QRect>& boxes, int height)
{
    std::vector<std::size_t> order(boxes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return boxes[a].left() != boxes[b].left() ? boxes[a].left() < boxes[b].left() : boxes[a].top() < boxes[b].top();
    });
    // Groups of boxes whose columns overlap, each stacked on its own.
    for (std::size_t first = 0; first < order.size();) {
        std::size_t end = first + 1;
        int right = boxes[order[first]].right();
        while (end < order.size() && boxes[order[end]].left() <= right) {
            right = std::max(right, boxes[order[end]].right());
            ++end;
        }
        std::vector<std::size_t> group(order.begin() + static_cast<std::ptrdiff_t>(first),
            order.begin() + static_cast<std::ptrdiff_t>(end));
        std::sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) { return boxes[a].top() < boxes[b].top(); });
        for (std::size_t k = 1; k < group.size(); ++k) {
            QRect& box = boxes[group[k]];
            box.moveTop(std::max(box.top(), boxes[group[k - 1]].bottom() + 1));
        }
        for (std::size_t k = group.size(); k-- > 0;) {
            QRect& box = boxes[group[k]];
            const int limit = k + 1 < group.size() ? boxes[group[k + 1]].top() : height;
            box.moveTop(std::max(0, std::min(box.top(), limit - box.height())));
        }
        first = end;
    }
}

} // namespace

CScrollChart::CScrollChart()
    : QWidget(nullptr)
    , m_gridColour(0xc4, 0xcc, 0xd5)
{
    setGradientColors(GradPalette::pageTop(), GradPalette::pageBottom());
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->hide();
    connect(m_scrollBar, &QScrollBar::actionTriggered, this, &CScrollChart::onScrollAction);
}

CScrollChart::~CScrollChart() = default;

bool CScrollChart::Create(unsigned int style, const QRect& rect, QWidget* parent, int id)
{
    if (!parent)
        return false;
    setParent(parent);
    setCtrlId(this, id);
    setGeometry(rect);
    m_notify = (style & kNotify) != 0;
    if (style & kHScroll) {
        m_scrollBar->show();
        layoutScrollBar();
        UpdateScrollInfo();
    }
    show();
    return true;
}

bool CScrollChart::CreateFromStatic(unsigned int style, QWidget* parent, int id)
{
    QWidget* placeholder = findChildCtrl(parent, id);
    if (!placeholder || placeholder == this)
        return false;
    const QRect rect = placeholder->geometry();
    setParent(parent);
    stackUnder(placeholder);
    delete placeholder;
    return Create(style, rect, parent, id);
}

int CScrollChart::AddLine(unsigned int line, LabelFunction label, uint32_t colour, int style, int width,
                          bool visible, bool pointsShown)
{
    CChartData::SLine record;
    record.label = std::move(label);
    record.colour = colour;
    record.style = style;
    record.width = width;
    record.visible = visible;
    record.pointsShown = pointsShown;
    return m_data.addLine(line, record) ? 1 : 0;
}

int CScrollChart::AddData(unsigned int line, double x, double y, bool redraw)
{
    const CChartData::SAddResult r = m_data.addData(line, x, y);
    if (r.status == 0)
        return 0;
    redrawIf(redraw);
    if (r.limitsMoved && !m_scrollBar->isHidden())
        UpdateScrollInfo();
    return 1;
}

int CScrollChart::AddData(unsigned int line, double y, bool redraw)
{
    const CChartData::SLine* l = m_data.line(line);
    if (!l || !l->visible)
        return 0;
    const double x = l->points.empty() ? 0.0 : l->points.rbegin()->first + l->autoinc;
    return AddData(line, x, y, redraw);
}

unsigned int CScrollChart::SetMaxPoints(unsigned int n)
{
    const unsigned int previous = m_data.setMaxPoints(n);
    if (previous != n)
        update();
    return previous;
}

int CScrollChart::SetGrid(int on)
{
    const int previous = m_grid;
    m_grid = on;
    update();
    return previous;
}

unsigned int CScrollChart::SetHorzDiv(unsigned int n, bool redraw)
{
    const unsigned int previous = m_horzDiv;
    m_horzDiv = n;
    redrawIf(redraw);
    return previous;
}

unsigned int CScrollChart::SetVertDiv(unsigned int n, bool redraw)
{
    const unsigned int previous = m_vertDiv;
    m_vertDiv = n;
    redrawIf(redraw);
    return previous;
}

double CScrollChart::SetHorzRange(double width)
{
    const double previous = m_data.setHorzRange(width);
    update();
    return previous;
}

uint32_t CScrollChart::SetLineColor(unsigned int line, uint32_t colour)
{
    CChartData::SLine* l = m_data.line(line);
    if (!l)
        return 0;
    const uint32_t previous = l->colour;
    l->colour = colour;
    update();
    return previous;
}

uint32_t CScrollChart::GetLineColor(unsigned int line) const
{
    const CChartData::SLine* l = m_data.line(line);
    return l ? l->colour : 0;
}

int CScrollChart::SetLineStyle(unsigned int line, int style, bool redraw)
{
    CChartData::SLine* l = m_data.line(line);
    if (!l)
        return 0;
    const int previous = l->style;
    l->style = style;
    redrawIf(redraw);
    return previous;
}

int CScrollChart::GetLineStyle(unsigned int line) const
{
    const CChartData::SLine* l = m_data.line(line);
    return l ? l->style : 0;
}

int CScrollChart::SetLineWidth(unsigned int line, int width, bool redraw)
{
    CChartData::SLine* l = m_data.line(line);
    if (!l)
        return 0;
    const int previous = l->width;
    l->width = width;
    redrawIf(redraw);
    return previous;
}

int CScrollChart::GetLineWidth(unsigned int line) const
{
    const CChartData::SLine* l = m_data.line(line);
    return l ? l->width : 0;
}

double CScrollChart::SetAutoinc(unsigned int line, double step)
{
    CChartData::SLine* l = m_data.line(line);
    if (!l)
        return 0.0;
    const double previous = l->autoinc;
    l->autoinc = step;
    return previous;
}

void CScrollChart::ShowLine(unsigned int line, bool visible, bool redraw)
{
    if (CChartData::SLine* l = m_data.line(line)) {
        l->visible = visible;
        redrawIf(redraw);
    }
}

void CScrollChart::ShowPoints(unsigned int line, bool visible, bool redraw)
{
    if (CChartData::SLine* l = m_data.line(line)) {
        l->pointsShown = visible;
        redrawIf(redraw);
    }
}

void CScrollChart::Clear()
{
    m_data.clear();
    update();
    UpdateScrollInfo();
}

void CScrollChart::SetReadMode(bool on)
{
    m_readMode = on;
    update();
}

void CScrollChart::UpdateScrollInfo()
{
    const CChartData::SScrollInfo info = m_data.scrollInfo();
    m_updatingScroll = true;
    m_scrollBar->setRange(0, std::max(0, 1000 - info.page));
    m_scrollBar->setPageStep(info.page);
    m_scrollBar->setSingleStep(10);
    m_scrollBar->setValue(info.pos);
    m_updatingScroll = false;
    if (m_notify) {
        emit xRangeChanged(m_data.m_xStart, m_data.m_xStart + m_data.m_xWidth);
        emit yRangeChanged(m_data.m_yMin, m_data.m_yMax);
    }
}

void CScrollChart::ShowScrollBar(bool show)
{
    m_scrollBar->setVisible(show);
    layoutScrollBar();
    update();
}

void CScrollChart::onScrollAction(int action)
{
    if (m_updatingScroll)
        return;
    using A = QAbstractSlider::SliderAction;
    switch (static_cast<A>(action)) {
    case A::SliderSingleStepSub: m_data.scroll(CChartData::EScroll::LineLeft); break;
    case A::SliderSingleStepAdd: m_data.scroll(CChartData::EScroll::LineRight); break;
    case A::SliderPageStepSub: m_data.scroll(CChartData::EScroll::PageLeft); break;
    case A::SliderPageStepAdd: m_data.scroll(CChartData::EScroll::PageRight); break;
    case A::SliderMove: m_data.scroll(CChartData::EScroll::ThumbTrack, m_scrollBar->sliderPosition()); break;
    case A::SliderToMinimum: m_data.scroll(CChartData::EScroll::ThumbTrack, 0); break;
    case A::SliderToMaximum: m_data.scroll(CChartData::EScroll::ThumbTrack, 1000); break;
    default: return;
    }
    update();
    UpdateScrollInfo();
    // The slider applies its own position after this signal; make it ours.
    m_scrollBar->setSliderPosition(m_data.scrollInfo().pos);
}

QRect CScrollChart::clientRect() const
{
    QRect r = rect();
    if (!m_scrollBar->isHidden())
        r.setBottom(r.bottom() - m_scrollBar->sizeHint().height());
    return r;
}

void CScrollChart::layoutScrollBar()
{
    const int h = m_scrollBar->sizeHint().height();
    m_scrollBar->setGeometry(0, height() - h, width(), h);
}

void CScrollChart::redrawIf(bool redraw)
{
    if (redraw)
        update();
}

void CScrollChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutScrollBar();
}

void CScrollChart::mouseMoveEvent(QMouseEvent* event)
{
    m_mouse = event->position().toPoint();
    if (m_cursor) {
        if (const auto x = cursorX())
            emit cursorMoved(*x);
        update();
    } else if (m_readMode) {
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CScrollChart::leaveEvent(QEvent* event)
{
    const bool shown = cursorX().has_value();
    m_mouse = QPoint(-1, -1);
    if (shown) {
        emit cursorLeft();
        update();
    }
    QWidget::leaveEvent(event);
}

void CScrollChart::SetValueLabels(bool on)
{
    m_valueLabels = on;
    update();
}

void CScrollChart::SetAxis(int line, const QString& unit, std::vector<double> ticks)
{
    m_axisLine = line;
    m_axisUnit = unit;
    m_axisTicks = std::move(ticks);
    update();
}

void CScrollChart::SetCursor(bool on, std::function<QString(double)> timeText)
{
    m_cursor = on;
    m_timeText = std::move(timeText);
    update();
}

void CScrollChart::SetTimeAxis(std::function<double()> xPerSecond)
{
    m_xPerSecond = std::move(xPerSecond);
    update();
}

void CScrollChart::drawTimeAxis(QPainter& painter, const QSize& size) const
{
    if (!m_xPerSecond || !m_timeText)
        return;
    const double perSecond = m_xPerSecond();
    if (perSecond <= 0 || m_data.m_xWidth <= 0)
        return;
    const QFontMetrics fm = painter.fontMetrics();
    // Round steps at least one label and a gap apart.
    const double room = (cachedWidth(painter, m_timeText(m_data.m_xStart + m_data.m_xWidth)) + 16.0) * m_data.m_xWidth
        / std::max(1, size.width());
    double step = 0;
    for (const double seconds : { 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1800.0, 3600.0 })
        if (seconds * perSecond >= room) {
            step = seconds * perSecond;
            break;
        }
    if (step <= 0)
        return;
    painter.setPen(GradPalette::disabledText());
    const int bottom = size.height();
    for (double x = std::ceil(m_data.m_xStart / step) * step; x <= m_data.m_xStart + m_data.m_xWidth; x += step) {
        const int column = static_cast<int>(m_data.toPixelX(x, size.width()));
        const QString text = m_timeText(x);
        const int w = cachedWidth(painter, text);
        // Labels only, no tick marks: a mark drawn over the lines' picture
        // made the whole repaint three times dearer.
        const QRect box(column - w / 2, bottom - 2 - fm.height(), w + 1, fm.height());
        if (box.left() < 0 || box.right() >= size.width())
            continue;
        drawCachedText(painter, box, Qt::AlignHCenter, text);
        paintedtext::note(this, text, box);
    }
}

const QStaticText& CScrollChart::cachedText(const QPainter& painter, const QString& text) const
{
    if (m_scaleFont != painter.font() || m_scaleTexts.size() > 256) {
        m_scaleTexts.clear();
        m_scaleFont = painter.font();
    }
    auto found = m_scaleTexts.find(text);
    if (found == m_scaleTexts.end()) {
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.prepare(QTransform(), painter.font());
        found = m_scaleTexts.emplace(text, laidOut).first;
    }
    return found->second;
}

int CScrollChart::cachedWidth(const QPainter& painter, const QString& text) const
{
    return static_cast<int>(std::ceil(cachedText(painter, text).size().width()));
}

void CScrollChart::drawCachedText(QPainter& painter, const QRect& box, Qt::Alignment align, const QString& text) const
{
    const QStaticText& laidOut = cachedText(painter, text);
    const QSizeF extent = laidOut.size();
    const qreal x = (align & Qt::AlignHCenter) ? box.x() + (box.width() - extent.width()) / 2.0 : box.x();
    painter.drawStaticText(QPointF(x, box.y() + (box.height() - extent.height()) / 2.0), laidOut);
}

std::optional<double> CScrollChart::cursorX() const
{
    const QRect client = clientRect();
    if (!m_cursor || !client.contains(m_mouse) || client.width() <= 0)
        return std::nullopt;
    return m_data.fromPixelX(m_mouse.x(), client.width());
}

void CScrollChart::drawAxis(QPainter& painter, const QSize& size) const
{
    const CChartData::SLine* line = m_axisLine >= 0 ? m_data.line(static_cast<unsigned int>(m_axisLine)) : nullptr;
    if (!line || !line->visible)
        return;
    const QColor colour = GradPalette::fromColorRef(line->colour);
    const QFontMetrics fm = painter.fontMetrics();
    painter.setPen(QPen(colour, 1));
    for (double y : m_axisTicks) {
        if (y < m_data.m_yMin || y > m_data.m_yMax)
            continue;
        const int row = m_data.toPixelY(y, size.height());
        const QString text = labelText(*line, y);
        const QRect box(4, row - fm.height() / 2, cachedWidth(painter, text) + 2, fm.height());
        if (box.top() < fm.height() + 2 || box.bottom() > size.height())
            continue;
        drawCachedText(painter, box, Qt::AlignLeft, text);
        paintedtext::note(this, text, box);
    }
    const QRect unit(4, 1, cachedWidth(painter, m_axisUnit) + 2, fm.height());
    drawCachedText(painter, unit, Qt::AlignLeft, m_axisUnit);
    paintedtext::note(this, m_axisUnit, unit);
}

void CScrollChart::drawCursor(QPainter& painter, const QSize& size) const
{
    const auto x = cursorX();
    if (!x)
        return;
    const int w = size.width();
    const int h = size.height();
    const int column = m_mouse.x();
    painter.setPen(QPen(GradPalette::pageText(), 1, Qt::DashLine));
    painter.drawLine(column, 0, column, h);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const auto& [number, line] : m_data.lines()) {
        double px = 0, py = 0;
        if (!line.visible || !m_data.nearestPoint(number, *x, m_data.m_xWidth / 50.0, px, py))
            continue;
        painter.setPen(QPen(GradPalette::fromColorRef(line.colour), 2));
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(m_data.toPixelX(px, w), m_data.toPixelY(py, h)), 3.5, 3.5);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!m_timeText)
        return;
    const QString text = m_timeText(*x);
    const QFontMetrics fm = painter.fontMetrics();
    const int tw = fm.horizontalAdvance(text) + 8;
    const QRect box(std::clamp(column - tw / 2, 0, std::max(0, w - tw)), 0, tw, fm.height() + 2);
    painter.setBrush(Qt::NoBrush);
    painter.fillRect(box, QColor(255, 255, 255, 220));
    painter.setPen(GradPalette::pageText());
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawText(box, Qt::AlignCenter, text);
    paintedtext::note(this, text, box);
}

void CScrollChart::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QRect client = clientRect();
    painter.setClipRect(client);
    paintChart(painter, client.size());
}

void CScrollChart::drawVerticalGrid(const QSize& size, qreal ratio, int fromColumn, int toColumn) const
{
    if (!m_grid || m_horzDiv == 0)
        return;
    const CChartData& d = m_data;
    // At whole device columns counted from x = 0, as the lines are, so a
    // scrolled picture keeps its grid where a fresh one would draw it.
    const double scale = d.deviceScale(size.width(), ratio);
    const double origin = d.deviceOrigin(size.width(), ratio);
    const double step = d.m_xWidth / m_horzDiv;
    const double thickness = std::max(1.0, std::round(ratio)) / ratio;
    QPainter p(&m_frame);
    p.setClipRect(QRectF(fromColumn / ratio, 0, (toColumn - fromColumn) / ratio, size.height()));
    for (double x = std::floor(d.m_xStart / step) * step; x <= d.m_xStart + d.m_xWidth; x += step) {
        const double column = std::floor(x * scale) - origin;
        if (column >= 0)
            p.fillRect(QRectF(column / ratio, 0, thickness, size.height()), m_gridColour);
    }
}

void CScrollChart::plotLines(std::vector<SPlotLine>& lines) const
{
    lines.clear();
    for (const auto& [number, line] : m_data.lines()) {
        if (!line.visible || !CChartLines::drawnAsRuns(line))
            continue;
        SPlotLine l { number, line.colour, line.style, line.width, line.points.edits(), line.points.empty(), 0.0, 0.0 };
        if (!line.points.empty()) {
            l.front = line.points.begin()->first;
            l.last = line.points.rbegin()->first;
        }
        lines.push_back(l);
    }
}

std::pair<int, int> CScrollChart::changedColumns(const std::vector<SPlotLine>& lines, double scale, double origin,
                                                 int width) const
{
    // The window went back, or on by a whole picture, or its background
    // differs from column to column: nothing to keep.
    const double shift = origin - m_plotOrigin;
    if (shift < 0 || shift >= width || lines.size() != m_plotLines.size() || m_plotMargins.first < 0)
        return { 0, width };
    // Columns the shift brings in, and none that held the right margin's background.
    double from = shift > 0 ? width - shift - m_plotMargins.second : width;
    double to = shift > 0 ? width : 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const SPlotLine& was = m_plotLines[i];
        const SPlotLine& now = lines[i];
        if (now.number != was.number || now.colour != was.colour || now.style != was.style || now.width != was.width
            || now.edits != was.edits || (now.empty && !was.empty))
            return { 0, width };
        // Points dropped from the front are only those before the window, with
        // one before it left to draw the line in from the edge.
        if (!now.empty && now.front != was.front && now.front >= m_data.m_xStart)
            return { 0, width };
        // Points added at the end: from the column of the last one drawn, which
        // the new ones join, to the newest one's reach.
        if (now.empty != was.empty || now.last != was.last) {
            from = std::min(from, std::floor((was.empty ? now.front : was.last) * scale) - origin);
            to = std::max(to, std::floor(now.last * scale) - origin + std::ceil(now.width * m_plotLook->ratio) + 2.0);
        }
    }
    if (from <= m_plotMargins.first)
        return { 0, width };
    return { static_cast<int>(std::min<double>(from, width)), static_cast<int>(std::clamp<double>(to, from, width)) };
}

std::pair<int, int> CScrollChart::plainColumns(const QImage& background)
{
    // How far in from each side the background differs from column to column:
    // a gradient across would leave no columns alike, and scrolling is off.
    const int width = background.width();
    const int height = background.height();
    const int middle = width / 2;
    auto columnAlike = [&](int x) {
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const quint32*>(background.constScanLine(y));
            if (row[x] != row[middle])
                return false;
        }
        return true;
    };
    int left = middle;
    while (left > 0 && columnAlike(left - 1))
        --left;
    int right = middle + 1;
    while (right < width && columnAlike(right))
        ++right;
    if (left > width / 4 || width - right > width / 4)
        return { -1, -1 };
    return { left, width - right };
}

void CScrollChart::drawColumns(const QImage& background, const QSize& size, qreal ratio, bool opaque, int from,
                               int to) const
{
    if (from >= to)
        return;
    // Columns drawn afresh start from the background (or, over a see-through
    // one, from a clear layer that goes out over it).
    const qsizetype stride = m_frame.bytesPerLine();
    uchar* const bits = m_frame.bits();
    const uchar* const under = background.constBits();
    for (int row = 0; row < m_frame.height(); ++row) {
        uchar* line = bits + row * stride + from * 4;
        const std::size_t bytes = static_cast<std::size_t>(to - from) * 4;
        if (opaque)
            std::memcpy(line, under + row * background.bytesPerLine() + from * 4, bytes);
        else
            std::memset(line, 0, bytes);
    }
    drawVerticalGrid(size, ratio, from, to);
    m_lines.fold(m_data, size, ratio, from, to);
    m_lines.writeRuns(m_frame);
}

bool CScrollChart::opaqueBackground() const
{
    return m_from.alpha() == 255 && m_to.alpha() == 255;
}

std::size_t CScrollChart::backgroundKey() const
{
    return qHashMulti(0, m_from.rgba64(), m_to.rgba64(), m_vertical, m_grid, m_gridColour.rgba64(), m_vertDiv);
}

CScrollChart::SPlotLook CScrollChart::plotLook(const QSize& size, qreal ratio) const
{
    const CChartData& d = m_data;
    return { size, ratio, backgroundKey(), opaqueBackground(),
        d.deviceScale(size.width(), ratio), d.m_yMin, d.m_yMax, m_grid, m_horzDiv, m_gridColour.rgba64() };
}

void CScrollChart::drawPlot(const QImage& background, const QSize& size, qreal ratio) const
{
    const CChartData& d = m_data;
    const SPlotLook look = plotLook(size, ratio);
    const bool opaque = look.opaque;
    const double origin = d.deviceOrigin(size.width(), ratio);
    std::vector<SPlotLine>& lines = m_plotLinesNow;
    plotLines(lines);
    if (m_frame.size() != background.size() || m_frame.format() != background.format()) {
        m_frame = QImage(background.size(), background.format());
        m_plotLook.reset();
    }
    m_frame.setDevicePixelRatio(ratio);
    const int width = m_frame.width();
    // Over a see-through background the picture holds only the lines.
    if (m_plotLook != look)
        m_plotMargins = opaque ? plainColumns(background) : std::pair<int, int> { 0, 0 };
    const auto [from, to] = m_plotLook == look ? changedColumns(lines, look.scale, origin, width)
                                               : std::pair<int, int> { 0, width };
    // Kept columns move left by as many device columns as the window moved
    // on; the left margin's background came along with them and is drawn afresh.
    const int shift = static_cast<int>(origin - m_plotOrigin);
    m_columnsDrawn = 0;
    if (from > 0 && shift > 0) {
        const qsizetype stride = m_frame.bytesPerLine();
        uchar* const bits = m_frame.bits();
        for (int row = 0; row < m_frame.height(); ++row)
            std::memmove(bits + row * stride, bits + row * stride + shift * 4, static_cast<std::size_t>(width - shift) * 4);
        drawColumns(background, size, ratio, opaque, 0, m_plotMargins.first);
        m_columnsDrawn += m_plotMargins.first;
    }
    drawColumns(background, size, ratio, opaque, from, to);
    m_columnsDrawn += to - from;
    // Lines of other patterns are drawn through the painter over the picture.
    m_lines.fold(d, size, ratio, width, width);
    m_plotLook = look;
    m_plotLines.swap(lines);
    m_plotOrigin = origin;
}

void CScrollChart::paintChart(QPainter& painter, const QSize& size) const
{
    const int w = size.width();
    const int h = size.height();
    if (w <= 0 || h <= 0)
        return;
    const CChartData& d = m_data;
    const qreal ratio = painter.device() ? std::max<qreal>(1.0, painter.device()->devicePixelRatioF()) : 1.0;

    // The gradient and the horizontal grid lines move only with the size: drawn once, then copied.
    const bool opaque = opaqueBackground();
    const QImage& background = m_background.picture(ratio, size, backgroundKey(), [&](QPainter& p) {
        drawGradient(p, QRectF(0, 0, w, h));
        if (m_grid && m_vertDiv > 0) {
            p.setPen(QPen(m_gridColour, 1, Qt::SolidLine));
            const double step = static_cast<double>(h) / m_vertDiv;
            for (unsigned int i = 1; i < m_vertDiv; ++i) {
                const int row = static_cast<int>(i * step);
                p.drawLine(5, row, w - 5, row);
            }
        }
    }, opaque);
    // The lines drawn as runs go into a picture of their own over the
    // background, which goes out in one copy; a tick scrolls it and writes
    // only the columns it brought.
    drawPlot(background, size, ratio);
    const QRectF area(0, 0, w, h);
    if (!opaque)
        painter.drawImage(area, background);
    if (!opaque || !copyOpaquePicture(painter, m_frame, QRect(0, 0, w, h)))
        painter.drawImage(area, m_frame);
    m_lines.draw(painter, d);

    std::vector<QRect>& labels = m_labelBoxes;
    labels.clear();
    const int labelHeight = std::min(kLabelHeight, painter.fontMetrics().height() + 2);
    const double xEnd = d.m_xStart + d.m_xWidth;
    // Value labels at the newest point of every visible line. Each line keeps
    // its laid-out text, so a value that did not change is not laid out again.
    painter.setBrush(Qt::NoBrush);
    struct SLabelled {
        unsigned int number;
        const CChartData::SLine* line;
        double y;
    };
    std::vector<SLabelled> labelled;
    for (const auto& [number, line] : d.lines()) {
        if (!m_valueLabels || !line.visible || line.points.empty())
            continue;
        const auto& [x, y] = *line.points.rbegin();
        if (x < d.m_xStart || x > xEnd)
            continue;
        labels.push_back(placeLabel(static_cast<int>(d.toPixelX(x, w)), d.toPixelY(y, h), size, {}, labelHeight));
        labelled.push_back({ number, &line, y });
    }
    stackLabels(labels, size.height());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto& [number, line, y] = labelled[i];
        const QRect& box = labels[i];
        QStaticText& text = m_labelTexts[number];
        const QString shown = labelText(*line, y);
        if (text.text() != shown || m_labelFont != painter.font()) {
            text.setText(shown);
            text.setTextFormat(Qt::PlainText);
            text.prepare(QTransform(), painter.font());
        }
        const QSizeF extent = text.size();
        painter.setPen(GradPalette::fromColorRef(line->colour));
        painter.drawStaticText(QPointF(box.x() + (box.width() - extent.width()) / 2.0,
                                       box.y() + (box.height() - extent.height()) / 2.0),
                               text);
        paintedtext::note(this, shown, box);
    }
    m_labelFont = painter.font();
    drawAxis(painter, size);
    drawTimeAxis(painter, size);
    if (m_cursor) {
        drawCursor(painter, size);
        return;
    }

    // Read mode: the point nearest to the mouse, with a cursor through it.
    if (m_readMode && m_mouse.x() >= 0 && m_mouse.x() < w) {
        const double mx = d.fromPixelX(m_mouse.x(), w);
        const CChartData::SLine* best = nullptr;
        double bestX = 0, bestY = 0, bestDistance = 0;
        for (const auto& [number, line] : d.lines()) {
            double px = 0, py = 0;
            if (!line.visible || !d.nearestPoint(number, mx, d.m_xWidth / 5.0, px, py))
                continue;
            const double dx = d.toPixelX(px, w) - m_mouse.x();
            const double dy = d.toPixelY(py, h) - m_mouse.y();
            const double distance = dx * dx + dy * dy;
            if (!best || distance < bestDistance) {
                best = &line;
                bestX = px;
                bestY = py;
                bestDistance = distance;
            }
        }
        if (best) {
            const int column = static_cast<int>(d.toPixelX(bestX, w));
            const int row = d.toPixelY(bestY, h);
            painter.setPen(QPen(GradPalette::pageText(), 1, Qt::DashLine));
            painter.drawLine(column, 0, column, h);
            const QColor colour = GradPalette::fromColorRef(best->colour);
            painter.setPen(QPen(colour, 2));
            painter.drawEllipse(QPoint(column, row), 4, 4);
            const QRect box = placeLabel(column, row, size, {}, kLabelHeight);
            painter.fillRect(box, QColor(255, 255, 255, 210));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, labelText(*best, bestY));
        }
    }
}
