// SPDX-License-Identifier: GPL-3.0-or-later
// The clipping check of the layout tests: walks the visible controls of a
// window and compares the room each one gives its text with what the text
// needs in the control's own font (check-box mark, button face, margins and
// word wrap taken into account), and finds sibling controls whose texts lie
// on top of each other. It knows how the program's own painted controls lay
// out their text; a control of another kind is measured through the style.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QWidget;

namespace clipcheck {

struct SFinding {
    QString control; // control id, else object name, else class
    QString kind; // the control's class
    QString text;
    QString problem; // "clipped", "outside its window", "overlaps <control>"
    QSize needed;
    QSize available;

    QString describe() const;
};

// Every finding among root and its visible descendants.
std::vector<SFinding> check(QWidget* root);

// The room a control gives its text and the size the text needs there, in
// the control's coordinates; false for a control without text of its own.
struct STextFit {
    QString text;
    QRect area; // where the text may go
    QSize needed; // what it takes
    QRect ink; // where it is drawn (for the overlap check)
};
bool measure(const QWidget* widget, STextFit& fit);

} // namespace clipcheck
