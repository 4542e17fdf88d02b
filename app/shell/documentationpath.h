// SPDX-License-Identifier: GPL-3.0-or-later
// Which file of the manual the "Dokumentacja" menu item opens: the index page
// of the current language's manual when there is one (Polish → pl/, English
// and every other language → en/), else the page that links both manuals,
// else the Doc folder itself. Qt-free so the choice is testable alone.
#pragma once

#include <filesystem>
#include <string>

// The folder of the manual for languageIndex ("pl" or "en").
const char* documentationLanguageFolder(int languageIndex);

// The file or folder to open inside docDir, or an empty path when docDir is
// not a folder. chapter (a file name of the manual) is taken when the
// language's manual has it; otherwise its index page.
std::filesystem::path documentationPath(const std::filesystem::path& docDir, int languageIndex,
                                        const std::string& chapter = {});
