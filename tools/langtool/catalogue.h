// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue of translatable texts of a source tree: the scanner's texts
// plus data/lang/catalogue-rules.txt's includes, minus its excludes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct SCatalogue {
    std::vector<std::wstring> texts; // sorted, unique
    std::vector<std::string> composites; // run-time joined literals the include list must cover
    std::vector<std::string> problems; // rules file lines that could not be read
    std::vector<std::string> unusedRules; // excludes the scanner no longer finds, includes it finds itself
};

// The folders whose sources the program is built from.
const std::vector<std::string>& catalogueSourceDirs();
SCatalogue buildCatalogue(const std::filesystem::path& root);

std::filesystem::path cataloguePath(const std::filesystem::path& root);
std::filesystem::path catalogueRulesPath(const std::filesystem::path& root);

std::string readWholeFile(const std::filesystem::path& path, bool* ok = nullptr);
