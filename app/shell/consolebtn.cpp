// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/consolebtn.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <app/shell/consolesetupdlg.h>
#include <gradctrls/dialogs/gdippalette.h>
#include <imagekit/imageobject.h>

#include <QPainter>

#include <algorithm>

void CConsoleBtn::onDblClick()
{
    if (!context())
        return;
    CConsoleSetupDlg dialog(*context(), window());
    dialog.DoModal();
}

void CConsoleBtn::appendImageFile(const std::wstring& path)
{
    m_files.push_back(path);
}

void CConsoleBtn::selectImage(int index)
{
    if (index < 0 || index >= imageCount() || index == m_selected)
        return;
    m_selected = index;
    update();
}

void CConsoleBtn::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const qreal gap = std::clamp(height() / 48.0, 1.0, 3.0);
    const QRectF face = QRectF(rect()).adjusted(gap, gap, -gap, -gap);
    const qreal radius = std::clamp(face.height() / 14.0, 2.0, 8.0);
    QColor top = gradientFrom();
    QColor bottom = gradientTo();
    if (isDown())
        std::swap(top, bottom);
    drawGradientRect(p, face, top, bottom, true, radius, GradPalette::buttonBorder());

    const QFontMetrics fm(font());
    const QRectF titleRect(face.left(), face.top(), face.width(), fm.height() * 1.4);
    p.setFont(font());
    p.setPen(GradPalette::buttonText());
    const QString title = fm.elidedText(text(), Qt::ElideRight, static_cast<int>(face.width() - 2 * fm.averageCharWidth()));
    p.drawText(titleRect, Qt::AlignCenter, title);
    paintedtext::note(this, title, text(), titleRect.toRect());

    if (m_selected < 0)
        return;
    const QImage image = CImageObject::shared(m_files[static_cast<std::size_t>(m_selected)]);
    const QRectF area = QRectF(face.left(), titleRect.bottom(), face.width(), face.bottom() - titleRect.bottom())
                            .adjusted(gap * 2, 0, -gap * 2, -gap * 2);
    if (area.width() < 2 || area.height() < 2 || image.isNull())
        return;
    const QSizeF fitted = QSizeF(image.size()).scaled(area.size(), Qt::KeepAspectRatio);
    const QRectF target(area.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
    p.drawImage(target, image);
}
