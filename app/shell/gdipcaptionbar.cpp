// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/gdipcaptionbar.h>
#include <app/shell/buttontips.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdippalette.h>
#include <gradctrls/dialogs/igdipgradientctrl.h>

#include <QAbstractButton>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include <algorithm>

namespace {

enum class EGlyph { Minimise, Maximise, Restore, Close };

// A flat caption button that draws its glyph with lines, so it stays sharp at every size.
class CCaptionButton : public QAbstractButton {
public:
    CCaptionButton(EGlyph glyph, QWidget* parent)
        : QAbstractButton(parent)
        , m_glyph(glyph)
    {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_Hover, true);
    }
    void setGlyph(EGlyph glyph)
    {
        m_glyph = glyph;
        update();
    }
    EGlyph glyph() const { return m_glyph; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, true);
        const bool hot = underMouse() || isDown();
        if (hot)
            p.fillRect(rect(), m_glyph == EGlyph::Close ? QColor(0xc4, 0x2b, 0x1c) : GradPalette::buttonHoverTop());
        const qreal s = std::min(width(), height()) * 0.32;
        const QPointF c = QRectF(rect()).center();
        QPen pen(GradPalette::buttonText(), std::max(1.0, s / 7.0));
        pen.setCapStyle(Qt::SquareCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        const QRectF box(c.x() - s / 2, c.y() - s / 2, s, s);
        switch (m_glyph) {
        case EGlyph::Minimise:
            p.drawLine(QPointF(box.left(), box.bottom()), QPointF(box.right(), box.bottom()));
            break;
        case EGlyph::Maximise:
            p.drawRect(box);
            break;
        case EGlyph::Restore: {
            const qreal d = s * 0.25;
            p.drawRect(box.adjusted(0, d, -d, 0));
            p.drawPolyline(QPolygonF({ QPointF(box.left() + d, box.top() + d), QPointF(box.left() + d, box.top()),
                QPointF(box.right(), box.top()), QPointF(box.right(), box.bottom() - d),
                QPointF(box.right() - d, box.bottom() - d) }));
            break;
        }
        case EGlyph::Close:
            p.drawLine(box.topLeft(), box.bottomRight());
            p.drawLine(box.topRight(), box.bottomLeft());
            break;
        }
    }

private:
    EGlyph m_glyph;
};

} // namespace

CGDIpCaptionBar::CGDIpCaptionBar(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    m_minimise = new CCaptionButton(EGlyph::Minimise, this);
    m_maximise = new CCaptionButton(EGlyph::Maximise, this);
    m_close = new CCaptionButton(EGlyph::Close, this);
    setCtrlId(m_minimise, kIdMinimise);
    setCtrlId(m_maximise, kIdMaximise);
    setCtrlId(m_close, kIdClose);
    // Drawn glyphs only: the tips say what each does.
    setOwnButtonTip(m_minimise, L"Minimalizuje okno.");
    setOwnButtonTip(m_maximise, L"Powiększa okno na cały ekran albo przywraca jego rozmiar.");
    setOwnButtonTip(m_close, L"Zamyka program.");
    connect(m_minimise, &QAbstractButton::clicked, this, [this] { window()->showMinimized(); });
    connect(m_maximise, &QAbstractButton::clicked, this, [this] { toggleMaximized(); });
    connect(m_close, &QAbstractButton::clicked, this, [this] { window()->close(); });
    setFixedHeight(32);
}

void CGDIpCaptionBar::setCaptionText(const QString& text)
{
    m_text = text;
    update();
}

void CGDIpCaptionBar::setIcon(const QIcon& icon)
{
    m_icon = icon;
    update();
}

void CGDIpCaptionBar::setCaptionFont(const QFont& font)
{
    setFont(font);
    update();
}

void CGDIpCaptionBar::setCaptionHeight(int pixels)
{
    setFixedHeight(std::max(pixels, 1));
    placeButtons();
}

void CGDIpCaptionBar::setActive(bool active)
{
    m_active = active;
    update();
}

