// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/charts/chartlegend.h>

#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStaticText>

#include <algorithm>

CChartLegend::CChartLegend(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CChartLegend::setGroups(std::vector<SGroup> groups)
{
    m_groups = std::move(groups);
    relayout();
}

void CChartLegend::setGroupTitle(int group, const QString& title)
{
    if (group < 0 || group >= static_cast<int>(m_groups.size()))
        return;
    m_groups[static_cast<std::size_t>(group)].title = title;
    relayout();
}

void CChartLegend::setEntryText(unsigned int line, const QString& name, const QString& unit)
{
    if (SEntry* e = find(line)) {
        e->name = name;
        e->unit = unit;
        relayout();
    }
}

CChartLegend::SEntry* CChartLegend::find(unsigned int line, int* group)
{
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        for (SEntry& e : m_groups[g].entries)
            if (e.line == line) {
                if (group)
                    *group = static_cast<int>(g);
                return &e;
            }
    return nullptr;
}

const CChartLegend::SEntry* CChartLegend::entry(unsigned int line) const
{
    return const_cast<CChartLegend*>(this)->find(line);
}

void CChartLegend::setValue(unsigned int line, const QString& value)
{
    SEntry* e = find(line);
    if (!e || e->value == value)
        return;
    e->value = value;
    // Stale places: the whole legend is painted anew already.
    if (m_layoutStale)
        return;
    for (const SPlace& p : m_places)
        if (p.entry >= 0 && m_groups[static_cast<std::size_t>(p.group)].entries[static_cast<std::size_t>(p.entry)].line == line)
            update(p.value);
}

void CChartLegend::setVisible(unsigned int line, bool visible)
{
    if (SEntry* e = find(line); e && e->visible != visible) {
        e->visible = visible;
        update();
    }
}

void CChartLegend::setPresent(unsigned int line, bool present)
{
    if (SEntry* e = find(line); e && e->present != present) {
        e->present = present;
        relayout();
    }
}

void CChartLegend::setGroupShown(int group, bool shown)
{
    if (group < 0 || group >= static_cast<int>(m_groups.size()))
        return;
    m_groups[static_cast<std::size_t>(group)].shown = shown;
    update();
}

void CChartLegend::setSelected(int line)
{
    if (m_selected != line) {
        m_selected = line;
        update();
    }
}

void CChartLegend::setHeading(const QString& heading)
{
    if (m_heading != heading) {
        m_heading = heading;
        if (!m_layoutStale)
            update(m_headingRect);
    }
}

QRect CChartLegend::groupTitleRect(int group) const
{
    ensureLaidOut();
    for (const SPlace& p : m_places)
        if (p.group == group && p.entry < 0)
            return p.rect;
    return {};
}

QRect CChartLegend::sampleRect(unsigned int line) const
{
    ensureLaidOut();
    for (const SPlace& p : m_places)
        if (p.entry >= 0 && m_groups[static_cast<std::size_t>(p.group)].entries[static_cast<std::size_t>(p.entry)].line == line)
            return p.sample;
    return {};
}

QRect CChartLegend::nameRect(unsigned int line) const
{
    ensureLaidOut();
    for (const SPlace& p : m_places)
        if (p.entry >= 0 && m_groups[static_cast<std::size_t>(p.group)].entries[static_cast<std::size_t>(p.entry)].line == line)
            return p.name;
    return {};
}

void CChartLegend::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void CChartLegend::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void CChartLegend::relayout()
{
    m_layoutStale = true;
    update();
}

void CChartLegend::ensureLaidOut() const
{
    if (!m_layoutStale)
        return;
    m_layoutStale = false;
    layOut();
}

void CChartLegend::layOut() const
{
    m_places.clear();
    // Rows: the heading, each group's title, its listed lines (half-width
    // groups side by side share their rows).
    int rows = 1;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const SGroup& group = m_groups[g];
        const int listed = static_cast<int>(std::count_if(group.entries.begin(), group.entries.end(),
            [](const SEntry& e) { return e.present; }));
        if (group.half && g + 1 < m_groups.size() && m_groups[g + 1].half) {
            const SGroup& next = m_groups[g + 1];
            const int other = static_cast<int>(std::count_if(next.entries.begin(), next.entries.end(),
                [](const SEntry& e) { return e.present; }));
            rows += 1 + std::max(listed, other);
            ++g;
        } else {
            rows += 1 + listed;
        }
    }
    // The font shrinks until every row fits.
    m_font = font();
    const int pixel = std::max(7, std::min(QFontInfo(m_font).pixelSize(), height() / std::max(1, rows) - 3));
    m_font.setPixelSize(pixel);
    // ... and until the longest name beside its value fits the width.
    const auto widest = [this](const QFont& f) {
        const QFontMetricsF m(f);
        double need = 0;
        for (const SGroup& group : m_groups) {
            // The titles beside their box (in bold where that fits too).
            need = std::max(need, m.horizontalAdvance(group.title) + m.ascent() + 10
                    - (group.half ? width() / 2.0 : width()));
            for (const SEntry& e : group.entries) {
                if (!e.present)
                    continue;
                const double value = group.half ? m.horizontalAdvance(QStringLiteral("00.00"))
                                                : m.horizontalAdvance(QStringLiteral("-00.0 ") + e.unit);
                const double room = (group.half ? width() / 2.0 : width()) - 2.0 * m.horizontalAdvance(QLatin1Char('M'));
                need = std::max(need, m.horizontalAdvance(e.name) + value + 20 - room);
            }
        }
        return need;
    };
    while (m_font.pixelSize() > 7 && widest(m_font) > 0)
        m_font.setPixelSize(m_font.pixelSize() - 1);
    const QFontMetrics fm(m_font);
    const int rowH = std::max(fm.height() + 1, std::min(fm.height() + 6, height() / std::max(1, rows)));
    const int w = width();
    const int sampleW = std::max(14, fm.horizontalAdvance(QLatin1Char('M')) * 2);
    m_headingRect = QRect(2, 0, w - 4, rowH);
    int y = rowH;
    auto placeGroup = [&](int g, int left, int width, int top) {
        const SGroup& group = m_groups[static_cast<std::size_t>(g)];
        m_places.push_back({ g, -1, QRect(left, top, width, rowH), {}, {}, {} });
        int row = top + rowH;
        for (std::size_t i = 0; i < group.entries.size(); ++i) {
            const SEntry& e = group.entries[i];
            if (!e.present)
                continue;
            const QRect r(left, row, width, rowH);
            const QRect sample(left + 4, row, sampleW, rowH);
            // Half-width rows: the name is short (B1), the unit is in the title.
            const int valueW = group.half ? fm.horizontalAdvance(QStringLiteral("00.00")) + 2
                                          : fm.horizontalAdvance(QStringLiteral("-00.0 ")) + fm.horizontalAdvance(e.unit) + 2;
            const QRect value(left + width - valueW - 2, row, valueW, rowH);
            const QRect name(sample.right() + 4, row, value.left() - sample.right() - 6, rowH);
            m_places.push_back({ g, static_cast<int>(i), r, sample, name, value });
            row += rowH;
        }
        return row;
    };
    for (int g = 0; g < static_cast<int>(m_groups.size()); ++g) {
        const SGroup& group = m_groups[static_cast<std::size_t>(g)];
        if (group.half && g + 1 < static_cast<int>(m_groups.size()) && m_groups[static_cast<std::size_t>(g) + 1].half) {
            const int a = placeGroup(g, 0, w / 2, y);
            const int b = placeGroup(g + 1, w / 2, w - w / 2, y);
            y = std::max(a, b);
            ++g;
        } else {
            y = placeGroup(g, 0, w, y);
        }
    }
}

