// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/imagecheckbox.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <app/shell/skinimage.h>

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

CImageCheckBox::CImageCheckBox(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
}

bool CImageCheckBox::loadSkins(const std::wstring& selected, const std::wstring& unselected)
{
    m_selected = skinImage(selected);
    m_unselected = skinImage(unselected);
    update();
    return !m_selected.isNull() && !m_unselected.isNull();
}

void CImageCheckBox::setSwatch(const QColor& colour)
{
    m_swatch = colour;
    update();
}

void CImageCheckBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::max(6, std::min(height() - 2, 2 * fontMetrics().height() / 1));
    const QRect box(1, (height() - side) / 2, side, side);
    const QImage& picture = isChecked() ? m_selected : m_unselected;
    if (!picture.isNull()) {
        painter.drawImage(box, picture);
    } else {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBrush(Qt::white);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        if (isChecked()) {
            painter.setPen(QPen(palette().color(QPalette::WindowText), std::max(1.5, side / 8.0)));
            painter.drawLine(box.left() + side / 4, box.center().y(), box.center().x(), box.bottom() - side / 4);
            painter.drawLine(box.center().x(), box.bottom() - side / 4, box.right() - side / 5, box.top() + side / 4);
        }
    }
    int x = box.right() + side / 3;
    if (m_swatch.isValid()) {
        const int w = std::max(8, side);
        painter.setPen(QPen(m_swatch, std::max(2.0, side / 6.0), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(x, height() / 2, x + w, height() / 2);
        x += w + side / 3;
    }
    if (!text().isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        // A narrow box shrinks its text a little before it would clip it.
        QFont shown = font();
        const int room = width() - x;
        for (int step = 0; step < 4 && QFontMetrics(shown).horizontalAdvance(text()) > room; ++step) {
            if (shown.pixelSize() > 0)
                shown.setPixelSize(std::max(7, shown.pixelSize() * 9 / 10));
            else if (shown.pointSizeF() > 0)
                shown.setPointSizeF(std::max(5.0, shown.pointSizeF() * 0.9));
        }
        painter.setFont(shown);
        const QString fitted = QFontMetrics(shown).elidedText(text(), Qt::ElideRight, room);
        painter.drawText(QRect(x, 0, room, height()), Qt::AlignVCenter | Qt::AlignLeft, fitted);
        paintedtext::note(this, fitted, text(), QRect(x, 0, room, height()));
    }
}
