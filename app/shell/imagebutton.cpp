// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/imagebutton.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <app/shell/skinimage.h>

#include <QEnterEvent>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

CImageButton::CImageButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

bool CImageButton::loadSkin(const std::wstring& fileName)
{
    m_source = skinImage(fileName);
    m_scaled = QImage();
    update();
    return !m_source.isNull();
}

void CImageButton::setPicture(const QImage& picture)
{
    if (picture.cacheKey() == m_source.cacheKey())
        return;
    m_source = picture;
    m_scaled = QImage();
    update();
}

void CImageButton::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    m_scaled = QImage();
}

void CImageButton::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CImageButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = rect().adjusted(1, 1, -1, -1);
    if (isDown() || isChecked()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 60));
        painter.drawRoundedRect(area, 4, 4);
    } else if (m_hover && isEnabled()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 60));
        painter.drawRoundedRect(area, 4, 4);
    }
    if (m_source.isNull()) {
        // A round dark button like the skin's, with the text in it.
        const int side = std::min(area.width(), area.height()) - 2;
        const QRectF disc(area.center().x() - side / 2.0 + 0.5, area.center().y() - side / 2.0 + 0.5, side, side);
        QLinearGradient ring(disc.topLeft(), disc.bottomLeft());
        ring.setColorAt(0, QColor(90, 90, 90));
        ring.setColorAt(1, QColor(20, 20, 20));
        painter.setPen(Qt::NoPen);
        painter.setBrush(ring);
        painter.drawEllipse(disc);
        QLinearGradient face(disc.topLeft(), disc.bottomLeft());
        face.setColorAt(0, QColor(250, 250, 250));
        face.setColorAt(1, QColor(205, 205, 205));
        painter.setBrush(face);
        painter.drawEllipse(disc.adjusted(side * 0.1, side * 0.1, -side * 0.1, -side * 0.1));
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        QFont bold = font();
        bold.setBold(true);
        const qreal room = side * 0.72;
        for (int step = 0; step < 6 && QFontMetricsF(bold).horizontalAdvance(text()) > room; ++step) {
            if (bold.pointSizeF() > 0)
                bold.setPointSizeF(bold.pointSizeF() * 0.88);
            else
                bold.setPixelSize(std::max(6, bold.pixelSize() * 88 / 100));
        }
        painter.setFont(bold);
        painter.drawText(disc, Qt::AlignCenter, text());
        paintedtext::note(this, text(), disc.toRect());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize target = (area.size() * ratio);
    if (m_scaled.isNull() || m_scaled.size() != m_source.size().scaled(target, Qt::KeepAspectRatio)) {
        m_scaled = m_source.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(ratio);
    }
    const QSizeF shown = QSizeF(m_scaled.size()) / ratio;
    const QPointF at(area.x() + (area.width() - shown.width()) / 2.0, area.y() + (area.height() - shown.height()) / 2.0);
    if (isDown())
        painter.translate(1, 1);
    if (!isEnabled())
        painter.setOpacity(0.4);
    painter.drawImage(at, m_scaled);
}
