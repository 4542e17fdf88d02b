// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/consoleinteraction.h>
#include <app/platform/textcodec.h>

#include <chrono>
#include <cstdio>
#include <thread>

void CConsoleInteraction::message(const std::wstring& text, const std::wstring& caption, MsgIcon)
{
    std::fprintf(stderr, "%s: %s\n", toUtf8(caption).c_str(), toUtf8(text).c_str());
}

bool CConsoleInteraction::question(const std::wstring& text, const std::wstring& caption, MsgIcon, bool)
{
    std::fprintf(stderr, "%s: %s [%s]\n", toUtf8(caption).c_str(), toUtf8(text).c_str(), m_answerYes ? "yes" : "no");
    return m_answerYes;
}

std::string CConsoleInteraction::chooseFile(
    bool, const std::wstring&, const std::wstring&, const std::string&, const std::string&)
{
    return m_file;
}

void CConsoleInteraction::sleep(unsigned milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {
CConsoleInteraction g_console;
IUserInteraction* g_ui = nullptr;
} // namespace

IUserInteraction& userInteraction()
{
    return g_ui ? *g_ui : g_console;
}

void setUserInteraction(IUserInteraction* ui)
{
    g_ui = ui;
}
