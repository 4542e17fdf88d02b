// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/device/putbacklist.h>

#include <algorithm>

namespace {

std::string shellWord(const std::string& word)
{
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || std::string("_-./:=+,@%").find(c) != std::string::npos;
    });
    if (plain)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

void CPutBackList::note(SItem item)
{
    for (auto& existing : m_items) {
        if (existing.key == item.key) {
            existing = std::move(item);
            return;
        }
    }
    m_items.push_back(std::move(item));
}

void CPutBackList::drop(const std::string& key)
{
    std::erase_if(m_items, [&key](const SItem& item) { return item.key == key; });
}

bool CPutBackList::has(const std::string& key) const
{
    return std::any_of(m_items.begin(), m_items.end(), [&key](const SItem& item) { return item.key == key; });
}

bool CPutBackList::putBack()
{
    while (!m_items.empty()) {
        // Copies: the step may note or drop items itself.
        const std::string key = m_items.front().key;
        const std::function<bool()> step = m_items.front().putBack;
        if (!step || !step())
            return false;
        drop(key);
    }
    return true;
}

std::wstring CPutBackList::describe() const
{
    std::wstring text;
    for (const auto& item : m_items) {
        if (!text.empty())
            text += L"\n";
        text += item.description;
    }
    return text;
}

std::vector<std::string> CPutBackList::commands(const std::vector<std::string>& globalOptions) const
{
    std::string prefix = "korvana-cli";
    for (const auto& option : globalOptions)
        prefix += " " + shellWord(option);
    std::vector<std::string> out;
    for (const auto& item : m_items)
        out.push_back(prefix + " " + item.command);
    return out;
}
