// SPDX-License-Identifier: GPL-3.0-or-later
// The view's OBD duties: the OBD setup step once the view exists on a
// connected controller and after every reconnection, and the background poll
// of the OBD readings on the view's refresh while another page is shown.
// Neither runs while another operation holds the device: the setup waits for
// the next refresh, the poll skips its turn.
#pragma once

#include <app/shell/pagecontext.h>

#include <QObject>

class CObdShellSteps : public QObject {
    Q_OBJECT
public:
    explicit CObdShellSteps(const CPageContext& context, QObject* parent = nullptr);

    // The view was created (after the controller search).
    void onViewCreated();
    // The view's refresh; obdPageActive: the OBD page polls on its own.
    void onTimer(bool obdPageActive);

    bool setupPending() const { return m_setupPending; }
    unsigned setupRuns() const { return m_setupRuns; }
    unsigned backgroundPolls() const { return m_backgroundPolls; }

private:
    void runSetup();

    CPageContext m_context;
    bool m_setupPending = false;
    unsigned m_setupRuns = 0;
    unsigned m_backgroundPolls = 0;
};
