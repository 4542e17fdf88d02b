// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/gdipgradientcombobox.h>

CGDIpGradientComboBox::CGDIpGradientComboBox(QWidget* parent)
    : QComboBox(parent)
{
    setMaxVisibleItems(12);
}

void CGDIpGradientComboBox::setSelectionFieldHeight(int height)
{
    if (height <= 0)
        return;
    if (this->height() != height)
        resize(width(), height);
}
