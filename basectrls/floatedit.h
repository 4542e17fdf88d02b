// SPDX-License-Identifier: GPL-3.0-or-later
// An edit control for decimal numbers with a fixed count of decimals. Both the
// dot and the comma are taken as the decimal sign, since Polish keyboards give a comma.
#pragma once

#include <QLineEdit>

class CFloatEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CFloatEdit(QWidget* parent = nullptr);

    void setRange(double minimum, double maximum);
    void setDecimals(int decimals);
    int decimals() const { return m_decimals; }
    // The value shown, or fallback when the text is not a number in range.
    double value(double fallback = 0.0) const;
    bool hasValue() const;
    // Shows the value with the set count of decimals and a dot.
    void setValue(double value);

private:
    bool parse(double& out) const;

    double m_min;
    double m_max;
    int m_decimals = 2;
};
