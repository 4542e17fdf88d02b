// SPDX-License-Identifier: GPL-3.0-or-later
// The style given to check boxes and radio buttons of the pages: their marks
// grow with the font, so they scale with the window like everything else.
#pragma once

#include <QProxyStyle>

class CGDIpCtrlStyle : public QProxyStyle {
    Q_OBJECT
public:
    // One shared instance, owned by the application object (null without one).
    static CGDIpCtrlStyle* instance();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

private:
    CGDIpCtrlStyle();
};
