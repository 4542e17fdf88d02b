// SPDX-License-Identifier: GPL-3.0-or-later
// The profile's values in an INI file (POSIX systems).
#include <app/platform/profilestore.h>

#include <app/platform/filereplace.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool hasLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string CProfileStore::filePath()
{
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        return {};
    return base + "/KORVANA/profile.ini";
}

CProfileStore::Sections CProfileStore::load(const std::string& file)
{
    Sections sections;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        // A value before any section has no key to belong to.
        if (!section.empty())
            sections[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return sections;
}

bool CProfileStore::save(const std::string& file, const Sections& sections)
{
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    std::string text;
    for (const auto& [section, values] : sections) {
        text += '[' + section + "]\n";
        for (const auto& [name, value] : values)
            text += name + '=' + value + '\n';
        text += '\n';
    }
    // As every whole file: a profile kept as a link (in a folder of dotfiles) stays one.
    return replaceFile(file, text) == FileReplaceResult::Saved;
}

std::optional<std::string> CProfileStore::readString(const std::string& key, const std::string& value) const
{
    std::lock_guard lock(m_mutex);
    const std::string file = filePath();
    if (file.empty())
        return std::nullopt;
    const Sections sections = load(file);
    const auto s = sections.find(key);
    if (s == sections.end())
        return std::nullopt;
    const auto v = s->second.find(value);
    if (v == s->second.end())
        return std::nullopt;
    return v->second;
}

bool CProfileStore::writeString(const std::string& key, const std::string& value, const std::string& text)
{
    if (hasLineBreak(key) || hasLineBreak(value) || hasLineBreak(text) || key.find(']') != std::string::npos
        || value.find('=') != std::string::npos || trim(text) != text)
        return false;
    std::lock_guard lock(m_mutex);
    const std::string file = filePath();
    if (file.empty())
        return false;
    Sections sections = load(file);
    // The same value again is not a change: the file is not rewritten, as each rewrite waits for the disk.
    if (const auto s = sections.find(key); s != sections.end())
        if (const auto v = s->second.find(value); v != s->second.end() && v->second == text)
            return true;
    sections[key][value] = text;
    return save(file, sections);
}
