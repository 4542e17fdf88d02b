// Helpers of the GUI tests: find a control by its id, click it, send it keys,
// resize a window and save a screenshot into the build's test-artefacts folder.
// The harness's main() makes the QApplication (offscreen unless told otherwise).
#pragma once

#include <basectrls/ctrlid.h>

#include <QPoint>
#include <QSize>
#include <QString>

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
// Resizes widget and lets every resulting event run.
void resizeTo(QWidget* widget, const QSize& size);
// Shows widget and lets its pending show and resize events run.
void showAndSettle(QWidget* widget);
void settle();
// Saves widget as a PNG file named name into the artefacts folder; returns its path.
QString saveScreenshot(QWidget* widget, const QString& name);
QString artifactsDir();

} // namespace guitest
