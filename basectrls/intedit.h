// SPDX-License-Identifier: GPL-3.0-or-later
// An edit control for whole numbers in a range; anything else cannot be typed.
#pragma once

#include <QLineEdit>

class QIntValidator;

class CIntEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CIntEdit(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const;
    int maximum() const;
    // The value shown, or fallback when the text is not a number in range.
    int value(int fallback = 0) const;
    bool hasValue() const;
    void setValue(int value);

private:
    QIntValidator* m_validator;
};
