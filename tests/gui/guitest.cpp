// SPDX-License-Identifier: GPL-3.0-or-later
#include "guitest.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace guitest {

QWidget* findById(const QWidget* root, int id)
{
    return findCtrl(root, id);
}

namespace {

void mouseClick(QWidget* widget, QPoint pos, Qt::MouseButton button)
{
    if (!widget)
        return;
    if (pos == QPoint(-1, -1))
        pos = widget->rect().center();
    const QPointF local(pos);
    const QPointF global(widget->mapToGlobal(pos));
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    settle();
}

} // namespace

void click(QWidget* widget, QPoint pos)
{
    mouseClick(widget, pos, Qt::LeftButton);
}

void rightClick(QWidget* widget, QPoint pos)
{
    mouseClick(widget, pos, Qt::RightButton);
}

void pressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers)
{
    if (!widget)
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
    settle();
}

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        QWidget* target = QApplication::focusWidget();
        if (!target || !(target == widget || widget->isAncestorOf(target)))
            target = widget;
        int key = ch.unicode();
        if (ch.isDigit())
            key = Qt::Key_0 + ch.digitValue();
        else if (ch == QLatin1Char('-'))
            key = Qt::Key_Minus;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &release);
        settle();
    }
}

void resizeTo(QWidget* widget, const QSize& size)
{
    if (!widget)
        return;
    widget->resize(size);
    settle();
}

void showAndSettle(QWidget* widget)
{
    if (!widget)
        return;
    widget->show();
    settle();
}

void settle()
{
    QApplication::sendPostedEvents();
    QApplication::processEvents();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline)
{
    return testwait::waitFor(done, deadline, [] {
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    });
}

QString artifactsDir()
{
    return QStringLiteral(KORVANA_ARTIFACTS_DIR);
}

QString saveScreenshot(QWidget* widget, const QString& name)
{
    if (!widget)
        return {};
    QDir().mkpath(artifactsDir());
    const QString path = QDir(artifactsDir()).filePath(name + QStringLiteral(".png"));
    settle();
    return widget->grab().save(path, "PNG") ? path : QString();
}

} // namespace guitest
