// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/floatedit.h>

#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <limits>

CFloatEdit::CFloatEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_min(-std::numeric_limits<double>::max())
    , m_max(std::numeric_limits<double>::max())
{
    // Sign, digits and one decimal sign; range checks come when the value is read.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-+]?\\d*([.,]\\d*)?")), this));
}

void CFloatEdit::setRange(double minimum, double maximum)
{
    m_min = minimum;
    m_max = maximum;
}

void CFloatEdit::setDecimals(int decimals)
{
    m_decimals = decimals < 0 ? 0 : decimals;
}

bool CFloatEdit::parse(double& out) const
{
    QString t = text().trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    out = t.toDouble(&ok);
    return ok && out >= m_min && out <= m_max;
}

bool CFloatEdit::hasValue() const
{
    double v = 0.0;
    return parse(v);
}

double CFloatEdit::value(double fallback) const
{
    double v = 0.0;
    return parse(v) ? v : fallback;
}

void CFloatEdit::setValue(double value)
{
    setText(QString::number(value, 'f', m_decimals));
}
