// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/gdipctrlstyle.h>

#include <QApplication>
#include <QFontMetrics>
#include <QPointer>
#include <QWidget>

#include <algorithm>

CGDIpCtrlStyle::CGDIpCtrlStyle() = default;

CGDIpCtrlStyle* CGDIpCtrlStyle::instance()
{
    static QPointer<CGDIpCtrlStyle> style;
    if (!style && QCoreApplication::instance()) {
        style = new CGDIpCtrlStyle;
        // Dies with the application, before the widgets' style could outlive it.
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

int CGDIpCtrlStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    const int base = QProxyStyle::pixelMetric(metric, option, widget);
    if (!widget)
        return base;
    const int line = widget->fontMetrics().height();
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        return std::max(base, line * 9 / 10);
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing:
        return std::max(base, widget->fontMetrics().averageCharWidth());
    default:
        return base;
    }
}
