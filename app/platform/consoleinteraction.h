// SPDX-License-Identifier: GPL-3.0-or-later
// Terminal implementation of the user-interaction seam: messages on stderr,
// questions answered by a fixed choice (the CLI's --yes), files passed in advance.
#pragma once

#include <app/platform/userinteraction.h>

#include <string>

class CConsoleInteraction : public IUserInteraction {
public:
    explicit CConsoleInteraction(bool answerYes = false)
        : m_answerYes(answerYes)
    {
    }
    void setAnswerYes(bool yes) { m_answerYes = yes; }
    // The path the next chooseFile returns.
    void setFile(const std::string& path) { m_file = path; }

    void message(const std::wstring& text, const std::wstring& caption, MsgIcon icon) override;
    bool question(const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes) override;
    std::string chooseFile(bool save, const std::wstring& title, const std::wstring& filter,
                           const std::string& folder, const std::string& defaultName) override;
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void pump() override {}
    void sleep(unsigned milliseconds) override;

private:
    bool m_answerYes;
    std::string m_file;
};
