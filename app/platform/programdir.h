// The directory that holds the program and the data folders beside it
// (KOR_LANG/, Skins/ …): the directory of /proc/self/exe, or the value of
// KORVANA_RUNTIME_DIR when that is set (tests run from the build tree).
#pragma once

#include <filesystem>

std::filesystem::path programDir();
