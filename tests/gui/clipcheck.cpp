// SPDX-License-Identifier: GPL-3.0-or-later
#include "clipcheck.h"

#include <app/shell/gdipcaptionbar.h>
#include <app/shell/imagebutton.h>
#include <app/shell/imagecheckbox.h>
#include <basectrls/ctrlid.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/multipage/gdipgradientbutton.h>
#include <gradctrls/multipage/gdipmultipagegradientbutton.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace clipcheck {

namespace {

// A button's text as shown: "&&" is an ampersand, a single "&" marks the mnemonic.
QString shownButtonText(QString text)
{
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// The height a line takes: the font's own line height, or the letters' ink
// where a fallback font draws taller ones. A fallback's line spacing is no
// measure: Thai fonts add much room above and below that nothing is drawn in.
int lineHeight(const QFontMetrics& fm, const QString& line)
{
    return std::max(fm.height(), fm.tightBoundingRect(line).height());
}

QSize lineBlock(const QFontMetrics& fm, const QString& text)
{
    QSize block(0, 0);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        block.setWidth(std::max(block.width(), fm.horizontalAdvance(line)));
        block.setHeight(block.height() + lineHeight(fm, line));
    }
    return block;
}

QRect placed(const QRect& area, const QSize& size, Qt::Alignment align)
{
    return QStyle::alignedRect(Qt::LeftToRight, align, size, area) & area;
}

bool measureLabel(const QLabel* label, STextFit& fit)
{
    if (label->text().isEmpty() || !label->pixmap().isNull() || label->textFormat() == Qt::RichText)
        return false;
    if (auto* shrinking = qobject_cast<const CGDIpStatic*>(label); shrinking && shrinking->shrinkToFit())
        return false; // values drawn smaller rather than cut; their fields are sized for numbers
    const int m = label->margin();
    fit.text = label->text();
    fit.area = label->contentsRect().adjusted(m, m, -m, -m);
    const QFontMetrics fm(label->font());
    if (label->wordWrap()) {
        // As the label paints: wrapped when all lines fit, otherwise on one line.
        const QRect wrapped
            = fm.boundingRect(fit.area, static_cast<int>(Qt::TextWordWrap | label->alignment()), fit.text);
        if (wrapped.height() <= fit.area.height()) {
            fit.needed = wrapped.size();
            fit.ink = wrapped & fit.area;
            return true;
        }
    }
    fit.needed = lineBlock(fm, fit.text);
    fit.ink = placed(fit.area, fit.needed, label->alignment());
    return true;
}

bool measureGradientButton(const CGDIpGradientButton* button, STextFit& fit)
{
    fit.text = shownButtonText(button->text());
    if (fit.text.isEmpty())
        return false;
    // A page button is bold while its page shows: measured so, shown or not.
    CGDIpGradientButton::STextLayout layout = button->textLayout();
    if (qobject_cast<const CGDIpMultiPageGradientButton*>(button) && !layout.font.bold()) {
        QFont bold = layout.font;
        bold.setBold(true);
        const QFontMetrics fm(bold);
        layout.area = layout.area.adjusted(QFontMetrics(layout.font).averageCharWidth() - fm.averageCharWidth(), 0,
            fm.averageCharWidth() - QFontMetrics(layout.font).averageCharWidth(), 0);
        layout.font = bold;
    }
    const QFontMetrics fm(layout.font);
    fit.area = layout.area.toRect();
    const QRect wrapped = fm.boundingRect(fit.area, Qt::AlignCenter | Qt::TextWordWrap, fit.text);
    fit.needed = wrapped.width() <= fit.area.width() && wrapped.height() <= fit.area.height() ? wrapped.size()
                                                                                              : lineBlock(fm, fit.text);
    fit.ink = button->rect();
    return true;
}

bool measureImageCheckBox(const CImageCheckBox* box, STextFit& fit)
{
    fit.text = box->text();
    if (fit.text.isEmpty())
        return false;
    const QFontMetrics fm(box->font());
    const int side = std::max(6, std::min(box->height() - 2, 2 * fm.height()));
    int x = 1 + side + side / 3;
    if (box->swatch().isValid())
        x += std::max(8, side) + side / 3;
    fit.area = QRect(x, 0, std::max(0, box->width() - x), box->height());
    fit.needed = lineBlock(fm, fit.text);
    fit.ink = QRect(0, 0, x, box->height()) | placed(fit.area, fit.needed, Qt::AlignLeft | Qt::AlignVCenter);
    return true;
}

bool measureStyledButton(const QAbstractButton* button, STextFit& fit)
{
    fit.text = shownButtonText(button->text());
    if (fit.text.isEmpty())
        return false;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<const QRadioButton*>(button))
        element = QStyle::SE_RadioButtonContents;
    const QFontMetrics fm(button->font());
    fit.area = button->style()->subElementRect(element, &option, button);
    fit.needed = lineBlock(fm, fit.text);
    if (element == QStyle::SE_PushButtonContents) {
        fit.ink = button->rect();
    } else {
        // The mark and the text as far as they reach.
        const QRect text = placed(fit.area, fit.needed, Qt::AlignLeft | Qt::AlignVCenter);
        fit.ink = QRect(QPoint(0, text.top()), QPoint(text.right(), text.bottom()))
            | QRect(0, 0, fit.area.left(), button->height());
    }
    return true;
}

