// SPDX-License-Identifier: GPL-3.0-or-later
// A drop-down list with the library's look. It remembers the height of its
// closed field, so that a container scales only that field and never the list.
#pragma once

#include <gradctrls/dialogs/iownfontctrl.h>

#include <QComboBox>

class CGDIpGradientComboBox : public QComboBox, public IOwnFontCtrl {
    Q_OBJECT
public:
    explicit CGDIpGradientComboBox(QWidget* parent = nullptr);

    // The stored height of the closed field in pixels; 0 while none is stored.
    void setClosedHeight(int height) { m_closedHeight = height > 0 ? height : 0; }
    int closedHeight() const { return m_closedHeight; }
    // Makes the closed field height pixels high (the list is not affected).
    void setSelectionFieldHeight(int height);

private:
    int m_closedHeight = 0;
};
