// SPDX-License-Identifier: GPL-3.0-or-later
// One OBD value tile of the extended readings panel: its three-line text
// (an empty line, the value's name, the value with its unit) centred on a
// light rounded tile, the value line in bold.
#pragma once

#include <QLabel>

class CObdTile : public QLabel {
    Q_OBJECT
public:
    explicit CObdTile(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
