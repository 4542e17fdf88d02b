// SPDX-License-Identifier: GPL-3.0-or-later
#include <basectrls/extedit.h>

#include <QPalette>

CExtEdit::CExtEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_text(palette().color(QPalette::Text))
    , m_background(palette().color(QPalette::Base))
{
}

void CExtEdit::setTextColor(const QColor& color)
{
    m_text = color;
    applyColors();
}

void CExtEdit::setBackgroundColor(const QColor& color)
{
    m_background = color;
    applyColors();
}

void CExtEdit::applyColors()
{
    QPalette p = palette();
    p.setColor(QPalette::Text, m_text);
    p.setColor(QPalette::Base, m_background);
    setPalette(p);
}
