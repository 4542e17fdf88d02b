// SPDX-License-Identifier: GPL-3.0-or-later
// A check box drawn with the skin's selected / unselected pictures, its text
// beside the box, and optionally a short stroke in the colour of the chart
// line it shows or hides.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>

#include <string>

class CImageCheckBox : public QAbstractButton {
    Q_OBJECT
public:
    explicit CImageCheckBox(QWidget* parent = nullptr);

    // Pictures of the skins folder for the checked and unchecked box.
    bool loadSkins(const std::wstring& selected, const std::wstring& unselected);
    // A stroke of this colour after the box; invalid (the default) draws none.
    void setSwatch(const QColor& colour);
    QColor swatch() const { return m_swatch; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_selected;
    QImage m_unselected;
    QColor m_swatch;
};
