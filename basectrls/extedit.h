// SPDX-License-Identifier: GPL-3.0-or-later
// An edit control whose text and background colours can be set, used where a
// value must stand out (an edited cell, a value out of range).
#pragma once

#include <QColor>
#include <QLineEdit>

class CExtEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CExtEdit(QWidget* parent = nullptr);

    void setTextColor(const QColor& color);
    void setBackgroundColor(const QColor& color);
    QColor textColor() const { return m_text; }
    QColor backgroundColor() const { return m_background; }

private:
    void applyColors();

    QColor m_text;
    QColor m_background;
};
