// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds its data folders (Skins/, KOR_LANG/, KORVANA PRESET/,
// KORVANA Firmware/, Doc/).
#pragma once

#include <filesystem>

// The directory that holds the data folders: KORVANA_RUNTIME_DIR when that is
// set (tests point it at the build tree), otherwise dataDirFor(executableDir()).
std::filesystem::path programDir();

// The directory of the running program (/proc/self/exe, symlinks resolved).
std::filesystem::path executableDir();

// The data folders of a program in exeDir: exeDir itself when they lie beside
// it (the build tree, an unpacked portable copy), else <exeDir>/../share/korvana
// (an installed program), else exeDir again, so that what is missing is
// looked for and reported beside the program.
std::filesystem::path dataDirFor(const std::filesystem::path& exeDir);
