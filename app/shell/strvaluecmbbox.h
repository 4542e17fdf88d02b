// SPDX-License-Identifier: GPL-3.0-or-later
// A drop-down list whose items each carry a stored value besides their shown
// text: choosing an item stores its value, showing a value selects its item.
#pragma once

#include <gradctrls/dialogs/gdipgradientcombobox.h>

#include <string>
#include <vector>

class CStrValueCmbBox : public CGDIpGradientComboBox {
    Q_OBJECT
public:
    struct Item {
        std::wstring text;
        int value;
    };
    explicit CStrValueCmbBox(QWidget* parent = nullptr);

    // Replaces the items, keeping the shown value (the first item when it is not among them).
    void setItems(const std::vector<Item>& items);
    // Selects the item with value, or the first item when none has it.
    void selectValue(int value);
    // The chosen item's value; fallback when nothing is chosen.
    int value(int fallback = 0) const;
};
