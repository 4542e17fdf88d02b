// SPDX-License-Identifier: GPL-3.0-or-later
// The program's widget style: the platform's own, except for the few standard
// icons the main window builds at start. Those the base style reads from image
// files, and the first image file read of a run loads every image-format
// plug-in on the system to ask it about the file (some 10 ms before the first
// window); these are drawn here instead.
#pragma once

#include <QProxyStyle>

class CProgramStyle : public QProxyStyle {
    Q_OBJECT
public:
    CProgramStyle();

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
