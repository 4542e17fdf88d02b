// SPDX-License-Identifier: GPL-3.0-or-later
// A list header that shows which column the list is sorted by, and in which direction.
#pragma once

#include <QHeaderView>

class CSortHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CSortHeaderCtrl(QWidget* parent = nullptr);
    ~CSortHeaderCtrl() override;

    // Draws the arrow on column (a negative column clears it).
    void SetSortArrow(int column, bool ascending);
    int sortColumn() const { return m_column; }
    bool sortAscending() const { return m_ascending; }

private:
    int m_column = -1;
    bool m_ascending = true;
};
