// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/platform/dirlist.h>

#include <dirent.h>

std::vector<std::string> listDir(const std::string& dir)
{
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return names;
    while (const dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(d);
    return names;
}
