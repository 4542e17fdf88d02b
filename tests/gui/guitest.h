// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the GUI tests: find a control by its id, click it, send it keys,
// resize a window and save a screenshot into the build's test-artefacts folder.
// The harness's main() makes the QApplication (offscreen unless told otherwise).
#pragma once

#include <basectrls/ctrlid.h>

#include "../support/waitfor.h"

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

namespace guitest {

// The first control with the id below root, or null.
QWidget* findById(const QWidget* root, int id);
template <class T>
T* findById(const QWidget* root, int id)
{
    return qobject_cast<T*>(findById(root, id));
}

// A full left click (press and release) at pos, the widget's centre by default.
void click(QWidget* widget, QPoint pos = QPoint(-1, -1));
void rightClick(QWidget* widget, QPoint pos = QPoint(-1, -1));
// A key press and release sent to widget as if it had the focus; the events
// pass through the application's event filters like real ones.
void pressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Types text one key at a time into the widget that has the focus inside widget's window (or widget).
void typeText(QWidget* widget, const QString& text);
// Resizes widget and lets every resulting event run.
void resizeTo(QWidget* widget, const QSize& size);
// Shows widget and lets its pending show and resize events run.
void showAndSettle(QWidget* widget);
void settle();
// Saves widget as a PNG file named name into the artefacts folder; returns its path.
QString saveScreenshot(QWidget* widget, const QString& name);
QString artifactsDir();

// waitFor with the event loop running between looks (a few milliseconds at a
// time), so timers, queued signals and posted events go on while it waits.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline = testwait::kWaitDeadline);
// Waits until sender emits signal (counting from now), the event loop running.
template <class Sender, class Signal>
bool waitForSignal(const Sender* sender, Signal signal, std::chrono::milliseconds deadline = testwait::kWaitDeadline)
{
    bool fired = false;
    const QMetaObject::Connection connection = QObject::connect(sender, signal, [&fired] { fired = true; });
    const bool result = waitFor([&fired] { return fired; }, deadline);
    QObject::disconnect(connection);
    return result;
}

} // namespace guitest
