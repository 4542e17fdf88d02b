// SPDX-License-Identifier: GPL-3.0-or-later
// The user-interaction seam for tests: records every message and question with
// its caption and icon, answers questions from a queue, hands out file paths
// from a queue, counts pumps and wait cursors, and lets sleep advance a fake
// clock instead of sleeping. Install it for a scope with CInteractionScope.
// Meant for one test thread at a time.
#pragma once

#include <app/platform/userinteraction.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class CScriptedInteraction : public IUserInteraction {
public:
    struct Shown {
        std::wstring text;
        std::wstring caption;
        MsgIcon icon = MsgIcon::None;
        bool question = false;
        bool defaultYes = false; // of a question: which button had the focus
    };

    void message(const std::wstring& text, const std::wstring& caption, MsgIcon icon) override;
    // Answers from answers(); with the queue empty it counts an unexpected
    // question and answers No.
    bool question(const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes) override;
    // The next queued path, or "" (cancelled) when none is queued.
    std::string chooseFile(bool save, const std::wstring& title, const std::wstring& filter, const std::string& folder,
                           const std::string& defaultName) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void pump() override;
    // Adds milliseconds to the fake clock, then calls onSleep when set.
    void sleep(unsigned milliseconds) override;

    void queueAnswer(bool yes) { m_answers.push_back(yes); }
    void queueFile(const std::string& path) { m_files.push_back(path); }

    const std::vector<Shown>& shown() const { return m_shown; }
    // The texts alone, in order, questions included.
    std::vector<std::wstring> texts() const;
    void clearShown() { m_shown.clear(); }

    uint64_t clockMs() const { return m_clockMs; }
    unsigned sleeps() const { return m_sleeps; }
    unsigned pumps() const { return m_pumps; }
    unsigned unexpectedQuestions() const { return m_unexpectedQuestions; }
    int waitCursorDepth() const { return m_waitDepth; }
    unsigned waitCursorsBegun() const { return m_waitBegun; }
    // Save flags of the chooseFile calls, in order.
    const std::vector<bool>& fileRequests() const { return m_fileRequests; }
    // Titles of the chooseFile calls, in order.
    const std::vector<std::wstring>& fileTitles() const { return m_fileTitles; }
    // The name each file dialog offered.
    const std::vector<std::string>& fileDefaults() const { return m_fileDefaults; }

    // Called after each sleep with the fake clock already advanced, and on each pump.
    std::function<void(unsigned)> onSleep;
    std::function<void()> onPump;

private:
    std::vector<Shown> m_shown;
    std::deque<bool> m_answers;
    std::deque<std::string> m_files;
    std::vector<bool> m_fileRequests;
    std::vector<std::wstring> m_fileTitles;
    std::vector<std::string> m_fileDefaults;
    uint64_t m_clockMs = 0;
    unsigned m_sleeps = 0;
    unsigned m_pumps = 0;
    unsigned m_unexpectedQuestions = 0;
    unsigned m_waitBegun = 0;
    int m_waitDepth = 0;
};