bool measureGroupBox(const QGroupBox* box, STextFit& fit)
{
    fit.text = shownButtonText(box->title());
    if (fit.text.isEmpty())
        return false;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const QFontMetrics fm(box->font());
    // The title may run from where the style starts it to the frame's far side.
    fit.area = QRect(label.left(), label.top(), std::max(0, box->width() - label.left() - 2), label.height());
    fit.needed = lineBlock(fm, fit.text);
    fit.ink = placed(fit.area, QSize(std::min(fit.needed.width(), fit.area.width()), fit.needed.height()),
        Qt::AlignLeft | Qt::AlignVCenter);
    return true;
}

// The closed field must show every item, since any may be chosen.
bool measureComboBox(const QComboBox* combo, STextFit& fit)
{
    if (combo->count() == 0 || combo->isEditable())
        return false;
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = false;
    option.frame = combo->hasFrame();
    option.currentText = combo->currentText();
    const QFontMetrics fm(combo->font());
    fit.area = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    fit.needed = QSize(0, fm.height());
    for (int i = 0; i < combo->count(); ++i) {
        const QString item = combo->itemText(i);
        const int width = fm.horizontalAdvance(item);
        if (width > fit.needed.width()) {
            fit.needed.setWidth(width);
            fit.text = item;
        }
    }
    fit.ink = combo->rect();
    return !fit.text.isEmpty();
}

bool measureCaption(const CGDIpCaptionBar* bar, STextFit& fit)
{
    fit.text = bar->captionText();
    if (fit.text.isEmpty())
        return false;
    fit.area = bar->captionTextRect();
    fit.needed = QSize(QFontMetrics(bar->font()).horizontalAdvance(fit.text), QFontMetrics(bar->font()).height());
    fit.ink = fit.area;
    return true;
}

QString controlName(const QWidget* widget)
{
    if (hasCtrlId(widget))
        return QString::number(ctrlId(widget));
    if (!widget->objectName().isEmpty())
        return widget->objectName();
    return QString::fromLatin1(widget->metaObject()->className());
}

// The part of rect (widget coordinates) that no ancestor up to root cuts off.
QRect unclipped(const QWidget* widget, const QWidget* root, QRect rect)
{
    const QWidget* w = widget;
    QPoint offset;
    while (w != root && w->parentWidget()) {
        offset += w->pos();
        w = w->parentWidget();
        rect &= w->rect().translated(-offset);
    }
    return rect;
}

bool visibleUnder(const QWidget* widget, const QWidget* root)
{
    return widget == root ? widget->isVisible() || !widget->isWindow() : widget->isVisibleTo(root);
}

void checkMenuBar(const QMenuBar* bar, std::vector<SFinding>& findings)
{
    for (QAction* action : bar->actions()) {
        if (!action->isVisible())
            continue;
        const QRect place = bar->actionGeometry(action);
        if (place.isEmpty() || place.right() >= bar->width()) {
            const QFontMetrics fm(bar->font());
            findings.push_back({ QStringLiteral("menu"), QStringLiteral("QMenuBar"), shownButtonText(action->text()),
                QStringLiteral("does not fit the menu bar"), QSize(fm.horizontalAdvance(action->text()), fm.height()),
                QSize(std::max(0, bar->width() - place.left()), bar->height()) });
        }
    }
}

