// SPDX-License-Identifier: GPL-3.0-or-later
// What owner-drawn controls put on the screen as text, for the window's
// description (--dump-ui): while recording is on, each control notes the text
// it painted, the whole text it stands for and where it went. Off, a note
// costs one test of a flag.
#pragma once

#include <QList>
#include <QRect>
#include <QString>

class QWidget;

namespace paintedtext {

struct SNote {
    const QWidget* owner = nullptr;
    QString text;     // as painted (cut when it did not fit)
    QString fullText; // what it stands for
    QRect rect;       // in the owner's coordinates
};

void setRecording(bool on);
bool recording();
void note(const QWidget* owner, const QString& text, const QString& fullText, const QRect& rect);
inline void note(const QWidget* owner, const QString& text, const QRect& rect)
{
    note(owner, text, text, rect);
}
// Every note since recording was switched on, in painting order.
QList<SNote> notes();
void clear();

} // namespace paintedtext