void CChartLegend::paintEvent(QPaintEvent* event)
{
    ensureLaidOut();
    QPainter painter(this);
    // A tick changes a few values: only their places are painted again.
    const QRegion dirty = paintedtext::recording() ? QRegion(rect()) : event->region();
    painter.fillRect(dirty.boundingRect(), GradPalette::pageTop());
    painter.setPen(GradPalette::pageBorder());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setFont(m_font);
    const QFontMetrics fm(m_font);
    if (m_textsFont != m_font || m_texts.size() > 512) {
        m_texts.clear();
        m_textsFont = m_font;
    }
    // Laid out once per text: the page repaints the legend with every record.
    auto text = [&](const QRect& r, int flags, const QString& full) {
        auto found = m_texts.find(full);
        if (found == m_texts.end()) {
            QStaticText laidOut(full);
            laidOut.setTextFormat(Qt::PlainText);
            laidOut.prepare(QTransform(), m_font);
            found = m_texts.emplace(full, laidOut).first;
        }
        const QSizeF extent = found->second.size();
        if (extent.width() > r.width()) {
            const QString shown = fm.elidedText(full, Qt::ElideRight, r.width());
            painter.drawText(r, flags | Qt::AlignVCenter | Qt::TextSingleLine, shown);
            paintedtext::note(this, shown, full, r);
            return;
        }
        const qreal x = (flags & Qt::AlignRight) ? r.right() + 1 - extent.width() : r.left();
        painter.drawStaticText(QPointF(x, r.top() + (r.height() - extent.height()) / 2.0), found->second);
        paintedtext::note(this, full, r);
    };
    painter.setPen(GradPalette::pageText());
    if (!m_heading.isEmpty() && dirty.intersects(m_headingRect))
        text(m_headingRect, Qt::AlignLeft, m_heading);
    QFont bold = m_font;
    bold.setBold(true);
    for (const SPlace& p : m_places) {
        if (!dirty.intersects(p.rect))
            continue;
        const SGroup& group = m_groups[static_cast<std::size_t>(p.group)];
        if (p.entry < 0) {
            // The title with a box saying whether the group is drawn.
            const int side = std::min(p.rect.height() - 4, fm.ascent());
            const QRect box(p.rect.left() + 3, p.rect.center().y() - side / 2, side, side);
            painter.setPen(GradPalette::pageText());
            painter.setBrush(group.shown ? GradPalette::selectedTop() : QColor(Qt::white));
            painter.drawRect(box);
            painter.setBrush(Qt::NoBrush);
            const QRect r(box.right() + 4, p.rect.top(), p.rect.right() - box.right() - 4, p.rect.height());
            // A long title gives up its weight, then its size, before it is cut.
            QFont title = bold;
            if (QFontMetricsF(title).horizontalAdvance(group.title) > r.width())
                title.setBold(false);
            while (title.pixelSize() > 7 && QFontMetricsF(title).horizontalAdvance(group.title) > r.width())
                title.setPixelSize(title.pixelSize() - 1);
            painter.setFont(title);
            const QFontMetrics bm(title);
            const QString shown = QFontMetricsF(title).horizontalAdvance(group.title) <= r.width() ? group.title
                                                                                : bm.elidedText(group.title, Qt::ElideRight, r.width());
            painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, shown);
            paintedtext::note(this, shown, group.title, r);
            painter.setFont(m_font);
            continue;
        }
        const SEntry& e = group.entries[static_cast<std::size_t>(p.entry)];
        const bool drawn = group.shown && e.visible;
        if (static_cast<int>(e.line) == m_selected)
            painter.fillRect(p.rect, QColor(0xd6, 0xe6, 0xf5));
        QColor colour = QColor(static_cast<int>(e.colour & 0xFF), static_cast<int>((e.colour >> 8) & 0xFF),
                               static_cast<int>((e.colour >> 16) & 0xFF));
        if (!drawn)
            colour.setAlpha(60);
        painter.setPen(QPen(colour, 2.5, e.style == 1 ? Qt::DashLine : Qt::SolidLine, Qt::FlatCap));
        const int mid = p.sample.center().y();
        painter.drawLine(p.sample.left(), mid, p.sample.right(), mid);
        painter.setPen(drawn ? GradPalette::pageText() : GradPalette::disabledText());
        text(p.name, Qt::AlignLeft, e.name);
        text(p.value, Qt::AlignRight, group.half ? e.value : (e.value.isEmpty() ? QString() : e.value + QLatin1Char(' ') + e.unit));
    }
}

void CChartLegend::mousePressEvent(QMouseEvent* event)
{
    ensureLaidOut();
    const QPoint at = event->position().toPoint();
    for (const SPlace& p : m_places) {
        if (!p.rect.contains(at))
            continue;
        SGroup& group = m_groups[static_cast<std::size_t>(p.group)];
        if (p.entry < 0) {
            group.shown = !group.shown;
            update();
            emit groupToggled(p.group, group.shown);
            return;
        }
        SEntry& e = group.entries[static_cast<std::size_t>(p.entry)];
        if (p.sample.adjusted(-4, 0, 2, 0).contains(at)) {
            e.visible = !e.visible;
            update();
            emit lineToggled(e.line, e.visible);
        } else {
            setSelected(static_cast<int>(e.line));
            emit lineSelected(e.line);
        }
        return;
    }
    QWidget::mousePressEvent(event);
}
