// SPDX-License-Identifier: GPL-3.0-or-later
#include <gradctrls/dialogs/paintedtext.h>

namespace paintedtext {

namespace {

// Painting happens on the GUI thread only.
bool g_recording = false;
QList<SNote>& store()
{
    static QList<SNote> notes;
    return notes;
}

} // namespace

void setRecording(bool on)
{
    g_recording = on;
}

bool recording()
{
    return g_recording;
}

void note(const QWidget* owner, const QString& text, const QString& fullText, const QRect& rect)
{
    if (g_recording)
        store().push_back({ owner, text, fullText, rect });
}

QList<SNote> notes()
{
    return store();
}

void clear()
{
    store().clear();
}

} // namespace paintedtext
