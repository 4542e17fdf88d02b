// SPDX-License-Identifier: GPL-3.0-or-later
// The program's side of the user-interaction seam: Qt message boxes owned by
// the reporting window, Yes/No questions with the right default button, file
// dialogs, the wait cursor, the message pump and a sleep that keeps the
// window alive. Calls from other threads (the polling thread reports a lost
// link) are handed to the GUI thread: messages without waiting, questions and
// file choices waiting for the answer.
#pragma once

#include <app/platform/userinteraction.h>

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

class QMessageBox;

class CQtInteraction : public IUserInteraction {
public:
    CQtInteraction() = default;

    void message(const std::wstring& text, const std::wstring& caption, MsgIcon icon) override;
    bool question(const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes) override;
    std::string chooseFile(bool save, const std::wstring& title, const std::wstring& filter, const std::string& folder,
        const std::string& defaultName) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void pump() override;
    void sleep(unsigned milliseconds) override;

    // The window that owns messages when no other is named: the main frame.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    // The owner of the next box: the innermost COwnerScope, else the active
    // modal dialog, the active window or the main window.
    QWidget* owner() const;

    // A "Text (*.ext)|*.ext|…" filter in the form Qt's file dialogs take ("Text (*.ext);;…").
    static QString qtFilter(const std::wstring& filter);
    // The first extension of such a filter ("settings" for "…|*.settings|"); empty when none.
    static QString defaultSuffix(const std::wstring& filter);

    // The box message() or question() would show, not yet run (tests inspect it).
    QMessageBox* buildBox(
        const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool question, bool defaultYes) const;

private:
    friend class COwnerScope;
    static bool onGuiThread();

    QPointer<QWidget> m_mainWindow;
    std::vector<QPointer<QWidget>> m_owners;
    int m_waitDepth = 0;
};

// Names the window that owns the boxes shown while the scope lives (a button
// whose handler reports a failure). Without the Qt interaction installed it does nothing.
class COwnerScope {
public:
    explicit COwnerScope(QWidget* owner);
    ~COwnerScope();
    COwnerScope(const COwnerScope&) = delete;
    COwnerScope& operator=(const COwnerScope&) = delete;

private:
    CQtInteraction* m_ui;
};
