// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/documentsdir.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <app/platform/profilestore.h>
#include <app/platform/win32.h>

#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32
std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Reads the one line XDG_DOCUMENTS_DIR="$HOME/…" of user-dirs.dirs.
std::string xdgDocuments(const std::string& home)
{
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty())
        config = home + "/.config";
    std::ifstream in(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        // A documents folder equal to home itself means "not configured".
        if (value.empty() || value.front() != '/' || fs::path(value) == fs::path(home))
            return {};
        return value;
    }
    return {};
}

#endif

std::string programFolder(const char* leaf)
{
    std::error_code ec;
    const fs::path dir = fs::path(documentsDirectory()) / "KORVANA" / leaf;
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        return "./";
    std::string s = dir.string();
#ifdef _WIN32
    if (s.back() != '\\')
        s += '\\';
#else
    if (s.back() != '/')
        s += '/';
#endif
    return s;
}

} // namespace

#ifdef _WIN32
// The shell folder "Personal" of the current user; without it, Program Files
// on the Windows drive.
std::string documentsDirectory()
{
    const auto personal = profileStore().readString(
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal");
    if (personal && !personal->empty())
        return *personal;
    wchar_t windows[MAX_PATH] = {};
    const UINT n = ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::string drive = n >= 2 && windows[1] == L':' ? narrow(std::wstring(windows, 2)) : "C:";
    return drive + "\\Program Files";
}
#else
std::string documentsDirectory()
{
    std::string home = env("HOME");
    if (home.empty())
        return ".";
    std::string xdg = xdgDocuments(home);
    if (!xdg.empty())
        return xdg;
    std::error_code ec;
    if (fs::is_directory(home + "/Documents", ec))
        return home + "/Documents";
    return home;
}
#endif

std::string settingsDirectory()
{
    return programFolder("Settings");
}

std::string diagDirectory()
{
    return programFolder("Diag");
}