void CGDIpCaptionBar::setMaximized(bool maximized)
{
    m_maximized = maximized;
    static_cast<CCaptionButton*>(m_maximise)->setGlyph(maximized ? EGlyph::Restore : EGlyph::Maximise);
}

void CGDIpCaptionBar::toggleMaximized()
{
    QWidget* w = window();
    if (w->isMaximized())
        w->showNormal();
    else
        w->showMaximized();
}

void CGDIpCaptionBar::placeButtons()
{
    const int h = height();
    const int w = h * 3 / 2;
    m_close->setGeometry(width() - w, 0, w, h);
    m_maximise->setGeometry(width() - 2 * w, 0, w, h);
    m_minimise->setGeometry(width() - 3 * w, 0, w, h);
}

void CGDIpCaptionBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

QRect CGDIpCaptionBar::captionTextRect() const
{
    const int pad = std::max(2, height() / 8);
    const int iconSize = height() - 2 * pad;
    int x = pad * 2;
    if (!m_icon.isNull() && iconSize > 0)
        x += iconSize + pad * 2;
    return QRect(x, 0, std::max(0, m_minimise->x() - x - pad), height());
}

void CGDIpCaptionBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor top = m_active ? GradPalette::panelTop() : GradPalette::backdropTop();
    const QColor bottom = m_active ? GradPalette::backdropTop() : GradPalette::backdropBottom();
    IGDIpGradientCtrl::drawGradientRect(p, QRectF(rect()), top, bottom, true);
    p.setPen(GradPalette::panelBorder());
    p.drawLine(0, height() - 1, width(), height() - 1);

    const int pad = std::max(2, height() / 8);
    const int iconSize = height() - 2 * pad;
    if (!m_icon.isNull() && iconSize > 0)
        m_icon.paint(&p, QRect(pad * 2, pad, iconSize, iconSize));
    QColor text = GradPalette::buttonText();
    if (!m_active)
        text = GradPalette::disabledText();
    p.setPen(text);
    p.setFont(font());
    const QRect textRect = captionTextRect();
    const QString shown = QFontMetrics(font()).elidedText(m_text, Qt::ElideRight, textRect.width());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, shown);
    paintedtext::note(this, shown, m_text, textRect);
}

void CGDIpCaptionBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    QWindow* handle = window()->windowHandle();
    if (!window()->isMaximized() && handle && handle->startSystemMove())
        return;
    m_dragging = !window()->isMaximized();
    m_dragOffset = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void CGDIpCaptionBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_dragOffset);
    else
        QWidget::mouseMoveEvent(event);
}

void CGDIpCaptionBar::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void CGDIpCaptionBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        toggleMaximized();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

QPixmap CGDIpCaptionBar::programIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal s = size;
    IGDIpGradientCtrl::drawGradientRect(p, QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), GradPalette::selectedTop(),
        GradPalette::selectedBottom(), true, s * 0.18, GradPalette::selectedBorder());
    // A gas flame over a burner line.
    QPainterPath flame;
    flame.moveTo(s * 0.50, s * 0.16);
    flame.cubicTo(s * 0.70, s * 0.38, s * 0.78, s * 0.52, s * 0.70, s * 0.66);
    flame.cubicTo(s * 0.64, s * 0.76, s * 0.36, s * 0.76, s * 0.30, s * 0.66);
    flame.cubicTo(s * 0.22, s * 0.52, s * 0.34, s * 0.40, s * 0.42, s * 0.30);
    flame.cubicTo(s * 0.44, s * 0.40, s * 0.48, s * 0.46, s * 0.52, s * 0.48);
    flame.cubicTo(s * 0.54, s * 0.38, s * 0.54, s * 0.28, s * 0.50, s * 0.16);
    p.setPen(Qt::NoPen);
    p.setBrush(GradPalette::selectedMark());
    p.drawPath(flame);
    p.setBrush(GradPalette::buttonText());
    p.drawRoundedRect(QRectF(s * 0.24, s * 0.78, s * 0.52, s * 0.07), s * 0.03, s * 0.03);
    return pixmap;
}
