// SPDX-License-Identifier: GPL-3.0-or-later
// The program's QApplication: an exception that leaves a slot or an event
// handler is logged and shown here, at the event loop, instead of ending the
// program (Qt does not carry exceptions through its event loop).
#pragma once

#include <QApplication>

class CGuardedApplication : public QApplication {
public:
    CGuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void report(const std::string& what);

    bool m_reporting = false;
};
