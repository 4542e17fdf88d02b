// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/sortheaderctrl.h>

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSortIndicatorShown(false);
}

CSortHeaderCtrl::~CSortHeaderCtrl() = default;

void CSortHeaderCtrl::SetSortArrow(int column, bool ascending)
{
    m_column = column < 0 ? -1 : column;
    m_ascending = ascending;
    setSortIndicatorShown(m_column >= 0);
    setSortIndicator(m_column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}
