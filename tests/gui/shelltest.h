// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the program's GUI tests: answering the next modal dialog, an
// English language file for a scope, and the whole program (document, frame,
// view) built in the test's own process with the scripted user interaction.
#pragma once

#include <app/shell/appoptions.h>
#include <app/shell/korvanaapp.h>

#include <scriptedinteraction.h>
#include <syncmsg/multithread.h>

#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace shelltest {

// Lets events (timers included) run for ms milliseconds.
void waitMs(int ms);

// Runs action on the modal widget that the next exec() opens (null when none).
void onNextModal(const std::function<void(QWidget*)>& action);

// Slot 0 (English) holds the given Polish / English pairs and is current while the scope lives.
class EnglishScope {
public:
    explicit EnglishScope(const QList<QPair<QString, QString>>& pairs);
    ~EnglishScope();
    EnglishScope(const EnglishScope&) = delete;
    EnglishScope& operator=(const EnglishScope&) = delete;
};

// The program in this process. Messages and questions go to ui; the
// no-connection dialog, when it comes, is answered by answer (demo = true),
// and the number of times it came is counted.
class CShellRun {
public:
    explicit CShellRun(SAppOptions options = {}, bool answerDemo = false);
    ~CShellRun();

    bool start();
    CkorvanaApp& app() { return *m_app; }
    CScriptedInteraction ui;
    int noConnectionDialogs = 0;
    bool answerDemo;
    // Leave the real no-connection dialog in place (the test answers it itself).
    bool realDialog = false;

private:
    // Polling threads start here, not in the program's manager (whose end would end the test process).
    CMultiThread m_threads;
    std::unique_ptr<CInteractionScope> m_scope;
    std::unique_ptr<CkorvanaApp> m_app;
};

} // namespace shelltest
