// SPDX-License-Identifier: GPL-3.0-or-later
// A vertical bar filled from the bottom to a level of 0 … 1 in its colour
// (the injection-time bars of the readings page). Repaints only when the
// level moves by at least one pixel.
#pragma once

#include <QColor>
#include <QWidget>

class CLevelBar : public QWidget {
    Q_OBJECT
public:
    explicit CLevelBar(QWidget* parent = nullptr);

    void setColour(const QColor& colour);
    // Held within 0 … 1.
    void setLevel(double level);
    double level() const { return m_level; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int filledHeight(double level) const;

    QColor m_colour = Qt::darkGreen;
    double m_level = 0.0;
};
