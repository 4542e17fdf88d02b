// SPDX-License-Identifier: GPL-3.0-or-later
#include <app/shell/documentationpath.h>

#include <system_error>

const char* documentationLanguageFolder(int languageIndex)
{
    // Index 10 shows the texts as written, as index 0 does: both are Polish.
    return languageIndex == 0 || languageIndex == 10 ? "pl" : "en";
}

std::filesystem::path documentationPath(const std::filesystem::path& docDir, int languageIndex,
                                        const std::string& chapter)
{
    std::error_code error;
    if (!std::filesystem::is_directory(docDir, error))
        return {};
    // Only a plain file name: nothing from outside the manual's folder.
    if (!chapter.empty() && chapter.find('/') == std::string::npos && chapter.find("..") == std::string::npos) {
        const auto page = docDir / documentationLanguageFolder(languageIndex) / chapter;
        if (std::filesystem::is_regular_file(page, error))
            return page;
    }
    for (const auto& candidate :
         { docDir / documentationLanguageFolder(languageIndex) / "index.html", docDir / "index.html" }) {
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return docDir;
}
