// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for start-up: a Qt Widgets main window of the size korvana
// opens with (the work area), shown and nothing else. It logs the same mark
// korvana logs, at the same moment, then quits.
#include <QApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    window.show();
    QTimer::singleShot(0, &window, [] {
        std::fputs("gui: first window shown\n", stderr);
        std::fflush(stderr);
        QCoreApplication::quit();
    });
    return QApplication::exec();
}
