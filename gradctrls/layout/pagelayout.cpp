// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/layout/pagelayout.h>

#include <basectrls/ctrlid.h>
#include <basectrls/extedit.h>
#include <basectrls/floatedit.h>
#include <basectrls/intedit.h>
#include <gradctrls/dialogs/gdipctrlstyle.h>
#include <gradctrls/dialogs/gdipgradientcombobox.h>
#include <gradctrls/dialogs/gdipstatic.h>
#include <gradctrls/multipage/gdipgradientbutton.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace {

CPageLayout::Translator& tipsOfButtons()
{
    static CPageLayout::Translator tips;
    return tips;
}

constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

// a * b / c rounded half away from zero, as dialog-unit conversion rounds.
int mulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long q = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<int>(q);
}

CGDIpStatic* makeLabel(QWidget* parent, const QString& text, Qt::Alignment align)
{
    auto* label = new CGDIpStatic(parent);
    label->setText(text);
    label->setAlignment(align | Qt::AlignVCenter);
    label->setWordWrap(true);
    return label;
}

QWidget* withScaledMarks(QWidget* box)
{
    if (CGDIpCtrlStyle* style = CGDIpCtrlStyle::instance())
        box->setStyle(style);
    return box;
}

} // namespace

int CPageLayout::duToPixelsX(int du)
{
    return mulDiv(du, kBaseX, 4);
}

int CPageLayout::duToPixelsY(int du)
{
    return mulDiv(du, kBaseY, 8);
}

QRect CPageLayout::duToPixels(int x, int y, int cx, int cy)
{
    const int left = duToPixelsX(x);
    const int top = duToPixelsY(y);
    // Edges convert, not sizes, so that neighbouring controls never overlap by rounding.
    return QRect(QPoint(left, top), QPoint(duToPixelsX(x + cx) - 1, duToPixelsY(y + cy) - 1));
}

QSize CPageLayout::pageSize()
{
    return QSize(duToPixelsX(kDesignWidthDu), duToPixelsY(kDesignHeightDu));
}

QWidget* CPageLayout::createCtrl(QWidget* parent, const SCtrlLayout& row, const QString& text)
{
    switch (row.kind) {
    case ECtrlKind::Label:
        return makeLabel(parent, text, Qt::AlignLeft);
    case ECtrlKind::LabelCenter:
        return makeLabel(parent, text, Qt::AlignHCenter);
    case ECtrlKind::LabelRight:
        return makeLabel(parent, text, Qt::AlignRight);
    case ECtrlKind::GroupBox:
        return new QGroupBox(text, parent);
    case ECtrlKind::PushButton: {
        auto* button = new CGDIpGradientButton(parent);
        button->setText(text);
        return button;
    }
    case ECtrlKind::CheckBox:
        return withScaledMarks(new QCheckBox(text, parent));
    case ECtrlKind::RadioButton:
        return withScaledMarks(new QRadioButton(text, parent));
    case ECtrlKind::Edit: {
        auto* edit = new CExtEdit(parent);
        edit->setText(text);
        return edit;
    }
    case ECtrlKind::ReadOnlyEdit: {
        auto* edit = new CExtEdit(parent);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setText(text);
        return edit;
    }
    case ECtrlKind::IntEdit: {
        auto* edit = new CIntEdit(parent);
        edit->setText(text);
        return edit;
    }
    case ECtrlKind::FloatEdit: {
        auto* edit = new CFloatEdit(parent);
        edit->setText(text);
        return edit;
    }
    case ECtrlKind::ComboBox: {
        auto* combo = new CGDIpGradientComboBox(parent);
        if (!text.isEmpty())
            combo->addItems(text.split(QLatin1Char('\n')));
        return combo;
    }
    case ECtrlKind::Placeholder:
        return new QWidget(parent);
    }
    return nullptr;
}

void CPageLayout::setButtonTips(Translator tips)
{
    tipsOfButtons() = std::move(tips);
}

const CPageLayout::Translator& CPageLayout::buttonTips()
{
    return tipsOfButtons();
}

int CPageLayout::build(QWidget* parent, std::span<const SCtrlLayout> table, const Translator& translate)
{
    if (!parent)
        return 0;
    int made = 0;
    for (const SCtrlLayout& row : table) {
        const std::wstring raw = row.text ? row.text : L"";
        QString text;
        if (row.kind == ECtrlKind::ComboBox) {
            // Items are translated one by one.
            QStringList items;
            for (const QString& item : QString::fromStdWString(raw).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                items << (translate ? QString::fromStdWString(translate(item.toStdWString())) : item);
            text = items.join(QLatin1Char('\n'));
        } else {
            text = QString::fromStdWString(translate && !raw.empty() ? translate(raw) : raw);
        }
        QWidget* ctrl = createCtrl(parent, row, text);
        if (!ctrl)
            continue;
        setCtrlId(ctrl, row.id);
        if (row.kind == ECtrlKind::PushButton) {
            ctrl->setProperty("sourceText", QString::fromStdWString(raw));
            if (tipsOfButtons() && !raw.empty())
                ctrl->setToolTip(QString::fromStdWString(tipsOfButtons()(raw)));
        }
        const QRect rect = duToPixels(row.x, row.y, row.cx, row.cy);
        ctrl->setGeometry(rect);
        if (auto* combo = qobject_cast<CGDIpGradientComboBox*>(ctrl))
            combo->setClosedHeight(rect.height());
        ctrl->show();
        ++made;
    }
    return made;
}

void CPageLayout::retranslate(QWidget* parent, std::span<const SCtrlLayout> table, const Translator& translate)
{
    if (!parent || !translate)
        return;
    const auto translated = [&](const std::wstring& text) { return QString::fromStdWString(translate(text)); };
    for (const SCtrlLayout& row : table) {
        if (!row.text || !*row.text || row.kind == ECtrlKind::Placeholder)
            continue;
        QWidget* ctrl = findChildCtrl(parent, row.id);
        if (auto* combo = qobject_cast<QComboBox*>(ctrl)) {
            const QStringList items = QString::fromWCharArray(row.text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            for (int i = 0; i < items.size() && i < combo->count(); ++i)
                combo->setItemText(i, translated(items[i].toStdWString()));
        } else if (auto* label = qobject_cast<QLabel*>(ctrl)) {
            label->setText(translated(row.text));
        } else if (auto* button = qobject_cast<QAbstractButton*>(ctrl)) {
            button->setText(translated(row.text));
        } else if (auto* group = qobject_cast<QGroupBox*>(ctrl)) {
            group->setTitle(translated(row.text));
        }
    }
}
