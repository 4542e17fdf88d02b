// SPDX-License-Identifier: GPL-3.0-or-later
// The user's documents folder and the program's folders inside it, where
// settings files and diagnostic recordings are kept.
#pragma once

#include <string>

// XDG_DOCUMENTS_DIR from ~/.config/user-dirs.dirs (XDG_CONFIG_HOME respected),
// else $HOME/Documents when it exists, else $HOME.
std::string documentsDirectory();

// documents/KORVANA/<leaf>/, created when missing, with a trailing slash.
// Falls back to the current directory when nothing can be created.
std::string settingsDirectory();
std::string diagDirectory();
