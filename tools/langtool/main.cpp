// SPDX-License-Identifier: GPL-3.0-or-later
// korvana-langtool: the catalogue of translatable texts and the language files.
//
//   korvana-langtool catalogue [--root DIR] [--where]   write data/lang/catalogue.txt and list the
//                                                       run-time joined texts; --where: print each
//                                                       text with where it was found instead
//   korvana-langtool update [--root DIR]                rewrite data/lang/catalogue.txt quietly
//   korvana-langtool verify [--root DIR]                fail when catalogue.txt is out of date
//   korvana-langtool check [--root DIR] [--missing OUT] [TABLE.tsv …]
//                                                       compare the tables with the catalogue
//   korvana-langtool build IN.tsv OUT.txt [--catalogue FILE]
//                                                       write one language file
#include "catalogue.h"
#include "cpptokens.h"
#include "langtable.h"
#include "textscanner.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

namespace {

const char* const kTables[] = { "ENGLISH", "RUSSIAN", "ITALIAN", "GERMAN", "THAI", "TURKISH", "SPAIN", "FRENCH",
    "GREEK", "SERBIAN", "CROATIAN", "BOSNIAN", "BULGARIAN", "SLOVENIAN" };

int usage()
{
    std::cerr << "usage: korvana-langtool catalogue|update|verify [--root DIR]\n"
                 "       korvana-langtool check [--root DIR] [--missing OUT] [TABLE.tsv ...]\n"
                 "       korvana-langtool build IN.tsv OUT.txt [--catalogue FILE]\n";
    return 2;
}

std::string escaped(const std::wstring& text)
{
    return wideToUtf8(escapeText(text));
}

bool writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    // Written beside and renamed, so a failed write never leaves half a file.
    const std::filesystem::path tmp = path.string() + ".tmp";
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file.good()) {
            std::cerr << "korvana-langtool: cannot write " << tmp.string() << "\n";
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(tmp, path, error);
    if (error) {
        std::cerr << "korvana-langtool: cannot write " << path.string() << ": " << error.message() << "\n";
        return false;
    }
    return true;
}

int cmdUpdate(const std::filesystem::path& root);

SCatalogue catalogueOf(const std::filesystem::path& root)
{
    SCatalogue catalogue = buildCatalogue(root);
    for (const std::string& p : catalogue.problems)
        std::cerr << catalogueRulesPath(root).string() << ": " << p << "\n";
    return catalogue;
}

int cmdCatalogue(const std::filesystem::path& root, bool where)
{
    if (where) {
        CTextScanner scanner;
        for (const std::string& dir : catalogueSourceDirs())
            for (const auto& e : std::filesystem::recursive_directory_iterator(root / dir))
                if (e.is_regular_file() && (e.path().extension() == ".cpp" || e.path().extension() == ".h"))
                    scanner.addFile(
                        std::filesystem::relative(e.path(), root).generic_string(), readWholeFile(e.path()));
        const SScanResult scan = scanner.scan();
        for (const auto& [text, at] : scan.texts)
            std::cout << escaped(text) << "\t" << at.front() << "\n";
        for (const std::string& c : scan.composites)
            std::cerr << "composite: " << c << "\n";
        return 0;
    }
    const SCatalogue catalogue = catalogueOf(root);
    for (const std::string& c : catalogue.composites)
        std::cerr << "joined at run time (list what it makes in " << catalogueRulesPath(root).string() << "): " << c
                  << "\n";
    return cmdUpdate(root);
}

int cmdUpdate(const std::filesystem::path& root)
{
    const SCatalogue catalogue = catalogueOf(root);
    if (!catalogue.problems.empty())
        return 1;
    for (const std::string& u : catalogue.unusedRules)
        std::cerr << "warning: " << catalogueRulesPath(root).string() << ": " << u << "\n";
    if (!writeFile(cataloguePath(root), catalogueText(catalogue.texts)))
        return 1;
    std::cout << catalogue.texts.size() << " texts in " << cataloguePath(root).string() << "\n";
    return 0;
}

int cmdVerify(const std::filesystem::path& root)
{
    const SCatalogue catalogue = catalogueOf(root);
    bool ok = false;
    const auto stored = parseCatalogue(readWholeFile(cataloguePath(root), &ok));
    if (!ok) {
        std::cerr << "cannot read " << cataloguePath(root).string() << "\n";
        return 1;
    }
    const std::set<std::wstring> now(catalogue.texts.begin(), catalogue.texts.end());
    const std::set<std::wstring> was(stored.begin(), stored.end());
    int differences = 0;
    for (const auto& text : now)
        if (!was.contains(text)) {
            std::cerr << "added:   " << escaped(text) << "\n";
            ++differences;
        }
    for (const auto& text : was)
        if (!now.contains(text)) {
            std::cerr << "removed: " << escaped(text) << "\n";
            ++differences;
        }
    for (const std::string& u : catalogue.unusedRules) {
        std::cerr << "stale rule: " << u << "\n";
        ++differences;
    }
    if (differences || !catalogue.problems.empty()) {
        std::cerr << cataloguePath(root).string() << " is out of date with the sources; run\n"
                  << "  korvana-langtool update --root " << root.string() << "\n"
                  << "(texts the scanner cannot see go to " << catalogueRulesPath(root).string() << ")\n";
        return 1;
    }
    std::cout << catalogue.texts.size() << " texts, up to date\n";
    return 0;
}

