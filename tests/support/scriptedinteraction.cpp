// SPDX-License-Identifier: GPL-3.0-or-later
#include "scriptedinteraction.h"

void CScriptedInteraction::message(const std::wstring& text, const std::wstring& caption, MsgIcon icon)
{
    m_shown.push_back({ text, caption, icon, false });
}

bool CScriptedInteraction::question(
    const std::wstring& text, const std::wstring& caption, MsgIcon icon, bool defaultYes)
{
    m_shown.push_back({ text, caption, icon, true, defaultYes });
    if (m_answers.empty()) {
        ++m_unexpectedQuestions;
        return false;
    }
    bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

std::string CScriptedInteraction::chooseFile(
    bool save, const std::wstring& title, const std::wstring&, const std::string&, const std::string& defaultName)
{
    m_fileRequests.push_back(save);
    m_fileTitles.push_back(title);
    m_fileDefaults.push_back(defaultName);
    if (m_files.empty())
        return {};
    std::string path = m_files.front();
    m_files.pop_front();
    return path;
}

void CScriptedInteraction::beginWaitCursor()
{
    ++m_waitDepth;
    ++m_waitBegun;
}

void CScriptedInteraction::endWaitCursor()
{
    --m_waitDepth;
}

void CScriptedInteraction::pump()
{
    ++m_pumps;
    if (onPump)
        onPump();
}

void CScriptedInteraction::sleep(unsigned milliseconds)
{
    m_clockMs += milliseconds;
    ++m_sleeps;
    if (onSleep)
        onSleep(milliseconds);
}

std::vector<std::wstring> CScriptedInteraction::texts() const
{
    std::vector<std::wstring> out;
    for (const auto& s : m_shown)
        out.push_back(s.text);
    return out;
}
