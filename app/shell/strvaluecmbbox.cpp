// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/strvaluecmbbox.h>

#include <QSignalBlocker>

CStrValueCmbBox::CStrValueCmbBox(QWidget* parent)
    : CGDIpGradientComboBox(parent)
{
}

void CStrValueCmbBox::setItems(const std::vector<Item>& items)
{
    const QSignalBlocker quiet(this);
    const bool had = currentIndex() >= 0;
    const int kept = value();
    clear();
    for (const Item& item : items)
        addItem(QString::fromStdWString(item.text), item.value);
    if (had)
        selectValue(kept);
}

void CStrValueCmbBox::selectValue(int value)
{
    const QSignalBlocker quiet(this);
    const int index = findData(value);
    setCurrentIndex(index >= 0 ? index : (count() > 0 ? 0 : -1));
}

int CStrValueCmbBox::value(int fallback) const
{
    const QVariant data = currentData();
    return data.isValid() ? data.toInt() : fallback;
}