int cmdCheck(const std::filesystem::path& root, const std::vector<std::string>& given, const std::string& missingOut)
{
    bool ok = false;
    const auto catalogue = parseCatalogue(readWholeFile(cataloguePath(root), &ok));
    if (!ok) {
        std::cerr << "cannot read " << cataloguePath(root).string() << "\n";
        return 1;
    }
    std::vector<std::string> tables = given;
    if (tables.empty())
        for (const char* name : kTables)
            tables.push_back((root / "data" / "lang" / (std::string(name) + ".tsv")).string());
    const std::set<std::wstring> known(catalogue.begin(), catalogue.end());
    std::set<std::wstring> missingAll;
    int failures = 0;
    for (const std::string& path : tables) {
        bool read = false;
        const SLangTable table = parseLangTable(readWholeFile(path, &read));
        if (!read) {
            std::cerr << path << ": missing\n";
            ++failures;
            missingAll.insert(catalogue.begin(), catalogue.end());
            continue;
        }
        for (const STableProblem& p : table.problems)
            std::cerr << path << ":" << p.line << ": " << (p.fatal ? "error: " : "warning: ") << p.text << "\n";
        std::set<std::wstring> have;
        for (const STableEntry& e : table.entries) {
            have.insert(e.key);
            if (!known.contains(e.key))
                std::cerr << path << ":" << e.line << ": warning: not in the catalogue: " << escaped(e.key) << "\n";
        }
        int missing = 0;
        for (const auto& text : catalogue)
            if (!have.contains(text)) {
                ++missing;
                missingAll.insert(text);
                std::cerr << path << ": missing: " << escaped(text) << "\n";
            }
        std::cout << path << ": " << table.entries.size() << " entries, " << missing << " catalogue texts missing\n";
        for (const STableProblem& p : table.problems)
            failures += p.fatal;
        failures += missing > 0;
    }
    if (!missingOut.empty()) {
        std::vector<std::wstring> list(missingAll.begin(), missingAll.end());
        sortTexts(list);
        if (!writeFile(missingOut, catalogueText(list)))
            return 1;
        std::cout << list.size() << " texts missing from at least one table written to " << missingOut << "\n";
    }
    return failures ? 1 : 0;
}

int cmdBuild(const std::string& in, const std::string& out, const std::string& cataloguePathArg)
{
    bool read = false;
    const SLangTable table = parseLangTable(readWholeFile(in, &read));
    if (!read) {
        std::cerr << in << ": cannot read\n";
        return 1;
    }
    bool fatal = false;
    for (const STableProblem& p : table.problems) {
        std::cerr << in << ":" << p.line << ": " << (p.fatal ? "error: " : "warning: ") << p.text << "\n";
        fatal |= p.fatal;
    }
    if (!cataloguePathArg.empty()) {
        bool ok = false;
        const auto catalogue = parseCatalogue(readWholeFile(cataloguePathArg, &ok));
        const std::set<std::wstring> known(catalogue.begin(), catalogue.end());
        if (ok)
            for (const STableEntry& e : table.entries)
                if (!known.contains(e.key))
                    std::cerr << in << ":" << e.line << ": warning: not in the catalogue: " << escaped(e.key) << "\n";
    }
    if (fatal)
        return 1;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(out).parent_path(), error);
    return writeFile(out, languageFileBytes(table.entries)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    std::filesystem::path root = std::filesystem::current_path();
    std::string missingOut;
    std::string catalogue;
    bool where = false;
    std::vector<std::string> rest;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--root" && i + 1 < argc)
            root = argv[++i];
        else if (arg == "--missing" && i + 1 < argc)
            missingOut = argv[++i];
        else if (arg == "--catalogue" && i + 1 < argc)
            catalogue = argv[++i];
        else if (arg == "--where")
            where = true;
        else if (arg.starts_with("--"))
            return usage();
        else
            rest.push_back(arg);
    }
    if (command == "catalogue" && rest.empty())
        return cmdCatalogue(root, where);
    if (command == "update" && rest.empty())
        return cmdUpdate(root);
    if (command == "verify" && rest.empty())
        return cmdVerify(root);
    if (command == "check")
        return cmdCheck(root, rest, missingOut);
    if (command == "build" && rest.size() == 2)
        return cmdBuild(rest[0], rest[1], catalogue);
    return usage();
}
