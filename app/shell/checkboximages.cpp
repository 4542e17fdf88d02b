// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/checkboximages.h>
#include <gradctrls/dialogs/paintedtext.h>

#include <app/platform/log.h>
#include <app/shell/skinimage.h>

#include <QCheckBox>
#include <QEvent>
#include <QPainter>

namespace {

QImage loadSkin(const std::wstring& file)
{
    QImage image = skinImage(file);
    if (image.isNull())
        logInfo("gui", "check box picture missing: " + skinPath(file).string());
    return image;
}

} // namespace

CCheckBoxImages::CCheckBoxImages(const std::wstring& selectedFile, const std::wstring& unselectedFile, QObject* parent)
    : QObject(parent)
    , m_selected(loadSkin(selectedFile))
    , m_unselected(loadSkin(unselectedFile))
{
}

void CCheckBoxImages::apply(QCheckBox* box)
{
    if (box && loaded())
        box->installEventFilter(this);
}

bool CCheckBoxImages::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QCheckBox*>(watched);
    if (!box || event->type() != QEvent::Paint)
        return QObject::eventFilter(watched, event);
    QPainter painter(box);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect r = box->rect();
    // The picture is a square as high as the text line allows, at the left.
    const int side = std::max(8, std::min(r.height(), box->fontMetrics().height() + 6));
    const QRect mark(r.left(), r.top() + (r.height() - side) / 2, side, side);
    painter.setOpacity(box->isEnabled() ? 1.0 : 0.5);
    painter.setFont(box->font());
    painter.setPen(box->palette().color(box->isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    // A box whose bit was not read from the controller shows no state: a dash for its mark.
    if (box->property(kNoValueProperty).toBool())
        painter.drawText(mark, Qt::AlignCenter, QStringLiteral("\u2014"));
    else
        painter.drawImage(mark, box->isChecked() ? m_selected : m_unselected);
    const QRect text = r.adjusted(side + side / 3, 0, 0, 0);
    const QString shown = box->fontMetrics().elidedText(box->text(), Qt::ElideRight, text.width());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
    paintedtext::note(box, shown, box->text(), text);
    return true;
}