// A table's column titles against their columns' widths.
void checkHeader(const QHeaderView* header, std::vector<SFinding>& findings)
{
    if (!header->model() || header->orientation() != Qt::Horizontal)
        return;
    const QFontMetrics fm(header->font());
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int section = 0; section < header->count(); ++section) {
        if (header->isSectionHidden(section))
            continue;
        const QString title = header->model()->headerData(section, Qt::Horizontal).toString();
        if (title.isEmpty())
            continue;
        const QSize needed(fm.horizontalAdvance(title) + 2 * margin, fm.height());
        const QSize available(header->sectionSize(section), header->height());
        if (needed.width() > available.width() + 1 || needed.height() > available.height() + 1)
            findings.push_back({ QStringLiteral("%1.column%2").arg(controlName(header->parentWidget())).arg(section),
                QStringLiteral("QHeaderView"), title, QStringLiteral("clipped"), needed, available });
    }
}

} // namespace

QString SFinding::describe() const
{
    return QStringLiteral("%1 (%2) \"%3\": %4, needs %5x%6 px, has %7x%8 px")
        .arg(control, kind, text, problem)
        .arg(needed.width())
        .arg(needed.height())
        .arg(available.width())
        .arg(available.height());
}

bool measure(const QWidget* widget, STextFit& fit)
{
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return measureLabel(label, fit);
    if (auto* button = qobject_cast<const CGDIpGradientButton*>(widget))
        return measureGradientButton(button, fit);
    if (auto* box = qobject_cast<const CImageCheckBox*>(widget))
        return measureImageCheckBox(box, fit);
    if (qobject_cast<const CImageButton*>(widget))
        return false; // a picture; its text is the tool tip
    if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        if (qobject_cast<const QPushButton*>(button) || qobject_cast<const QCheckBox*>(button)
            || qobject_cast<const QRadioButton*>(button))
            return measureStyledButton(button, fit);
        return false; // tool buttons and arrows: symbols
    }
    if (auto* box = qobject_cast<const QGroupBox*>(widget))
        return measureGroupBox(box, fit);
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return measureComboBox(combo, fit);
    if (auto* bar = qobject_cast<const CGDIpCaptionBar*>(widget))
        return measureCaption(bar, fit);
    return false;
}

std::vector<SFinding> check(QWidget* root)
{
    std::vector<SFinding> findings;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    struct SInk {
        const QWidget* widget;
        QRect ink; // in the parent's coordinates
        QString text;
    };
    std::vector<SInk> inks;
    for (QWidget* widget : widgets) {
        if (!visibleUnder(widget, root) || widget->width() <= 0 || widget->height() <= 0)
            continue;
        if (widget != root && widget->isWindow())
            continue; // popups and dialogs of their own
        if (auto* bar = qobject_cast<QMenuBar*>(widget)) {
            checkMenuBar(bar, findings);
            continue;
        }
        if (auto* header = qobject_cast<QHeaderView*>(widget)) {
            checkHeader(header, findings);
            continue;
        }
        STextFit fit;
        if (!measure(widget, fit))
            continue;
        const QString kind = QString::fromLatin1(widget->metaObject()->className());
        const QRect room = unclipped(widget, root, fit.area);
        // One pixel of slack: metrics round, painting does not cut that finely.
        if (fit.needed.width() > room.width() + 1 || fit.needed.height() > room.height() + 1) {
            const bool cutByParent
                = fit.needed.width() <= fit.area.width() + 1 && fit.needed.height() <= fit.area.height() + 1;
            findings.push_back({ controlName(widget), kind, fit.text,
                cutByParent ? QStringLiteral("cut off by its container") : QStringLiteral("clipped"), fit.needed,
                room.size() });
        }
        if (widget != root && !qobject_cast<CGDIpCaptionBar*>(widget))
            inks.push_back({ widget, fit.ink.translated(widget->pos()), fit.text });
    }
    for (std::size_t i = 0; i < inks.size(); ++i) {
        for (std::size_t j = i + 1; j < inks.size(); ++j) {
            if (inks[i].widget->parentWidget() != inks[j].widget->parentWidget())
                continue;
            const QRect both = inks[i].ink & inks[j].ink;
            if (both.width() <= 2 || both.height() <= 2)
                continue;
            findings.push_back(
                { controlName(inks[i].widget), QString::fromLatin1(inks[i].widget->metaObject()->className()),
                    inks[i].text, QStringLiteral("overlaps %1 \"%2\"").arg(controlName(inks[j].widget), inks[j].text),
                    inks[i].ink.size(), both.size() });
        }
    }
    return findings;
}

} // namespace clipcheck
