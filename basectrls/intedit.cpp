// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/intedit.h>

#include <QIntValidator>

#include <limits>

CIntEdit::CIntEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_validator(new QIntValidator(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), this))
{
    setValidator(m_validator);
}

void CIntEdit::setRange(int minimum, int maximum)
{
    m_validator->setRange(minimum, maximum);
}

int CIntEdit::minimum() const
{
    return m_validator->bottom();
}

int CIntEdit::maximum() const
{
    return m_validator->top();
}

bool CIntEdit::hasValue() const
{
    bool ok = false;
    const int v = text().trimmed().toInt(&ok);
    return ok && v >= minimum() && v <= maximum();
}

int CIntEdit::value(int fallback) const
{
    return hasValue() ? text().trimmed().toInt() : fallback;
}

void CIntEdit::setValue(int value)
{
    setText(QString::number(value));
}
