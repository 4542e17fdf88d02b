// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue.h"

#include "langtable.h"
#include "textscanner.h"

#include <algorithm>
#include <fstream>
#include <sstream>

const std::vector<std::string>& catalogueSourceDirs()
{
    static const std::vector<std::string> dirs { "app", "basectrls", "gradctrls", "errkit", "syncmsg", "imagekit" };
    return dirs;
}

std::filesystem::path cataloguePath(const std::filesystem::path& root)
{
    return root / "data" / "lang" / "catalogue.txt";
}

std::filesystem::path catalogueRulesPath(const std::filesystem::path& root)
{
    return root / "data" / "lang" / "catalogue-rules.txt";
}

std::string readWholeFile(const std::filesystem::path& path, bool* ok)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    if (ok)
        *ok = file.is_open();
    return content.str();
}

SCatalogue buildCatalogue(const std::filesystem::path& root)
{
    CTextScanner scanner;
    std::vector<std::filesystem::path> files;
    for (const std::string& dir : catalogueSourceDirs()) {
        std::error_code error;
        for (auto it = std::filesystem::recursive_directory_iterator(root / dir, error);
             !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
            const auto ext = it->path().extension();
            if (it->is_regular_file() && (ext == ".cpp" || ext == ".h"))
                files.push_back(it->path());
        }
    }
    // The same order on every machine: the location lists depend on it.
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        scanner.addFile(std::filesystem::relative(file, root).generic_string(), readWholeFile(file));
    SScanResult scan = scanner.scan();

    SCatalogue catalogue;
    catalogue.composites = std::move(scan.composites);
    const SCatalogueRules rules = parseCatalogueRules(readWholeFile(catalogueRulesPath(root)));
    catalogue.problems = rules.problems;
    for (const auto& [text, where] : scan.texts) {
        if (rules.exclude.contains(text))
            continue;
        catalogue.texts.push_back(text);
    }
    for (const auto& [text, reason] : rules.include) {
        if (scan.texts.contains(text))
            catalogue.unusedRules.push_back(
                "include \"" + wideToUtf8(escapeText(text)) + "\": found in the sources anyway");
        catalogue.texts.push_back(text);
    }
    for (const auto& [text, reason] : rules.exclude)
        if (!scan.texts.contains(text))
            catalogue.unusedRules.push_back(
                "exclude \"" + wideToUtf8(escapeText(text)) + "\": no longer in the sources");
    sortTexts(catalogue.texts);
    return catalogue;
}
