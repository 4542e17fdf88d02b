// SPDX-License-Identifier: GPL-3.0-or-later
// The one path from the core to the person at the keyboard: messages, Yes/No
// questions, file choices, the wait cursor, the message pump and sleeping.
// The program installs a Qt implementation, the CLI a terminal one, tests a
// scripted one; the core never shows anything any other way.
#pragma once

#include <string>

enum class MsgIcon { None, Error, Warning, Information, Question };

class IUserInteraction {
public:
    virtual ~IUserInteraction() = default;

    // A message box with only an OK button. owner names the reporting window (may be empty).
    virtual void message(const std::wstring& text, const std::wstring& caption, MsgIcon icon) = 0;
    // A Yes/No question; true is Yes. defaultYes says which button has the focus.
    virtual bool question(const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes) = 0;
    // A file to open (save = false) or to save to, in a dialog with the
    // (translated) title; the filter is a translated "Text (*.ext)" list.
    // Returns the chosen path, or an empty string when cancelled.
    virtual std::string chooseFile(bool save, const std::wstring& title, const std::wstring& filter,
                                   const std::string& folder, const std::string& defaultName) = 0;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // Lets the window system handle pending events during a long operation.
    virtual void pump() = 0;
    virtual void sleep(unsigned milliseconds) = 0;
};

// The installed implementation; a terminal one (stderr, answers No, real sleeps) until another is set.
IUserInteraction& userInteraction();
// Installs ui (not owned) as the program-wide implementation; nullptr restores the terminal one.
void setUserInteraction(IUserInteraction* ui);

// Holds the wait cursor for a scope.
class CWaitCursor {
public:
    CWaitCursor() { userInteraction().beginWaitCursor(); }
    ~CWaitCursor() { userInteraction().endWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Installs an interaction for its lifetime and restores the one installed before.
class CInteractionScope {
public:
    explicit CInteractionScope(IUserInteraction& ui)
        : m_previous(&userInteraction())
    {
        setUserInteraction(&ui);
    }
    ~CInteractionScope() { setUserInteraction(m_previous); }
    CInteractionScope(const CInteractionScope&) = delete;
    CInteractionScope& operator=(const CInteractionScope&) = delete;

private:
    IUserInteraction* m_previous;
};
